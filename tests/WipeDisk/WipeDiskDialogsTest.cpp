#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"
#include "WipeDisk/NTFSViewController.h"
#include "WipeDisk/StepLineView.h"
#include "WipeDisk/StepProgressViewVC.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "WipeDisk/VolumeGoneNotice.h"
#include "WipeDisk/WipeVolumeTableModel.h"
#include "PopWindow/StatusAttachedWindow.h"
#include "PanelKeys.h"
#include "Comm/FontCache.h"
#include "ToolCon/TextImageButton.h"

#include <QAbstractButton>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList marks(const StepProgressViewVC& vc)
{
    return {StepProgressViewVC::imageNameOf(vc.image_1()), StepProgressViewVC::imageNameOf(vc.image_2()),
            StepProgressViewVC::imageNameOf(vc.image_3())};
}

struct WipeDelegate : MakeSureWipeDiskVCDelegate
{
    int calls = 0;
    void makeSureToWipeSelectVolume() override { ++calls; }
};

}  // namespace

TEST(StepProgressViewVC, StatesMarkDoneCurrentAndComingSteps)
{
    StepProgressViewVC vc;
    vc.setLabelString("Format", "Wipe Data", "Complete");
    EXPECT_EQ(vc.label_2()->text(), "Wipe Data");

    vc.runProgressStep(1);
    EXPECT_EQ(marks(vc), (QStringList{"step_loading", "step", "step"}));
    EXPECT_FALSE(vc.line_1()->isRuned());
    vc.runProgressStep(3);
    EXPECT_EQ(marks(vc), (QStringList{"step_ok", "step_ok", "step_loading"}));
    EXPECT_TRUE(vc.line_2()->isRuned());
    EXPECT_EQ(vc.line_2()->lineColor(), QColor(18, 115, 239));

    vc.runProgressStep(2);
    vc.runProgressStep(0);
    vc.runProgressStep(4);
    EXPECT_EQ(marks(vc), (QStringList{"step_ok", "step_loading", "step"}));
    EXPECT_TRUE(vc.line_1()->isRuned());
    EXPECT_FALSE(vc.line_2()->isRuned());
    EXPECT_EQ(vc.line_2()->lineColor(), QColor(32, 32, 39));
}

TEST(MakeSureWipeDiskViewController, ContinueTellsThenClosesCancelOnlyCloses)
{
    WipeDelegate delegate;
    auto* vc = new MakeSureWipeDiskViewController;
    vc->setDelegate(&delegate);
    EXPECT_TRUE(vc->okButton()->buttonEnabled());
    EXPECT_TRUE(vc->noButton()->buttonEnabled());
    EXPECT_EQ(vc->okButton()->normalImageName(), "btn_pril_normal");
    EXPECT_EQ(vc->noButton()->imageNameFor(FourStateImageButton::Look::Disabled), "btn_secl_disable");
    EXPECT_EQ(vc->okButton()->label()->text(), "Continue");
    EXPECT_EQ(vc->noButton()->label()->text(), "Cancel");

    vc->noButton()->click();  // no panel yet: nothing happens, nothing is told
    EXPECT_EQ(delegate.calls, 0);

    std::unique_ptr<StatusAttachedWindow> panel(makePanel(vc, nullptr));
    ASSERT_EQ(vc->superDelegate(), panel.get());
    panel->show();
    vc->noButton()->click();
    EXPECT_EQ(delegate.calls, 0);
    EXPECT_FALSE(panel->isVisible());

    panel->show();
    vc->okButton()->click();
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_FALSE(panel->isVisible());
}

TEST(Notices, LinkStylingLeavesTextsWithoutThePhraseUnchanged)
{
    NTFSViewController ntfs;
    EXPECT_EQ(ntfs.okButton()->label()->text(), "OK");
    EXPECT_TRUE(ntfs.nodeTLabel()->text().contains("href=\"" + NTFSViewController::kWindowsProductUrl + "\""));
    EXPECT_EQ(ntfs.nodeTLabel()->text().count("<a "), 1);
    EXPECT_TRUE(ntfs.linkLabel()->text().startsWith("<a href=\"" + NTFSViewController::kHelpUrl));

    ntfs.nodeTLabel()->setTextFormat(Qt::PlainText);
    ntfs.nodeTLabel()->setText("Nothing <to> style here");
    ntfs.setTwoLinkLabelStyle();
    EXPECT_EQ(ntfs.nodeTLabel()->text(), "Nothing <to> style here");

    SystemEraserViewController system;
    EXPECT_EQ(system.okButton()->label()->text(), "Close");
    const QString styled = system.nodeLabel()->text();
    EXPECT_EQ(styled.count("<span"), 2);
    EXPECT_TRUE(styled.contains(">Erase Files/Folders</span>"));
    EXPECT_TRUE(styled.contains(">Wipe Free Space</span>"));
    // The two tool names in bold at 14 px, as the notice's other emphasis.
    EXPECT_EQ(styled.count("font-size:14px"), 2) << styled.toStdString();
}

namespace {
struct FreeSpaceDelegate : MakeSureWipeFreeSpaceVCDelegate
{
    int calls = 0;
    void makeSureToWipeFreeSpaceSelectVolume() override { ++calls; }
};
TEST(WipeVolumeList, ALabelIsShownAsPlainTextInTheRowAndItsTooltip)
{
    auto volume = std::make_shared<VolumeObj>();
    volume->volumeName = "A<b></b>";
    volume->volumePath = "/dev/sdz1";
    QList<VolumeObjPtr> volumes{volume};
    VolumeObjPtr none;
    WipeVolumeTableModel model(&volumes, &none);
    const QModelIndex name = model.index(0, WipeVolumeTableModel::Name);
    EXPECT_EQ(model.data(name, Qt::DisplayRole).toString(), "A<b></b>");
    const QString tip = model.data(name, Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains("A&lt;b&gt;&lt;/b&gt;")) << tip.toStdString();
    EXPECT_FALSE(tip.contains("<b>")) << tip.toStdString();
}

}  // namespace

