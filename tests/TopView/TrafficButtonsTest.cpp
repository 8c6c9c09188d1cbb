#include "TopView/CustomWindowButtonView.h"
#include "TopView/HMTrafficButtonsContainer.h"
#include "TopView/MLToolbar.h"
#include "TopView/StandardWindowButton.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QEnterEvent>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

void post(const char* name)
{
    platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(name));
}

struct Traffic
{
    HMTrafficButtonsContainer button{QRect(0, 0, 12, 12), nullptr};
    explicit Traffic(const QString& id)
    {
        button.setIdStr(id);
        button.setup();
    }
};

// Records the hover signal as it is posted.
struct HoverLog : QObject
{
    QStringList posted;
    QList<QObject*> senders;
    HoverLog()
    {
        for (const char* name : {"HMTrafficButtonMouseEnter", "HMTrafficButtonMouseExit"}) {
            const QString n = QString::fromLatin1(name);
            platform::NotificationCenter::defaultCenter().observe(this, n, [this, n](const QVariantMap& info) {
                posted << n;
                senders << info.value(QStringLiteral("object")).value<QObject*>();
            });
        }
    }
};

}  // namespace

TEST(HMTrafficButtonsContainer, HoverFollowsTheSharedSignalOnlyWhileActive)
{
    Traffic close("close");
    Traffic zoom("zoom");
    EXPECT_EQ(close.button.currentImageName(), "window-button-close-active");
    post("HMTrafficButtonMouseEnter");
    EXPECT_EQ(close.button.currentImageName(), "window-button-close-hover");
    EXPECT_EQ(zoom.button.currentImageName(), "window-button-zoom-hover");
    post("HMTrafficButtonMouseExit");
    EXPECT_EQ(close.button.currentImageName(), "window-button-close-active");

    // Hover while inactive is not recorded.
    close.button.setInactiveState();
    post("HMTrafficButtonMouseEnter");
    EXPECT_EQ(close.button.currentImageName(), "window-button-all-inactive");
    close.button.setActiveState();
    EXPECT_EQ(close.button.currentImageName(), "window-button-close-active");

    // Hover recorded while active comes back when the window is main again.
    post("HMTrafficButtonMouseEnter");
    close.button.setInactiveState();
    close.button.setActiveState();
    EXPECT_EQ(close.button.currentImageName(), "window-button-close-hover");
    post("HMTrafficButtonMouseExit");
}

TEST(HMTrafficButtonsContainer, ADisabledButtonKeepsTheInactiveLookWhateverTheWindowDoes)
{
    Traffic zoom("zoom");
    zoom.button.setEnabled(false);
    EXPECT_EQ(zoom.button.currentImageName(), "window-button-all-inactive");
    // The window becoming main and the pointer over the bar change nothing.
    zoom.button.setActiveState();
    post("HMTrafficButtonMouseEnter");
    EXPECT_EQ(zoom.button.currentImageName(), "window-button-all-inactive");
    post("HMTrafficButtonMouseExit");
    EXPECT_EQ(zoom.button.currentImageName(), "window-button-all-inactive");
    // Enabled again in an active window, it shows its own picture.
    zoom.button.setEnabled(true);
    EXPECT_EQ(zoom.button.currentImageName(), "window-button-zoom-active");
}

TEST(HMTrafficButtonsContainer, UnknownKindHasOnlyTheSharedInactivePicture)
{
    Traffic odd("fullscreen");
    EXPECT_EQ(odd.button.currentImageName(), "");
    post("HMTrafficButtonMouseEnter");
    EXPECT_EQ(odd.button.currentImageName(), "");
    post("HMTrafficButtonMouseExit");
    odd.button.setInactiveState();
    EXPECT_EQ(odd.button.currentImageName(), "window-button-all-inactive");
}

TEST(MLToolbar, LaysOutButtonsAndPostsHoverForItsArea)
{
    MLToolbar bar(QRect(0, 0, 200, 60), nullptr);
    EXPECT_EQ(bar.closeButton()->pos(), QPoint(8, 5));
    EXPECT_EQ(bar.minimizeButton()->pos(), QPoint(22, 5));
    EXPECT_EQ(bar.maximizeButton()->pos(), QPoint(36, 5));
    EXPECT_EQ(bar.trackingArea(), QRect(8, 5, 38, 12));

    HoverLog log;
    bar.pointerAt(QPoint(100, 40));
    bar.pointerAt(QPoint(10, 8));
    bar.pointerAt(QPoint(30, 8));
    bar.pointerAt(std::nullopt);
    EXPECT_EQ(log.posted, QStringList({"HMTrafficButtonMouseEnter", "HMTrafficButtonMouseExit"}));
    EXPECT_EQ(log.senders, (QList<QObject*>{&bar, &bar})) << "the strip posts with itself as the object";

    bar.setVerticalButtons(true);
    EXPECT_EQ(bar.minimizeButton()->pos(), QPoint(8, 20));
    EXPECT_EQ(bar.maximizeButton()->pos(), QPoint(8, 35));
    EXPECT_EQ(bar.trackingArea(), QRect(8, 5, 12, 42));
    bar.setJustClose(true);
    EXPECT_TRUE(bar.minimizeButton()->isHidden());
    EXPECT_EQ(bar.trackingArea(), QRect(8, 2, 12, 15));

    bar.setHiddenButtons(true);
    EXPECT_EQ(bar.closeButton(), nullptr);
    EXPECT_FALSE(bar.trackingArea().has_value());
    log.posted.clear();
    bar.pointerAt(QPoint(10, 8));
    EXPECT_TRUE(log.posted.isEmpty());
}

TEST(CustomWindowButtonView, ButtonsShowGlyphsTogetherAndReactivationClearsThem)
{
    CustomWindowButtonView view;
    auto* close = new StandardWindowButton(StandardWindowButton::Close, &view);
    auto* zoom = new StandardWindowButton(StandardWindowButton::Zoom, &view);
    view.setCloseButton(close);
    view.setZoomButton(zoom);
    QEnterEvent in(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&view, &in);
    EXPECT_EQ(close->currentImageName(), "window-button-close-hover");
    EXPECT_EQ(zoom->currentImageName(), "window-button-zoom-hover");
    view.applicationWillBecomeActive();
    EXPECT_FALSE(view.mouseInside());
    EXPECT_NE(zoom->currentImageName(), "window-button-zoom-hover");
}
