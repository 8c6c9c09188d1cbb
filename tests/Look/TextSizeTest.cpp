// Text keeps the proportions of the frames it sits in: sizes are pixels, and
// texts of one role share one size.
#include "About/AboutViewController.h"
#include "Comm/FontCache.h"
#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"
#include "Main/BaseWindow.h"
#include "Main/LeftCell/CustemTypeButtonView.h"
#include "Main/MainWindowController.h"
#include "RepairDisk/MakeSureFormatViewController.h"
#include "RepairDisk/RepairDiskViewController.h"
#include "SetEraserLevel/HistoryViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "TempTree.h"
#include "ToolCon/TextImageButton.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "WipeDisk/WipeDiskViewController.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QTest>

#include <cstdlib>
#include <tuple>
#include <memory>

#include <gtest/gtest.h>

namespace {

// Where every screen's heading starts, in the screen's own coordinates (the
// window's right-hand side begins at 230, 28).
const QPoint kHeadingInk(41, 23);

// The rows of `area` in `image` that hold ink: pixels far from the
// background, which is what the area's corner shows. Returns top and bottom.
std::pair<int, int> inkRows(const QImage& image, const QRect& area)
{
    const int background = image.pixelColor(area.topLeft()).lightness();
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (std::abs(image.pixelColor(x, y).lightness() - background) > 90) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
    return {top, bottom};
}

}  // namespace

TEST(TextSize, ThirteenPointTitlesFitTheirFramesWithRoomAboveAndBelow)
{
    ScopedLayout layout;
    MainWindowController controller(ToolSlots{});
    controller.window()->show();
    // A navigation title: 13 points in a 17-high frame.
    QLabel* label = controller.typeButton(0)->nameLabel();
    ASSERT_EQ(label->height(), 17);
    const QImage shot = controller.window()->grab().toImage();
    const QRect frame(label->mapTo(controller.window(), QPoint(0, 0)), label->size());
    const auto [top, bottom] = inkRows(shot, frame);
    ASSERT_GE(top, 0) << "the title draws";
    const int ink = bottom - top + 1;
    // "Erase Files/Folders" from the cap tops to the slash's foot: about the
    // size in pixels; the same number in points would be a third taller.
    EXPECT_LE(ink, 14) << "text fills its frame";
    EXPECT_GE(ink, 9);
    EXPECT_GE(top - frame.top(), 1) << "no room above";
    EXPECT_GE(frame.bottom() - bottom, 1) << "no room below";
}

TEST(TextSize, AButtonTitleSitsInsideItsButtonCentred)
{
    ScopedLayout layout;
    AboutViewController about;
    about.show();
    TextImageButton* button = about.aboutButton();
    QLabel* title = button->label();
    ASSERT_TRUE(title);
    ASSERT_EQ(title->text(), "Learn More");
    // The title alone, over nothing: its ink, placed where the label sits.
    const QImage text = title->grab().toImage();
    const auto [labelTop, labelBottom] = inkRows(text, text.rect());
    ASSERT_GE(labelTop, 0);
    const int top = labelTop + title->y();
    const int bottom = labelBottom + title->y();
    const int ink = bottom - top + 1;
    EXPECT_LE(ink, 12) << "14 pixels of text: capitals about 10 high";
    EXPECT_LE(ink * 10, button->height() * 6) << "the title fills its button";
    const double inkMiddle = (top + bottom) / 2.0;
    EXPECT_NEAR(inkMiddle, button->height() / 2.0, 2.5) << "the title is centred on the button";
}


namespace {

int shownPixelSize(QLabel* label)
{
    // Style sheets set fonts when the label is polished.
    label->ensurePolished();
    return QFontInfo(label->font()).pixelSize();
}

}  // namespace

TEST(TextSize, TitlesOfOneRoleShareOneSize)
{
    ScopedLayout layout;
    WipeDiskViewController wiper;
    RepairDiskViewController diskManager;
    HistoryViewController history;
    SetEraserLevelVC level;
    MakeSureFormatViewController format;
    format.setName("DATA", "MS-DOS (FAT32)");
    MakeSureFileEraserViewControoler erase;
    SystemEraserViewController notice;

    const std::vector<std::pair<const char*, QLabel*>> headings = {
        {"wiper", wiper.findChild<QLabel*>("wipeHardNodeViewTitle")},
        {"Disk Manager", diskManager.findChild<QLabel*>("titleLabel")},
        {"history", history.findChild<QLabel*>("haveTitleLabel")},
        {"erasure level", level.findChild<QLabel*>("titleLabel")},
    };
    for (const auto& [name, label] : headings) {
        ASSERT_TRUE(label) << name;
        EXPECT_EQ(shownPixelSize(label), FontCache::kScreenTitleSize) << name;
    }
    const std::vector<std::pair<const char*, QLabel*>> titles = {
        {"Format 'NAME'?", format.nameLabel()},
        {"Erase the selected items?", erase.findChild<QLabel*>("titleLabel")},
        {"start-up notice", notice.findChild<QLabel*>("titleLabel")},
    };
    for (const auto& [name, label] : titles) {
        ASSERT_TRUE(label) << name;
        EXPECT_EQ(shownPixelSize(label), FontCache::kDialogTitleSize) << name;
    }
}

TEST(TextSize, ScreenHeadingsStartAtOnePlace)
{
    ScopedLayout layout;
    WipeDiskViewController wiper;
    RepairDiskViewController diskManager;
    HistoryViewController history;
    SetEraserLevelVC level;
    // Each screen as it shows in the window's right-hand side: the side
    // panels are laid in at the screen's origin.
    std::vector<std::tuple<const char*, QWidget*, QLabel*>> headings = {
        {"wiper", &wiper, wiper.findChild<QLabel*>("wipeHardNodeViewTitle")},
        {"Disk Manager", &diskManager, diskManager.findChild<QLabel*>("titleLabel")},
        {"history", &history, history.findChild<QLabel*>("haveTitleLabel")},
        {"erasure level", &level, level.findChild<QLabel*>("titleLabel")},
    };
    for (const auto& [name, screen, label] : headings) {
        ASSERT_TRUE(label) << name;
        screen->resize(730, screen == &history || screen == &level ? 520 : 580);
        screen->show();
        label->show();
        QCoreApplication::processEvents();
        const QImage shot = screen->grab().toImage();
        // The heading's own text, not what the screen shows beside it.
        const int textWidth = label->fontMetrics().horizontalAdvance(label->text()) + label->indent();
        const QRect frame(label->mapTo(screen, QPoint(0, 0)), QSize(std::min(label->width(), textWidth), label->height()));
        const auto [top, bottom] = inkRows(shot, frame);
        ASSERT_GE(top, 0) << name << " draws no heading";
        int left = -1;
        const int background = shot.pixelColor(frame.topLeft()).lightness();
        for (int x = frame.left(); x <= frame.right() && left < 0; ++x)
            for (int y = top; y <= bottom; ++y)
                if (std::abs(shot.pixelColor(x, y).lightness() - background) > 90) {
                    left = x;
                    break;
                }
        // Where the heading's ink starts; the first letters differ by a pixel.
        EXPECT_NEAR(left, kHeadingInk.x(), 1) << name;
        EXPECT_NEAR(top, kHeadingInk.y(), 1) << name;
        screen->hide();
    }
}