TEST(MakeSureDialogs, ReturnContinuesEscapeCancels)
{
    WipeDelegate wipe;
    auto* disk = new MakeSureWipeDiskViewController;
    disk->setDelegate(&wipe);
    EXPECT_TRUE(keyEndsPanel(disk, Qt::Key_Escape));
    EXPECT_EQ(wipe.calls, 0);
    disk = new MakeSureWipeDiskViewController;
    disk->setDelegate(&wipe);
    EXPECT_TRUE(keyEndsPanel(disk, Qt::Key_Return));
    EXPECT_EQ(wipe.calls, 1);

    FreeSpaceDelegate fill;
    auto* free = new MakeSureWipeFreeSpaceViewController;
    free->setDelegate(&fill);
    EXPECT_TRUE(keyEndsPanel(free, Qt::Key_Enter));
    EXPECT_EQ(fill.calls, 1);
}

TEST(MakeSureDialogs, TheVolumeIsNamedWithItsDeviceAsPlainText)
{
    MakeSureWipeDiskViewController disk;
    EXPECT_TRUE(disk.volumeLabel()->isHidden());
    disk.setVolume("<b>Stick</b> &amp;", "/dev/sdb1");
    EXPECT_FALSE(disk.volumeLabel()->isHidden());
    EXPECT_EQ(disk.volumeLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(disk.volumeLabel()->text(), QString::fromUtf8("\u201C<b>Stick</b> &amp;\u201D (/dev/sdb1)"));
    EXPECT_FALSE(disk.volumeLabel()->geometry().intersects(disk.bodyLabel()->geometry()));

    // A long name gives way in its middle; the device stays in sight.
    MakeSureWipeFreeSpaceViewController free;
    free.setVolume(QString(300, 'N'), "/dev/loop12");
    EXPECT_TRUE(free.volumeLabel()->text().endsWith("(/dev/loop12)")) << free.volumeLabel()->text().toStdString();
    EXPECT_LE(free.volumeLabel()->fontMetrics().horizontalAdvance(free.volumeLabel()->text()), free.volumeLabel()->width());
}

TEST(Notices, NtfsLinkButtonsLieOverTheirLinks)
{
    NTFSViewController ntfs;
    ntfs.resize(440, 230);
    const QRect help = ntfs.linkToHelp()->geometry();
    EXPECT_TRUE(ntfs.linkLabel()->geometry().contains(help.center()));
    EXPECT_GT(help.width(), 100) << "the whole link, not a 24-point square beside it";
    const QRect win = ntfs.linkToWinBut()->geometry();
    ASSERT_TRUE(ntfs.linkToWinBut()->isVisibleTo(&ntfs));
    EXPECT_TRUE(ntfs.nodeTLabel()->geometry().contains(win.center()));
    // Over the phrase: the button's area, drawn alone, shows the link's blue.
    const QImage shot = ntfs.grab(win).toImage();
    int blue = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            blue += shot.pixelColor(x, y).blue() > 180 && shot.pixelColor(x, y).red() < 100;
    EXPECT_GT(blue, 10);
    EXPECT_TRUE(ntfs.linkToWinBut()->text().isEmpty());
}

TEST(Notices, ReturnAndEscapeBothCloseANotice)
{
    EXPECT_TRUE(keyEndsPanel(new NTFSViewController, Qt::Key_Return));
    EXPECT_TRUE(keyEndsPanel(new NTFSViewController, Qt::Key_Escape));
    EXPECT_TRUE(keyEndsPanel(new SystemEraserViewController, Qt::Key_Escape));
    // Space presses the button that has the focus.
    EXPECT_TRUE(keyEndsPanel(new SystemEraserViewController, Qt::Key_Space));
}

TEST(Notices, EveryTextTakesTheFontCachesFonts)
{
    NTFSViewController ntfs;
    SystemEraserViewController system;
    MakeSureWipeDiskViewController confirm;
    const QString light = FontCache::lightFont(12).family();
    const QString regular = FontCache::regularFont(16).family();
    for (QWidget* dialog : {static_cast<QWidget*>(&ntfs), static_cast<QWidget*>(&system), static_cast<QWidget*>(&confirm)}) {
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (qobject_cast<QAbstractButton*>(label->parentWidget()))
                continue;  // button titles have their own sizes
            const QString family = label->font().family();
            EXPECT_TRUE(family == light || family == regular)
                << dialog->metaObject()->className() << "." << label->objectName().toStdString() << ": "
                << family.toStdString();
        }
    }
    EXPECT_EQ(confirm.titleLabel()->font().pixelSize(), 16);
}

TEST(Notices, TheGoneVolumeNoticeIsTheProgramsOwnDialog)
{
    VolumeGoneNotice notice;
    EXPECT_EQ(notice.okButton()->label()->text(), "OK");
    EXPECT_FALSE(notice.noButton()->isVisibleTo(&notice));
    EXPECT_TRUE(notice.bodyLabel()->text().contains("Nothing was wiped"));
    EXPECT_TRUE(keyEndsPanel(new VolumeGoneNotice, Qt::Key_Escape));
    EXPECT_TRUE(keyEndsPanel(new VolumeGoneNotice, Qt::Key_Return));
}
