// What the Disk Manager's dialogs say and how they are laid out: the NTFS
// road of Format, the end dialog, the First Aid confirmation's title.
#include "Comm/FontCache.h"
#include "RepairDisk/FormatEndViewController.h"
#include "RepairDisk/FristAidViewController.h"
#include "RepairDisk/MakeSureFormatViewController.h"
#include "RepairDisk/ShowAidViewControllrt.h"
#include "ToolCon/TextImageButton.h"
#include "PanelKeys.h"

#include <QTableWidget>

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

TEST(FormatDialog, TheNtfsRoadSaysWhatWillBeMadeAndOffersNoName)
{
    MakeSureFormatViewController vc;
    vc.setName("Backup", "NTFS");
    EXPECT_EQ(vc.typeLabel()->text(), "MS-DOS FAT32");
    EXPECT_TRUE(vc.nodeLabel()->text().contains("\"NEW\"")) << vc.nodeLabel()->text().toStdString();
    EXPECT_TRUE(vc.nodeLabel()->text().contains("FAT32"));
    EXPECT_FALSE(vc.nameTextFiled()->isVisibleTo(&vc)) << "a name is offered that would not be used";
    EXPECT_FALSE(vc.typeSelectBut()->isEnabled());
    // Every other volume keeps its name field and its own type.
    vc.setName("Stick", "ExFAT");
    EXPECT_TRUE(vc.nameTextFiled()->isVisibleTo(&vc));
    EXPECT_EQ(vc.typeLabel()->text(), "ExFAT");
}

TEST(FormatDialog, TitlesAreAtTheDialogTitleSizeAndOkFollowsTheText)
{
    FormatEndViewController end;
    end.setOutcome(true, QString());
    EXPECT_EQ(end.titleLabel()->font().pixelSize(), FontCache::kDialogTitleSize);
    const int gap = end.closeButton()->y() - (end.reasonLabel()->geometry().bottom() + 1);
    EXPECT_LE(gap, 24) << "an empty band of " << gap << " px above OK";
    EXPECT_GE(gap, 8);
    EXPECT_EQ(end.height(), end.closeButton()->geometry().bottom() + 1 + 20);
    // A long reason grows the dialog instead of being cut.
    FormatEndViewController failed;
    failed.setOutcome(false, QString("The volume could not be made. ").repeated(8));
    EXPECT_GE(failed.reasonLabel()->height(), failed.reasonLabel()->heightForWidth(failed.reasonLabel()->width()));
    EXPECT_GT(failed.closeButton()->y(), failed.reasonLabel()->geometry().bottom());

    FristAidViewController aid;
    aid.changeAidDiskName("DATA");
    EXPECT_EQ(aid.topLabel()->font().pixelSize(), FontCache::kDialogTitleSize);
}

TEST(FirstAidEnd, TheEndTakesReturnSpaceAndEscapeAtOnce)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        auto* progress = new ShowAidViewControllrt;
        progress->changeShowOutPut("Checking the volume\n");
        // The keyboard was in the output while the checker ran.
        progress->showTableView()->setFocus();
        progress->finishWithStatus(0, QString());
        EXPECT_TRUE(keyEndsPanel(progress, key)) << "the end panel did not take the key";
    }
}

TEST(FormatDialog, AVolumesLabelIsShownAsPlainText)
{
    const QString label = "A<b></b>";
    MakeSureFormatViewController format;
    format.setName(label, "ExFAT");
    for (QLabel* text : {format.nameLabel(), format.nodeLabel()}) {
        EXPECT_EQ(text->textFormat(), Qt::PlainText);
        EXPECT_TRUE(text->text().contains(label)) << text->text().toStdString();
    }
    FristAidViewController aid;
    aid.changeAidDiskName(label);
    EXPECT_EQ(aid.topLabel()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(aid.topLabel()->text().contains(label));
}

}  // namespace
