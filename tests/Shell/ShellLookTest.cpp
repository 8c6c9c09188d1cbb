#include "About/AboutViewController.h"
#include "About/UpdateCheck.h"
#include "About/UpdateViewController.h"
#include "AppDelegate.h"
#include "Comm/FontCache.h"
#include "Main/BaseWindow.h"
#include "Main/MainWindowController.h"
#include "Main/TabBarView.h"
#include "PanelKeys.h"
#include "TempTree.h"
#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextImageButton.h"
#include "TopView/HMTrafficButtonsContainer.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The brightest pixel of `area` in `image`, by its lightness.
QColor brightest(const QImage& image, const QRect& area)
{
    QColor best(0, 0, 0);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).lightness() > best.lightness())
                best = image.pixelColor(x, y);
    return best;
}

TEST(NavigationLook, EntriesDrawTheirIconsSelectedOneInWhite)
{
    ScopedLayout layout;
    MainWindowController controller(ToolSlots{});
    // The icon of an entry, as the window shows it over the dark column.
    auto iconOf = [&](int tag) {
        CustemTypeButtonView* entry = controller.typeButton(tag);
        const QPoint origin = entry->mapTo(controller.window(), QPoint(16, 6));
        return brightest(controller.window()->grab().toImage(), QRect(origin, QSize(16, 16)));
    };
    EXPECT_GT(iconOf(0).lightness(), 220) << "the selected icon is white";
    const QColor grey = iconOf(1);
    EXPECT_GT(grey.lightness(), 90) << "the normal icon draws";
    EXPECT_LT(grey.lightness(), 200) << "and is grey, not the selected picture";

    // Choosing another entry swaps the pictures.
    controller.mouseClickAction(1);
    EXPECT_GT(iconOf(1).lightness(), 220);
    EXPECT_LT(iconOf(0).lightness(), 200);
}

TEST(TitleBar, TrafficButtonsDrawTheirPicturesAndFollowThePointer)
{
    TabBarView bar;
    bar.resize(48, 16);
    EXPECT_TRUE(bar.closeButton()->isEnabled());
    EXPECT_FALSE(bar.minButton()->isEnabled()) << "minimise waits for its owner";
    EXPECT_FALSE(bar.minButton()->activeState());
    EXPECT_FALSE(bar.zoomButton()->isEnabled());
    EXPECT_EQ(bar.closeButton()->geometry(), QRect(0, 2, 12, 12));
    EXPECT_EQ(bar.minButton()->geometry(), QRect(18, 2, 12, 12));
    EXPECT_EQ(bar.zoomButton()->geometry(), QRect(36, 2, 12, 12));

    bar.setMinAction(true);
    EXPECT_TRUE(bar.minButton()->isEnabled());
    EXPECT_TRUE(bar.minButton()->activeState());
    const QImage image = bar.grab().toImage();
    const QColor close = image.pixelColor(6, 8);
    EXPECT_GT(close.red(), 200);
    EXPECT_LT(close.green(), 130) << "the close button's red picture";

    // The pointer over the bar gives every traffic button its hover look.
    QList<QObject*> senders;
    QObject observer;
    for (const char* name : {"HMTrafficButtonMouseEnter", "HMTrafficButtonMouseExit"})
        platform::NotificationCenter::defaultCenter().observe(&observer, QString::fromLatin1(name),
                                                              [&senders](const QVariantMap& info) {
                                                                  senders << info.value("object").value<QObject*>();
                                                              });
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&bar, &enter);
    QTRY_COMPARE_WITH_TIMEOUT(bar.closeButton()->currentImageName(), QString("window-button-close-hover"), 2000);
    EXPECT_EQ(bar.minButton()->currentImageName(), "window-button-minimize-hover");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&bar, &leave);
    QTRY_COMPARE_WITH_TIMEOUT(bar.closeButton()->currentImageName(), QString("window-button-close-active"), 2000);
    EXPECT_EQ(senders, (QList<QObject*>{&bar, &bar})) << "the title bar posts with itself as the object";
}

TEST(StartUpDefaults, FontNamesAreOnesTheFontCacheReads)
{
    ScopedLayout layout;
    AppDelegate delegate;
    const QFont before = QApplication::font();
    delegate.awakeFromNib();
    // A label that names no font shows the regular font, not the system's.
    QLabel plain("Erase");
    EXPECT_TRUE(plain.font().family().startsWith("Lato")) << plain.font().family().toStdString();
    EXPECT_EQ(QFontInfo(plain.font()).family(), QFontInfo(FontCache::regularFont(13)).family());
    QApplication::setFont(before);
    EXPECT_EQ(FontCache::boldFontName(), "Lato Bold");
    EXPECT_EQ(FontCache::lightFontName(), "Lato Light");
    const QFont bold = FontCache::boldFont(13);
    EXPECT_TRUE(bold.family().startsWith("Lato")) << bold.family().toStdString();
    EXPECT_EQ(bold.weight(), QFont::Bold);
    EXPECT_TRUE(FontCache::lightFont(13).family().startsWith("Lato"));
    EXPECT_TRUE(FontCache::regularFont(13).family().startsWith("Lato"));
}

TEST(Dialogs, UpdateButtonsAreSetUpEnabledWithTheirPictures)
{
    ScopedLayout layout;
    UpdateCheck::setNetworkProbe([] { return false; });
    UpdateViewController dialog;
    using Page = UpdateViewController::Page;
    using Look = FourStateImageButton::Look;
    for (Page page : {Page::Checking, Page::NoNetwork, Page::NoUpdate, Page::NewVersion}) {
        TextImageButton* b = dialog.pageButton(page);
        EXPECT_TRUE(b->buttonEnabled());
        EXPECT_EQ(b->normalImageName(), "btn_secl_normal");
        EXPECT_EQ(b->imageNameFor(Look::Pressed), "btn_secl_press");
        EXPECT_EQ(b->imageNameFor(Look::Hover), page == Page::Checking ? "btn_secl_press" : "btn_secl_hover");
    }
    EXPECT_EQ(dialog.pageButton(Page::NoUpdate)->label()->text(), "Finish");
    EXPECT_EQ(dialog.pageButton(Page::NewVersion)->label()->text(), "Remind Me Later");
    EXPECT_TRUE(dialog.updateButton()->buttonEnabled());
    EXPECT_EQ(dialog.updateButton()->normalImageName(), "btn_pril_normal");
    EXPECT_EQ(dialog.updateButton()->label()->text(), "Install Update");
    // The button draws its picture, not the plain fallback.
    dialog.resize(460, 320);
    const QImage image = dialog.updateButton()->grab().toImage();
    const QColor blue = image.pixelColor(image.width() / 2, 4);
    EXPECT_GT(blue.blue(), 200);
    EXPECT_LT(blue.red(), 60);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.currentPage() == Page::NoNetwork, 5000);
    UpdateCheck::setNetworkProbe({});
}

TEST(Dialogs, AboutButtonsDrawTheirPicturesAndAWhiteTitle)
{
    ScopedLayout layout;
    AboutViewController about;
    about.show();
    const QImage image = about.grab().toImage();
    const QRect button = about.aboutButton()->geometry();
    const QColor fill = image.pixelColor(button.center().x(), button.top() + 3);
    EXPECT_GT(fill.blue(), 200) << "the primary button's blue picture";
    EXPECT_GT(brightest(image, button.adjusted(8, 6, -8, -6)).lightness(), 220) << "its title is white";
    const QRect close = about.closeButton()->geometry().translated(about.closeButton()->parentWidget()->pos());
    EXPECT_GT(brightest(image, close).lightness(), 200) << "the close cross draws";
}

TEST(Dialogs, AboutRunsAsAModalPanelAndEachOpeningIsFresh)
{
    ScopedLayout layout;
    AppDelegate delegate;
    QList<QPointer<AboutViewController>> seen;
    QList<const void*> ids;
    auto openedAbout = [&]() -> AboutViewController* {
        auto* panel = qobject_cast<StatusAttachedWindow*>(QApplication::activeModalWidget());
        auto* about = panel ? panel->findChild<AboutViewController*>() : nullptr;
        if (about) {
            EXPECT_EQ(about->superDelegate(), panel);
            EXPECT_TRUE(about->aboutButton()->buttonEnabled());
            EXPECT_TRUE(about->closeButton()->buttonEnabled());
            seen << about;
            ids << about;
        }
        return about;
    };
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(10000);

    // First run: About chosen again while it is open. The first dialog goes
    // and a fresh one opens; its close button ends it.
    QTimer::singleShot(50, [&] {
        ASSERT_TRUE(openedAbout());
        QTimer::singleShot(50, [&] {
            AboutViewController* second = openedAbout();
            ASSERT_TRUE(second);
            EXPECT_TRUE(seen.first().isNull() || !seen.first()->isVisible()) << "the first dialog went";
            QTest::mouseClick(second->closeButton(), Qt::LeftButton, {}, QPoint(8, 8));
        });
        delegate.aboutAction();
    });
    delegate.aboutAction();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_NE(ids[0], ids[1]);

    // Second run, after closing: fresh again; Escape closes it.
    QTimer::singleShot(50, [&] {
        AboutViewController* about = openedAbout();
        ASSERT_TRUE(about);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    delegate.aboutAction();
    watchdog.stop();
    EXPECT_FALSE(timedOut);
    ASSERT_EQ(seen.size(), 3);
    for (const auto& about : seen)
        EXPECT_TRUE(about.isNull()) << "the controller goes with its panel";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Dialogs, UpdateDialogAnswersEscapeOnEveryPageAndTipsShowPlainText)
{
    ScopedLayout layout;
    UpdateCheck::setNetworkProbe([] { return false; });
    auto* dialog = new UpdateViewController;
    EXPECT_EQ(dialog->cancelButton(), dialog->pageButton(UpdateViewController::Page::Checking));
    dialog->whatIsNewVersionDiff(QVariantMap{{"VersionCheck", 999999}, {"Version", "9.9"},
                                             {"1", "Fast & safe"}, {"2", "<b>bold</b> claims"}});
    if (dialog->currentPage() == UpdateViewController::Page::NewVersion) {
        EXPECT_EQ(dialog->defaultButton(), dialog->updateButton());
        EXPECT_EQ(dialog->cancelButton(), dialog->pageButton(UpdateViewController::Page::NewVersion));
        QStringList shown;
        for (QLabel* line : dialog->findChildren<QLabel*>()) {
            if (!line->objectName().startsWith("whatIsNewLine"))
                continue;
            // What a tool tip shows: rich text rendered, plain text as it is.
            QTextDocument doc;
            if (Qt::mightBeRichText(line->toolTip()))
                doc.setHtml(line->toolTip());
            else
                doc.setPlainText(line->toolTip());
            shown << doc.toPlainText();
        }
        shown.sort();
        EXPECT_EQ(shown, (QStringList{"<b>bold</b> claims", "Fast & safe"}));
    } else {
        ADD_FAILURE() << "the list did not read as a newer version";
    }
    EXPECT_TRUE(keyEndsPanel(dialog, Qt::Key_Escape));
    UpdateCheck::setNetworkProbe({});
}

}  // namespace
