// The Disk Manager screen on real loop volumes shown as USB sticks, with its
// dialogs shown without a modal run so the test can press their buttons.
#include "RepairDisk/CVolumeMgr.h"
#include "RepairDisk/RepairDiskTableCellView.h"
#include "RepairDisk/RepairDiskViewController.h"
#include "Main/Tools/CustomTableView.h"
#include "FakeTool.h"
#include "ToolCon/TextImageButton.h"
#include "ToolVolume.h"
#include "RepairDisk/AidProgress.h"

#include <QDeadlineTimer>
#include <QSaveFile>
#include <QScrollBar>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using toolvolume::uniqueLabel;

namespace {

QByteArray blkid(const QString& device, const char* tag)
{
    QByteArray out;
    LoopVolume::run("blkid", {"-p", "-s", tag, "-o", "value", device}, &out);
    return out.trimmed();
}

platform::CommandResult du(const QStringList& args) { return toolvolume::tool().run(args, 120000); }


// A stand-in diskutil that lists one USB volume "fake0" (its type read from
// the file "type" beside it) and logs every other command with its options.
const QString kFakeVolume = QStringLiteral(R"(ALL="$*"
while [ "${1#--}" != "$1" ]; do shift; done
case "$1" in
list) cat <<'P'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>AllDisksAndPartitions</key><array><dict>
<key>DeviceIdentifier</key><string>fake0</string><key>Content</key><string></string>
</dict></array></dict></plist>
P
;;
info) cat <<P
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>DeviceIdentifier</key><string>fake0</string><key>FilesystemName</key><string>$(cat "$(dirname "$0")/type" 2>/dev/null || echo ext4)</string>
<key>VolumeName</key><string>FAKE</string><key>MountPoint</key><string>/media/FAKE</string>
<key>BusProtocol</key><string>USB</string><key>Ejectable</key><true/><key>Writable</key><true/>
<key>TotalSize</key><integer>1000000000</integer><key>FreeSpace</key><integer>500000000</integer>
<key>DiskUUID</key><string>1234</string>
<key>DiskSequence</key><integer>7</integer><key>VolumeUUID</key><string>ABCD-1234</string>
</dict></plist>
P
;;
)");

class RepairDiskScreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CVolumeMgr::setThrottleWindow(50);
        CVolumeMgr::resetThrottle();
        RepairDiskViewController::setRescanThrottleWindow(50);
    }
    void TearDown() override
    {
        screen.reset();
        CVolumeMgr::setThrottleWindow(1000);
        RepairDiskViewController::setRescanThrottleWindow(1000);
    }

    void makeScreen(platform::DiskTool tool = toolvolume::tool())
    {
        screen = std::make_unique<RepairDiskViewController>(nullptr, tool);
        screen->setDialogDelays(10, 10);
        screen->setPanelRunner([](PanelController* c, PanelAnchor anchor, int side, double distance) {
            StatusAttachedWindow* panel = makePanel(c, nullptr, anchor, side, distance);
            panel->setAttribute(Qt::WA_DeleteOnClose);
            panel->show();
        });
        screen->resize(730, 580);
        screen->show();
    }

    int rowOf(const QString& device) const
    {
        for (int i = 0; i < screen->allVolumeArr().size(); ++i)
            if (screen->allVolumeArr().at(i)->volumePath == device)
                return i;
        return -1;
    }
    VolumeObjPtr volume(const QString& device) const
    {
        const int row = rowOf(device);
        return row < 0 ? nullptr : screen->allVolumeArr().at(row);
    }
    // Rescans until `done` holds for the list on screen.
    bool rescanUntil(const std::function<bool()>& done, int timeoutMs = 30000)
    {
        // Mounts by other programs rescan too: the list on screen is the
        // last one installed, kept while the next scan runs.
        return QTest::qWaitFor([&] {
            if (done())
                return true;
            if (!screen->isScanV())
                screen->getallVolumes();
            QTest::qWait(100);
            return false;
        }, timeoutMs);
    }
    void select(const QString& device)
    {
        // A row that just came, or moved when another went, takes no press
        // for a moment; a user's aim is not that quick. Other tests' volumes
        // come and go beside this one and move rows meanwhile: a press that
        // met a row just moved is made again, as a user would.
        QElapsedTimer clock;
        clock.start();
        bool chosen = false;
        while (!chosen && clock.elapsed() < 30000) {
            if (!QTest::qWaitFor([&] {
                    const int at = rowOf(device);
                    return at >= 0 && screen->cellView(at) && !screen->cellView(at)->isSettling();
                }, 1000))
                continue;
            const int row = rowOf(device);
            QTest::mouseClick(screen->cellView(row), Qt::LeftButton, {}, QPoint(300, 20));
            chosen = screen->selectIndex() == row && screen->selectVolume() && screen->selectVolume()->volumePath == device;
        }
        ASSERT_TRUE(chosen) << device.toStdString() << " could not be chosen";
        // When the open row above closed and the list could not scroll by as
        // much, the row moved and its buttons wait a moment too.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->cellView(screen->selectIndex())->isSettling(); }, 30000));
    }
    TextImageButton* button(const char* id) const
    {
        return screen->cellView(screen->selectIndex())->button(QLatin1String(id));
    }
    void press(const char* id)
    {
        TextImageButton* b = button(id);
        ASSERT_TRUE(b && b->isVisible() && b->buttonEnabled()) << id;
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        runQueued();
    }
    // Row and dialog actions run from the event loop, after the click's handler.
    void runQueued() { QCoreApplication::sendPostedEvents(screen.get(), QEvent::MetaCall); }
    // The next action's end, as (succeeded, reason).
    std::pair<bool, QString> waitForAction(QSignalSpy& spy, int timeoutMs = 120000)
    {
        if (spy.isEmpty() && !spy.wait(timeoutMs))
            return {false, "no action ended"};
        const QList<QVariant> args = spy.takeFirst();
        return {args.at(1).toBool(), args.at(2).toString()};
    }
    // Presses `id` and waits for the action's end. A refusal that names a
    // mount namespace comes from another test's namespace, which holds a copy
    // of our mount for a moment after it is made (no test here makes one):
    // the failure is closed and the press tried again, for up to 10 s.
    std::pair<bool, QString> act(const char* id, QSignalSpy& spy)
    {
        for (int tries = 0;; ++tries) {
            press(id);
            const std::pair<bool, QString> result = waitForAction(spy);
            if (result.first || tries >= 20 || !result.second.contains("in the mount namespace of process "))
                return result;
            closeFailure();
            QTest::qWait(500);
        }
    }
    void closeFailure()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() != nullptr; }, 5000));
        QTest::mouseClick(screen->failureVC()->closeButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() == nullptr; }, 5000));
    }

    std::unique_ptr<RepairDiskViewController> screen;
};

}  // namespace

TEST_F(RepairDiskScreen, ListsSelectsMountsRenamesAndEjectsWithTrueReasons)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString extLabel = uniqueLabel("E"), fatLabel = uniqueLabel("F");
    ToolVolume ext("ext4", 64, extLabel);
    auto fat = std::make_unique<ToolVolume>("vfat", 64, fatLabel);
    ASSERT_TRUE(ext.ok() && fat->ok());
    ASSERT_EQ(du({"mount", ext.kernelName()}).exitCode, 0);
    ASSERT_EQ(du({"mount", fat->kernelName()}).exitCode, 0);
    const QString e = ext.kernelName(), f = fat->kernelName();

    makeScreen();
    ASSERT_TRUE(rescanUntil([&] { return rowOf(e) >= 0 && rowOf(f) >= 0; }));
    {
        RepairDiskTableCellView* cell = screen->cellView(rowOf(f));
        EXPECT_EQ(cell->nameField()->text(), fatLabel);
        EXPECT_EQ(cell->typeField()->text(), "MS-DOS FAT32");
        EXPECT_TRUE(cell->sizeField()->toolTip().endsWith(" / 67.11 MB")) << cell->sizeField()->toolTip().toStdString();
    }
    select(e);
    EXPECT_EQ(screen->parTableView()->rowHeight(rowOf(e)), 88);
    EXPECT_EQ(screen->parTableView()->rowHeight(rowOf(f)), 48);
    EXPECT_FALSE(screen->cellView(rowOf(f))->button("open")->isVisible());
    EXPECT_FALSE(button("save")->isVisible());
    EXPECT_EQ(button("mount")->label()->text(), "Unmount");

    // A rescan (every mount anywhere sets one off) keeps the chosen volume
    // chosen, also when it is not the first row.
    {
        const QString later = rowOf(e) > rowOf(f) ? e : f;
        select(later);
        // The scan this asks for, not whichever ends next.
        const int asked = screen->requestScan();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(asked); }, 30000));
        ASSERT_TRUE(screen->selectVolume());
        EXPECT_EQ(screen->selectVolume()->volumePath, later);
        EXPECT_EQ(screen->selectIndex(), rowOf(later));
        EXPECT_TRUE(button("format")->isVisible());
        select(e);
    }

    QStringList opened;
    screen->setOpener([&](const QString& path) { opened << path; return true; });
    press("open");
    EXPECT_EQ(opened, QStringList{"/media/" + extLabel});

    // The system's own volume, where it is listed: nothing that would take it away.
    for (int row = 0; row < screen->numberOfRows(); ++row) {
        if (screen->allVolumeArr().at(row)->volumeMountPoint != "/")
            continue;
        select(screen->allVolumeArr().at(row)->volumePath);
        EXPECT_TRUE(QTest::qWaitFor([&] { return button("open")->buttonEnabled(); }, 30000));
        for (const char* id : {"mount", "fristaid", "format", "eject"})
            EXPECT_FALSE(button(id)->buttonEnabled()) << id;
        select(e);
    }

    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);
    // Unmount, then mount: the watcher and the action bring the list up to date.
    EXPECT_EQ(act("mount", actions).first, true);
    ASSERT_TRUE(rescanUntil([&] { return volume(e) && volume(e)->volumeMountPoint.isEmpty(); }));
    select(e);
    EXPECT_EQ(button("mount")->label()->text(), "Mount");
    EXPECT_FALSE(button("format")->buttonEnabled());
    EXPECT_EQ(act("mount", actions).first, true);
    ASSERT_TRUE(rescanUntil([&] { return volume(e) && volume(e)->volumeMountPoint == "/media/" + extLabel; }));

    // A hostile name is a name: stored exactly, nothing run.
    ASSERT_FALSE(QFile::exists("/tv"));
    const QString hostile = "`touch /tv`'x";
    select(e);
    press("rename");
    EXPECT_TRUE(screen->isRenameEdit());
    EXPECT_TRUE(button("save")->isVisible());
    EXPECT_FALSE(button("eject")->buttonEnabled());
    QLineEdit* field = screen->cellView(screen->selectIndex())->editNameField();
    field->clear();
    QTest::keyClicks(field, hostile);
    EXPECT_EQ(screen->editStr(), hostile);
    EXPECT_EQ(act("save", actions), std::make_pair(true, QString()));
    EXPECT_EQ(QString::fromUtf8(blkid(ext.device(), "LABEL")), hostile);
    EXPECT_FALSE(QFile::exists("/tv"));
    // A scan begun while the rename had the volume unmounted may still show
    // it so: the list waited for shows the new name on the mounted volume.
    ASSERT_TRUE(rescanUntil(
        [&] { return volume(e) && volume(e)->volumeName == hostile && !volume(e)->volumeMountPoint.isEmpty(); }));

    // Too long for ext4: refused with the limit, the typed name kept.
    const QString tooLong(17, 'n');
    select(e);
    press("rename");
    field = screen->cellView(screen->selectIndex())->editNameField();
    field->clear();
    QTest::keyClicks(field, tooLong);
    const auto [ok, reason] = act("save", actions);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reason.contains("at most 16")) << reason.toStdString();
    closeFailure();
    EXPECT_TRUE(screen->isRenameEdit());
    EXPECT_EQ(screen->editStr(), tooLong);
    EXPECT_EQ(screen->cellView(screen->selectIndex())->editNameField()->text(), tooLong);
    EXPECT_EQ(QString::fromUtf8(blkid(ext.device(), "LABEL")), hostile);

    // Eject takes the loop device away; the list follows.
    select(f);
    EXPECT_EQ(act("eject", actions).first, true);
    fat->forget();
    // A loop device is let go once its last opener (udev, a blkid probe) closes it.
    QDeadlineTimer detached(10000);
    while (QFile::exists("/sys/block/" + f + "/loop/backing_file") && !detached.hasExpired())
        QTest::qWait(50);
    EXPECT_FALSE(QFile::exists("/sys/block/" + f + "/loop/backing_file"));
    ASSERT_TRUE(rescanUntil([&] { return rowOf(f) < 0 || volume(f)->volumeName != fatLabel; }));
}

TEST_F(RepairDiskScreen, FormatsThroughTheDialogsAndShowsWhyHfsCannotBeChosen)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel("X"));
    ASSERT_TRUE(v.ok());
    ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
    const QString d = v.kernelName();
    makeScreen();
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);

    struct Case
    {
        int menuEntry;
        QString typed;
        bool succeeds;
        QByteArray type, label;
    };
    const QString exfatName = "exf" + uniqueLabel("").left(8).toLower();
    const QString fatName = "f" + uniqueLabel("").left(12).toLower();  // 13: cut to 11, upper case
    const QList<Case> cases{{0, exfatName, true, "exfat", exfatName.toUtf8()},
                            {1, fatName, true, "vfat", fatName.toUpper().left(11).toUtf8()},
                            {2, "MAC", false, "vfat", fatName.toUpper().left(11).toUtf8()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.menuEntry);
        // The list has seen the last format's new volume.
        ASSERT_TRUE(rescanUntil([&] {
            return volume(d) && !volume(d)->volumeMountPoint.isEmpty()
                && volume(d)->fileSystemUUID.toUtf8() == blkid(v.device(), "UUID");
        }));
        select(d);
        const QByteArray uuidBefore = blkid(v.device(), "UUID");
        press("format");
        MakeSureFormatViewController* dialog = screen->makeSureFormatVC();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->nameLabel()->text(), QString("Format '%1'?").arg(volume(d)->volumeName));
        EXPECT_EQ(dialog->typeLabel()->text(), volume(d)->diskType);
        EXPECT_TRUE(dialog->typeSelectBut()->isEnabled());

        QTest::mouseClick(dialog->typeSelectBut(), Qt::LeftButton);
        ASSERT_TRUE(dialog->formatTypeVC());
        {
            // The open menu hides none of the dialog's question or warning.
            const QWidget* menu = dialog->typeDropDown().window();
            ASSERT_TRUE(menu);
            const QRect menuArea(menu->mapToGlobal(QPoint(0, 0)), menu->size());
            for (const QLabel* text : {dialog->nameLabel(), dialog->nodeLabel()})
                EXPECT_FALSE(menuArea.intersects(QRect(text->mapToGlobal(QPoint(0, 0)), text->size())))
                    << text->text().toStdString();
        }
        SortSelectBgView* entry = dialog->formatTypeVC()->row(c.menuEntry);
        if (!c.succeeds) {
            // It cannot be made here: shown greyed with its reason, and a
            // press on it chooses nothing.
            EXPECT_FALSE(entry->isEnabled());
            EXPECT_TRUE(entry->toolTip().contains("mkfs.hfsplus"));
            auto* reason = entry->findChild<QLabel*>("hfsReason");
            ASSERT_TRUE(reason);
            EXPECT_TRUE(reason->text().contains("mkfs.hfsplus"));
            const QString before = dialog->typeLabel()->text();
            QTest::mouseClick(entry, Qt::LeftButton, {}, entry->rect().center());
            EXPECT_EQ(dialog->typeLabel()->text(), before);
            dialog->closeWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->makeSureFormatVC(); }, 5000));
            EXPECT_EQ(blkid(v.device(), "UUID"), uuidBefore) << "the volume was touched";
            EXPECT_TRUE(actions.isEmpty());
            continue;
        }
        QTest::mouseClick(entry, Qt::LeftButton, {}, entry->rect().center());
        EXPECT_EQ(dialog->typeLabel()->text(), FormatTypeViewController::typeText(c.menuEntry));
        EXPECT_FALSE(dialog->typeDropDown().isOpen());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->nameTextFiled()->isReadOnly(); }, 2000));
        dialog->nameTextFiled()->setText(c.typed);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton, {}, dialog->okButton()->rect().center());
        EXPECT_TRUE(dialog->formatView()->isVisible());

        const auto [ok, reason] = waitForAction(actions);
        EXPECT_EQ(ok, c.succeeds) << reason.toStdString();
        ASSERT_TRUE(screen->formatEndVC());
        EXPECT_EQ(screen->formatEndVC()->succeeded(), c.succeeds);
        if (!c.succeeds) {
            EXPECT_TRUE(screen->formatEndVC()->reasonLabel()->text().contains("mkfs.hfsplus"))
                << screen->formatEndVC()->reasonLabel()->text().toStdString();
            EXPECT_EQ(blkid(v.device(), "UUID"), uuidBefore) << "the volume was touched";
        }
        EXPECT_EQ(blkid(v.device(), "TYPE"), c.type);
        EXPECT_EQ(blkid(v.device(), "LABEL"), c.label);
        // A name the file system changed is told at the end, as a rename tells it.
        if (c.succeeds && c.label != c.typed.toUtf8()) {
            EXPECT_TRUE(screen->formatEndVC()->reasonLabel()->text().contains("now named \"" + QString::fromUtf8(c.label) + "\""))
                << screen->formatEndVC()->reasonLabel()->text().toStdString();
        }
        QTest::mouseClick(screen->formatEndVC()->closeButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->formatEndVC() && !screen->makeSureFormatVC(); }, 5000));
    }
}

TEST_F(RepairDiskScreen, FirstAidFindsTheDamageRepairsItAndLeavesTheVolumeClean)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel("A"));
    ASSERT_TRUE(v.ok());
    ASSERT_TRUE(v.mount());
    QFile file(v.mountPoint() + "/victim");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100000, 'v'));
    file.close();
    ASSERT_TRUE(v.unmount());
    // An inode cleared under its directory entry, and the block bitmap wrong.
    ASSERT_EQ(LoopVolume::run("debugfs", {"-w", "-R", "clri victim", v.device()}), 0);
    ASSERT_NE(LoopVolume::run("e2fsck", {"-fn", v.device()}), 0) << "the damage did not take";
    ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
    const QString d = v.kernelName();

    makeScreen();
    QSignalSpy ended(screen.get(), &RepairDiskViewController::firstAidEnded);
    for (const bool repair : {false, true}) {
        SCOPED_TRACE(repair ? "repair" : "verify");
        ASSERT_TRUE(rescanUntil([&] { return volume(d) && !volume(d)->volumeMountPoint.isEmpty(); }));
        select(d);
        press("fristaid");
        FristAidViewController* ask = screen->fristAidVC();
        ASSERT_TRUE(ask);
        EXPECT_EQ(ask->topLabel()->text(), QString("Run First Aid on '%1'?").arg(volume(d)->volumeName));
        if (repair)
            QTest::mouseClick(ask->repairBut(), Qt::LeftButton, {}, ask->repairBut()->rect().center());
        else
            QTest::mouseClick(ask->checkBut(), Qt::LeftButton);
        runQueued();
        ASSERT_TRUE(screen->showAidVC());
        EXPECT_FALSE(screen->showAidVC()->completeBut()->buttonEnabled());
        ASSERT_TRUE(ended.wait(120000));
        const int code = ended.takeFirst().at(0).toInt();
        ShowAidViewControllrt* progress = screen->showAidVC();
        ASSERT_TRUE(progress);
        EXPECT_FALSE(progress->allShowStrArr().isEmpty());
        EXPECT_EQ(code == 0, repair) << progress->allShowStrArr().join('\n').toStdString();
        EXPECT_EQ(progress->failed(), !repair);
        EXPECT_TRUE(progress->completeBut()->buttonEnabled());
        EXPECT_EQ(progress->progress()->used(), float(progress->progress()->width()));
        QTest::mouseClick(progress->completeBut(), Qt::LeftButton, {}, progress->completeBut()->rect().center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->showAidVC(); }, 5000));
    }
    toolvolume::releaseMounts(v.device());
    EXPECT_EQ(LoopVolume::run("e2fsck", {"-fn", v.device()}), 0) << "not clean after the repair";
}

TEST_F(RepairDiskScreen, FirstAidRowsArriveWhileTheCheckerRunsWithCharactersWhole)
{
    // A stand-in diskutil: one USB volume, and a checker that splits "é"
    // across two writes with a pause, then fails with a reason on stderr.
    FakeTool fake("diskutil", kFakeVolume + R"(
verifyvolume)
  echo "$ALL" >> "$LOG"
  echo "Checking fake0"
  printf 'r\303'
  sleep 1
  printf '\251sum\303\251\n'
  sleep 1
  echo "the volume has a problem" >&2
  exit 3
;;
esac
)");
    makeScreen(platform::DiskTool(fake.path()));
    ASSERT_TRUE(rescanUntil([&] { return rowOf("fake0") == 0; }));
    select("fake0");
    QSignalSpy ended(screen.get(), &RepairDiskViewController::firstAidEnded);
    press("fristaid");
    QTest::mouseClick(screen->fristAidVC()->checkBut(), Qt::LeftButton);
    runQueued();
    ShowAidViewControllrt* progress = screen->showAidVC();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->progress()->used(), float(progress->progress()->width()) / 100);

    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->allShowStrArr().size() == 1; }, 10000));
    EXPECT_TRUE(ended.isEmpty()) << "the row came only at the end";
    EXPECT_EQ(progress->allShowStrArr().at(0), "Checking fake0");
    EXPECT_FALSE(progress->completeBut()->buttonEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->allShowStrArr().size() == 2; }, 10000));
    EXPECT_TRUE(ended.isEmpty());
    EXPECT_EQ(progress->allShowStrArr().at(1), QString::fromUtf8("résumé"));
    EXPECT_EQ(progress->progress()->used(), float(progress->progress()->width()) * 10 / 100);

    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(ended.takeFirst().at(0).toInt(), 3);
    EXPECT_EQ(progress->allShowStrArr().last(), "the volume has a problem");
    EXPECT_TRUE(progress->failed());
    EXPECT_TRUE(progress->completeBut()->buttonEnabled());
    EXPECT_EQ(fake.log().trimmed(), "--expect-sequence=7 --expect-uuid=ABCD-1234 verifyvolume fake0");
}

TEST_F(RepairDiskScreen, NamesAreCutForFatAndRefusedPastTheExfatLimitBeforeAnyCommand)
{
    FakeTool fake("diskutil", kFakeVolume + R"(
*) echo "$ALL" >> "$LOG" ;;
esac
)");
    auto setType = [&](const char* type) {
        QFile f(fake.folder() + "/type");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(type);
    };
    makeScreen(platform::DiskTool(fake.path()));
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);

    setType("MS-DOS FAT32");
    ASSERT_TRUE(rescanUntil([&] { return volume("fake0") && volume("fake0")->diskType == "MS-DOS FAT32"; }));
    select("fake0");
    press("rename");
    screen->cellView(0)->editNameField()->clear();
    QTest::keyClicks(screen->cellView(0)->editNameField(), "-thirteen-chr");
    EXPECT_TRUE(act("save", actions).first);
    EXPECT_EQ(fake.log().trimmed(), "--expect-sequence=7 --expect-uuid=ABCD-1234 rename fake0 -THIRTEEN-C");
    // The user is told the name the volume took.
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() != nullptr; }, 5000));
    EXPECT_EQ(screen->failureVC()->titleLabel()->text(), "The name was changed");
    EXPECT_TRUE(screen->failureVC()->reasonLabel()->text().contains("\"-THIRTEEN-C\""));
    closeFailure();

    // A name FAT cannot hold is refused before any command, saying what it
    // cannot hold; Escape then ends the rename.
    select("fake0");
    press("rename");
    screen->cellView(0)->editNameField()->clear();
    {
        // Typed as a keyboard layout with these letters gives them.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("Gr\u00fc\u00dfe"));
        QApplication::sendEvent(screen->cellView(0)->editNameField(), &typed);
    }
    ASSERT_EQ(screen->editStr(), QString::fromUtf8("Gr\u00fc\u00dfe"));
    press("save");
    {
        const auto [ok, reason] = waitForAction(actions);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(reason.contains("plain ASCII")) << reason.toStdString();
        EXPECT_FALSE(reason.contains("0x20")) << reason.toStdString();
    }
    closeFailure();
    QTest::keyClick(screen->cellView(0)->editNameField(), Qt::Key_Escape);
    EXPECT_FALSE(screen->isRenameEdit());
    EXPECT_EQ(fake.log().trimmed(), "--expect-sequence=7 --expect-uuid=ABCD-1234 rename fake0 -THIRTEEN-C");

    setType("ExFAT");
    ASSERT_TRUE(rescanUntil([&] { return volume("fake0") && volume("fake0")->diskType == "ExFAT"; }));
    select("fake0");
    press("rename");
    QLineEdit* field = screen->cellView(0)->editNameField();
    field->clear();
    QTest::keyClicks(field, "twelve-chars");
    const auto [ok, reason] = act("save", actions);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reason.contains("at most 11 characters")) << reason.toStdString();
    closeFailure();
    EXPECT_EQ(screen->editStr(), "twelve-chars");

    // A rescan keeps the typed name; choosing the row again ends the rename.
    screen->getallVolumes();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->isScanV(); }, 10000));
    EXPECT_TRUE(screen->isRenameEdit());
    EXPECT_EQ(screen->editStr(), "twelve-chars");
    screen->selectRow(rowOf("fake0"));
    EXPECT_FALSE(screen->isRenameEdit());
    press("format");
    ASSERT_TRUE(screen->makeSureFormatVC());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->makeSureFormatVC()->nameTextFiled()->isReadOnly(); }, 2000));
    screen->makeSureFormatVC()->nameTextFiled()->setText("twelve-chars");
    QTest::mouseClick(screen->makeSureFormatVC()->okButton(), Qt::LeftButton, {},
                      screen->makeSureFormatVC()->okButton()->rect().center());
    const auto [formatted, why] = waitForAction(actions);
    EXPECT_FALSE(formatted);
    EXPECT_TRUE(why.contains("at most 11 characters")) << why.toStdString();
    ASSERT_TRUE(screen->formatEndVC());
    EXPECT_FALSE(screen->formatEndVC()->succeeded());
    EXPECT_EQ(fake.log().trimmed(), "--expect-sequence=7 --expect-uuid=ABCD-1234 rename fake0 -THIRTEEN-C") << "a command ran for a name that cannot be";
}

namespace {

// Drives dialogs that run modally: every few milliseconds, from inside
// whatever nested loop is running, the next step is tried until it says it
// is done.
class ModalScript : public QObject
{
public:
    explicit ModalScript(QList<std::function<bool()>> steps) : m_steps(std::move(steps))
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_next < m_steps.size() && m_steps.at(m_next)())
                ++m_next;
        });
        m_timer.start();
    }
    bool finished() const { return m_next == m_steps.size(); }
    qsizetype step() const { return m_next; }

private:
    QList<std::function<bool()>> m_steps;
    qsizetype m_next = 0;
    QTimer m_timer;
};

}  // namespace

// The dialogs as users meet them: the real modal runner, a real press and
// release on the row's button, and mount-table rescans while a dialog is
// open, which rebuild the rows under it.
TEST_F(RepairDiskScreen, ModalFormatAndFirstAidSurviveRescansAndShowTheirEnd)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel("M"));
    LoopVolume elsewhere("vfat", 64, uniqueLabel("W"));
    ASSERT_TRUE(v.ok() && elsewhere.ok());
    ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
    const QString d = v.kernelName();
    makeScreen();
    screen->setPanelRunner({});
    QSignalSpy reloads(screen.get(), &RepairDiskViewController::volumesReloaded);
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);

    // A mount or unmount elsewhere, and the rescan it sets off, finished.
    int reloadsBefore = 0;
    auto toggleElsewhere = [&] {
        reloadsBefore = int(reloads.size());
        return elsewhere.mountPoint().isEmpty() ? elsewhere.mount() : elsewhere.unmount();
    };
    auto rescanned = [&] { return reloads.size() > reloadsBefore; };
    auto pressRowButton = [&](const char* id) {
        ASSERT_TRUE(rescanUntil([&] { return volume(d) && !volume(d)->volumeMountPoint.isEmpty(); }));
        select(d);
        QPointer<TextImageButton> b = button(id);
        ASSERT_TRUE(b && b->buttonEnabled());
        QTest::mousePress(b, Qt::LeftButton, {}, b->rect().center());
        QTest::mouseRelease(b, Qt::LeftButton, {}, b->rect().center());
    };

    const QString name = uniqueLabel("N").toLower();
    bool endShown = false;
    {
        ModalScript script({
            [&] { return screen->makeSureFormatVC() && screen->makeSureFormatVC()->isVisible() && toggleElsewhere(); },
            [&] { return rescanned() && !screen->makeSureFormatVC()->nameTextFiled()->isReadOnly(); },
            [&] {
                MakeSureFormatViewController* dialog = screen->makeSureFormatVC();
                dialog->nameTextFiled()->setText(name);
                QTest::mouseClick(dialog->okButton(), Qt::LeftButton, {}, dialog->okButton()->rect().center());
                return true;
            },
            [&] { return screen->formatEndVC() && screen->formatEndVC()->isVisible() && toggleElsewhere(); },
            [&] {
                if (!rescanned())
                    return false;
                endShown = true;
                QTest::mouseClick(screen->formatEndVC()->closeButton(), Qt::LeftButton, {},
                                  screen->formatEndVC()->closeButton()->rect().center());
                return true;
            },
        });
        pressRowButton("format");
        ASSERT_TRUE(QTest::qWaitFor([&] { return script.finished(); }, 180000)) << "stuck at step " << script.step();
    }
    EXPECT_TRUE(endShown);
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(actions.first().at(0).toString(), "format");
    EXPECT_TRUE(actions.first().at(1).toBool()) << actions.first().at(2).toString().toStdString();
    EXPECT_EQ(blkid(v.device(), "LABEL"), name.toUtf8());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->formatEndVC(); }, 5000));
    EXPECT_FALSE(screen->isScanV()) << "the scan flag outlived the end dialog";

    {
        ModalScript script({
            [&] { return screen->fristAidVC() && screen->fristAidVC()->isVisible() && toggleElsewhere(); },
            [&] {
                if (!rescanned())
                    return false;
                QTest::mouseClick(screen->fristAidVC()->repairBut(), Qt::LeftButton, {},
                                  screen->fristAidVC()->repairBut()->rect().center());
                return true;
            },
            [&] { return screen->showAidVC() && screen->showAidVC()->isVisible() && toggleElsewhere(); },
            [&] {
                ShowAidViewControllrt* progress = screen->showAidVC();
                if (!rescanned() || !progress->completeBut()->buttonEnabled())
                    return false;
                QTest::mouseClick(progress->completeBut(), Qt::LeftButton, {}, progress->completeBut()->rect().center());
                return true;
            },
        });
        pressRowButton("fristaid");
        ASSERT_TRUE(QTest::qWaitFor([&] { return script.finished(); }, 180000)) << "stuck at step " << script.step();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->showAidVC(); }, 5000));
    ASSERT_TRUE(rescanUntil([&] { return volume(d) != nullptr; }));
    EXPECT_EQ(volume(d)->volumeName, name);
}

// A stick pulled and another plugged in while the Format dialog is open gets
// the same device node: the other disk is not the one the user chose.
TEST_F(RepairDiskScreen, AnotherDiskAtTheChosenNodeIsNotFormatted)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString otherImage = dir.filePath("other.img");
    ASSERT_TRUE(toolvolume::writeMarkers(otherImage));

    makeScreen();
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);
    // Other tests take free loop nodes too: one may get in between the
    // detach and the attach, and then it is tried again.
    std::unique_ptr<AttachedImage> other;
    MakeSureFormatViewController* dialog = nullptr;
    for (int attempt = 0; attempt < 5 && !(other && other->attached()); ++attempt) {
        if (dialog)
            dialog->closeWindow();
        auto chosen = std::make_unique<ToolVolume>("ext4", 64, uniqueLabel("C"));
        ASSERT_TRUE(chosen->ok());
        ASSERT_EQ(du({"mount", chosen->kernelName()}).exitCode, 0);
        const QString d = chosen->kernelName(), node = chosen->device();
        ASSERT_TRUE(rescanUntil([&] {
            return volume(d) && !volume(d)->volumeMountPoint.isEmpty()
                && volume(d)->fileSystemUUID.toUtf8() == blkid(node, "UUID");
        }));
        EXPECT_NE(volume(d)->diskSequence, 0u);
        select(d);
        press("format");
        dialog = screen->makeSureFormatVC();
        ASSERT_TRUE(dialog);
        chosen.reset();
        other = std::make_unique<AttachedImage>(node, otherImage);
    }
    ASSERT_TRUE(other && other->attached());
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton, {}, dialog->okButton()->rect().center());
    const auto [ok, reason] = waitForAction(actions);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reason.contains("no longer the one that was chosen")) << reason.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->formatEndVC() != nullptr; }, 5000));
    EXPECT_FALSE(screen->formatEndVC()->succeeded());
    EXPECT_EQ(toolvolume::markersLeft(otherImage), 2);
}

// A cloned stick: two disks with one file system, so one UUID and one name.
// Each is renamed and ejected by its own device, not refused as ambiguous.
TEST_F(RepairDiskScreen, ClonedDisksSharingOneUuidAreEachRenamedAndEjected)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = uniqueLabel("K");
    auto first = std::make_unique<ToolVolume>("ext4", 64, label);
    auto second = std::make_unique<ToolVolume>("", 64);
    ASSERT_TRUE(first->ok() && second->ok());
    {
        QFile from(first->image()), to(second->device());
        ASSERT_TRUE(from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly));
        while (!from.atEnd())
            ASSERT_GT(to.write(from.read(1 << 20)), 0);
    }
    LoopVolume::run("blockdev", {"--rereadpt", second->device()});
    LoopVolume::run("udevadm", {"settle", "--timeout=5"});
    const QString a = first->kernelName(), b = second->kernelName();
    ASSERT_EQ(blkid(first->device(), "UUID"), blkid(second->device(), "UUID"));
    ASSERT_EQ(du({"mount", a}).exitCode, 0);
    ASSERT_EQ(du({"mount", b}).exitCode, 0);

    makeScreen();
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);
    ASSERT_TRUE(rescanUntil([&] {
        return volume(a) && volume(b) && !volume(a)->fileSystemUUID.isEmpty()
            && volume(a)->fileSystemUUID == volume(b)->fileSystemUUID;
    }));

    const QString renamed = uniqueLabel("R");
    select(a);
    press("rename");
    QLineEdit* field = screen->cellView(screen->selectIndex())->editNameField();
    field->clear();
    QTest::keyClicks(field, renamed);
    EXPECT_EQ(act("save", actions), std::make_pair(true, QString()));
    EXPECT_EQ(QString::fromUtf8(blkid(first->device(), "LABEL")), renamed);
    EXPECT_EQ(QString::fromUtf8(blkid(second->device(), "LABEL")), label);

    for (auto* clone : {&first, &second}) {
        const QString d = (*clone)->kernelName();
        SCOPED_TRACE(d.toStdString());
        ASSERT_TRUE(rescanUntil([&] { return volume(d) && !volume(d)->volumeMountPoint.isEmpty(); }));
        select(d);
        const auto [ok, reason] = act("eject", actions);
        EXPECT_TRUE(ok) << reason.toStdString();
        if (!ok)
            continue;
        (*clone)->forget();
        QDeadlineTimer detached(10000);
        while (QFile::exists("/sys/block/" + d + "/loop/backing_file") && !detached.hasExpired())
            QTest::qWait(50);
        EXPECT_FALSE(QFile::exists("/sys/block/" + d + "/loop/backing_file"));
    }
}

TEST_F(RepairDiskScreen, AToolsFailureIsShownOnceAsASentence)
{
    FakeTool fake("diskutil", kFakeVolume + R"(
unmount)
  echo "fake0 failed to unmount from /media/FAKE: target is busy" >&2
  echo "fake0 failed to unmount from /media/FAKE: target is busy" >&2
  echo "the volume is still mounted" >&2
  exit 1
;;
esac
)");
    makeScreen(platform::DiskTool(fake.path()));
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);
    ASSERT_TRUE(rescanUntil([&] { return volume("fake0") != nullptr; }));
    select("fake0");
    const auto [ok, reason] = act("mount", actions);
    EXPECT_FALSE(ok);
    EXPECT_EQ(reason, "fake0 failed to unmount from /media/FAKE: target is busy. The volume is still mounted.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() != nullptr; }, 5000));
    EXPECT_EQ(screen->failureVC()->reasonLabel()->text(), reason);
    closeFailure();
}

namespace {

// A stand-in diskutil listing the volumes named in the file "disks" beside
// it, one a line; "seq-<id>" holds the disk sequence of one (1 without it),
// "name-<id>" its label as plist text (V<id> without it).
// Every other command is noted in calls.log.
const QString kFakeVolumes = QStringLiteral(R"SH(D="$(dirname "$0")"
ALL="$*"
while [ "${1#--}" != "$1" ]; do shift; done
case "$1" in
list)
  printf '%s' '<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>AllDisksAndPartitions</key><array>'
  for d in $(cat "$D/disks"); do
    printf '<dict><key>DeviceIdentifier</key><string>%s</string><key>Content</key><string></string></dict>' "$d"
  done
  printf '%s\n' '</array></dict></plist>'
;;
info)
  for a in "$@"; do id="${a#/dev/}"; done
  grep -qx "$id" "$D/disks" || exit 1
  seq=$(cat "$D/seq-$id" 2>/dev/null || echo 1)
  name=$(cat "$D/name-$id" 2>/dev/null || echo "V$id")
  cat <<P
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>DeviceIdentifier</key><string>$id</string><key>FilesystemName</key><string>ExFAT</string>
<key>VolumeName</key><string>$name</string><key>MountPoint</key><string>/media/V$id</string>
<key>BusProtocol</key><string>USB</string><key>Ejectable</key><true/><key>Writable</key><true/>
<key>TotalSize</key><integer>1000000000</integer><key>FreeSpace</key><integer>500000000</integer>
<key>DiskUUID</key><string>u-$id</string>
<key>DiskSequence</key><integer>$seq</integer><key>VolumeUUID</key><string>AB-$id-$seq</string>
</dict></plist>
P
;;
*) echo "$ALL" >> "$D/calls.log" ;;
esac
)SH");

// Whole at once: a scan already running may read the file at any moment,
// and half a list would be volumes gone.
void writeFile(const QString& path, const QByteArray& text)
{
    QSaveFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    ASSERT_TRUE(f.commit());
}

QByteArray diskList(int count, const QStringList& extra = {}, const QString& without = QString())
{
    QByteArray text;
    for (int i = 1; i <= count; ++i) {
        const QString id = QStringLiteral("fk%1").arg(i, 2, 10, QLatin1Char('0'));
        if (id != without)
            text += id.toUtf8() + '\n';
    }
    for (const QString& id : extra)
        text += id.toUtf8() + '\n';
    return text;
}

}  // namespace

TEST_F(RepairDiskScreen, ARescanKeepsTheRowsWhereTheyAreAndAChangedRowTakesNoPress)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(12));
    makeScreen(platform::DiskTool(fake.path()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 12; }));
    QStringList before;
    for (const VolumeObjPtr& v : screen->allVolumeArr())
        before << v->volumePath;
    QScrollBar* bar = screen->parTableView()->verticalScrollBar();
    QApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0) << "the list does not scroll";
    bar->setValue(bar->maximum());
    const int scrolled = bar->value();

    // Right after every rescan each cell shows, holds and sits at its own
    // row's volume: no press meets a cell still laid out for another.
    QStringList untrue;
    QObject::connect(screen.get(), &RepairDiskViewController::volumesReloaded, screen.get(), [&] {
        CustomTableView* table = screen->parTableView();
        for (int row = 0; row < screen->numberOfRows(); ++row) {
            RepairDiskTableCellView* cell = screen->cellView(row);
            const VolumeObjPtr v = screen->allVolumeArr().at(row);
            const int y = table->rowViewportPosition(row);
            const bool inView = y + table->rowHeight(row) > 0 && y < table->viewport()->height();
            if (!cell || cell->volume() != v || cell->nameField()->text() != v->volumeName || (inView && cell->y() != y))
                untrue << QStringLiteral("row %1 (%2)").arg(row).arg(v->volumePath);
        }
    });

    // A disk comes: the rows stay in their places, in their order, and the
    // list does not scroll; the new one is added after them. The scan
    // awaited is the one this change asked for, not one already running.
    // Pressed at once: in the moment the list that holds it is put on
    // screen (a scan begun before the request may be the one to bring it).
    bool pressedAtOnce = false;
    auto pressNew = QObject::connect(screen.get(), &RepairDiskViewController::volumesReloaded, screen.get(), [&] {
        if (pressedAtOnce || rowOf("fk00") != 12)
            return;
        pressedAtOnce = true;
        QTest::mouseClick(screen->cellView(12), Qt::LeftButton, {}, QPoint(300, 20));
    });
    writeFile(fake.folder() + "/disks", diskList(12, {"fk00"}));
    const int asked = screen->requestScan();
    EXPECT_EQ(screen->numberOfRows(), 12) << "the list was emptied for the scan";
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(asked); }, 60000));
    ASSERT_EQ(screen->numberOfRows(), 13);
    for (int row = 0; row < 12; ++row)
        EXPECT_EQ(screen->allVolumeArr().at(row)->volumePath, before.at(row)) << row;
    EXPECT_EQ(screen->allVolumeArr().at(12)->volumePath, "fk00");
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), scrolled) << "the list scrolled under the pointer";

    // Pressed at once, the new row is not chosen; a moment later it is.
    QObject::disconnect(pressNew);
    ASSERT_TRUE(pressedAtOnce);
    EXPECT_NE(screen->selectVolume()->volumePath, "fk00") << "a row that appeared under the pointer was chosen";
    select("fk00");
    EXPECT_EQ(screen->selectVolume()->volumePath, "fk00");

    // A disk goes: the rows below it moved up and take no press for a moment,
    // pressed as the list that lost it is put on screen (later, on a busy
    // machine, the moment could have passed).
    bool pressedUp = false;
    auto pressUp = QObject::connect(screen.get(), &RepairDiskViewController::volumesReloaded, screen.get(), [&] {
        if (pressedUp || rowOf("fk03") >= 0 || rowOf("fk04") < 0)
            return;
        pressedUp = true;
        EXPECT_EQ(rowOf("fk04"), 2);
        QTest::mouseClick(screen->cellView(2), Qt::LeftButton, {}, QPoint(300, 20));
    });
    writeFile(fake.folder() + "/disks", diskList(12, {"fk00"}, "fk03"));
    ASSERT_TRUE(rescanUntil([&] { return rowOf("fk03") < 0; }, 10000));
    QObject::disconnect(pressUp);
    ASSERT_TRUE(pressedUp);
    EXPECT_EQ(screen->selectVolume()->volumePath, "fk00");

    // The last row goes while the list is scrolled to its end: the rows in
    // view move down by its height, and none of them takes a press at once.
    QTest::qWait(RepairDiskViewController::kRowSettleMs + 50);
    QApplication::processEvents();
    bar->setValue(bar->maximum());
    const int topRow = screen->parTableView()->rowAt(0);
    ASSERT_GE(topRow, 0);
    const QString topDevice = screen->allVolumeArr().at(topRow)->volumePath;
    const int topAt = screen->parTableView()->rowViewportPosition(topRow);
    bool moved = false, pressedMoved = false;
    auto pressMoved = QObject::connect(screen.get(), &RepairDiskViewController::volumesReloaded, screen.get(), [&] {
        if (pressedMoved || rowOf("fk00") >= 0)
            return;
        pressedMoved = true;
        moved = rowOf(topDevice) >= 0 && screen->parTableView()->rowViewportPosition(rowOf(topDevice)) != topAt;
        const int under = screen->parTableView()->rowAt(topAt + 20);
        if (under >= 0)
            QTest::mouseClick(screen->cellView(under), Qt::LeftButton, {}, QPoint(300, 20));
    });
    writeFile(fake.folder() + "/disks", diskList(12, {}, "fk03"));
    const int last = screen->requestScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(last); }, 60000));
    QObject::disconnect(pressMoved);
    ASSERT_LT(rowOf("fk00"), 0);
    ASSERT_TRUE(pressedMoved);
    ASSERT_TRUE(moved) << "the list did not move: nothing to prove";
    EXPECT_FALSE(screen->selectVolume()) << "a row that moved under the pointer was chosen";
    EXPECT_TRUE(untrue.isEmpty()) << untrue.join(", ").toStdString();
}

TEST_F(RepairDiskScreen, ThePressedRowIsChosenWhereItIsAndItsButtonsWaitWhenItMoved)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(14));
    makeScreen(platform::DiskTool(fake.path()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 14; }));
    ASSERT_EQ(screen->selectIndex(), 0);
    CustomTableView* table = screen->parTableView();
    QApplication::processEvents();

    // Scrolled down: the open row above closes and the list scrolls by as
    // much, so the pressed row stays under the pointer.
    table->verticalScrollBar()->setValue(100);
    const int at = table->rowViewportPosition(6);
    QTest::mouseClick(screen->cellView(6), Qt::LeftButton, {}, QPoint(300, 20));
    EXPECT_EQ(screen->selectIndex(), 6);
    EXPECT_EQ(table->rowViewportPosition(6), at) << "the chosen row moved under the pointer";
    EXPECT_FALSE(screen->cellView(6)->isSettling());

    // At the top the list cannot scroll: the row moves up, so its buttons,
    // now under the pointer, take no press for a moment.
    table->verticalScrollBar()->setValue(0);
    select("fk01");
    QApplication::processEvents();
    QTest::mouseClick(screen->cellView(3), Qt::LeftButton, {}, QPoint(300, 20));
    ASSERT_EQ(screen->selectIndex(), 3);
    TextImageButton* format = button("format");
    QTest::mouseClick(format, Qt::LeftButton, {}, format->rect().center());
    runQueued();
    EXPECT_FALSE(screen->makeSureFormatVC()) << "a button that came under the pointer took the press";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !screen->cellView(3)->isSettling(); }, 2000));
}

TEST_F(RepairDiskScreen, ARenameEndedByAnotherDiskAtTheDeviceSaysWhy)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(3));
    makeScreen(platform::DiskTool(fake.path()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 3; }));
    select("fk02");
    press("rename");
    ASSERT_TRUE(screen->isRenameEdit());
    writeFile(fake.folder() + "/seq-fk02", "2");
    ASSERT_TRUE(rescanUntil([&] { return volume("fk02") && volume("fk02")->diskSequence == 2; }));
    EXPECT_FALSE(screen->isRenameEdit());
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() != nullptr; }, 5000)) << "the rename ended without a word";
    EXPECT_EQ(screen->failureVC()->titleLabel()->text(), "The rename was stopped");
    EXPECT_TRUE(screen->failureVC()->reasonLabel()->text().contains("fk02"));
    EXPECT_TRUE(screen->failureVC()->reasonLabel()->text().contains("Nothing was renamed"));
    closeFailure();
    EXPECT_FALSE(fake.log().contains("rename"));
    // The row's "First Aid" is spelt right.
    select("fk01");
    EXPECT_EQ(button("fristaid")->label()->text(), "First Aid");
}

TEST_F(RepairDiskScreen, ARefusedRenameEndsByEscapeWithItsOldNameAndTheKeyboardStaysOnTheRow)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(3));
    makeScreen(platform::DiskTool(fake.path()));
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 3; }));
    select("fk02");
    press("rename");
    QLineEdit* field = screen->cellView(screen->selectIndex())->editNameField();
    field->clear();
    QTest::keyClicks(field, "twelve chars");  // one past ExFAT's 11
    press("save");
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->failureVC() != nullptr; }, 5000));
    EXPECT_TRUE(screen->failureVC()->reasonLabel()->text().contains("at most 11"));
    ASSERT_TRUE(screen->isRenameEdit());

    field = screen->cellView(screen->selectIndex())->editNameField();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(screen->isRenameEdit()) << "Escape did not end the refused rename";
    RepairDiskTableCellView* cell = screen->cellView(rowOf("fk02"));
    EXPECT_TRUE(cell->nameField()->isVisibleTo(cell));
    EXPECT_EQ(cell->nameField()->text(), "Vfk02");
    EXPECT_FALSE(cell->editNameView()->isVisibleTo(cell));
    EXPECT_TRUE(button("rename")->buttonEnabled());
    EXPECT_TRUE(screen->failureVC()) << "the refusal went away with the field";
    EXPECT_EQ(screen->window()->focusWidget(), button("rename")) << "the keyboard left the row";
    closeFailure();
    EXPECT_FALSE(fake.log().contains("rename"));
}

TEST_F(RepairDiskScreen, TheListWorksByKeysAndTheKeyboardStaysOnTheRowAfterAnAction)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(4));
    makeScreen(platform::DiskTool(fake.path()));
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 4; }));
    CustomTableView* table = screen->parTableView();
    ASSERT_NE(table->focusPolicy() & Qt::TabFocus, 0) << "the list takes no keyboard";
    table->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(table->hasFocus());
    ASSERT_EQ(screen->selectIndex(), 0);
    EXPECT_TRUE(screen->cellView(0)->hasFocusRing());

    // Down moves the ring only; Return opens the ringed row, Space too.
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(screen->keyRow(), 1);
    EXPECT_TRUE(screen->cellView(1)->hasFocusRing());
    EXPECT_FALSE(screen->cellView(0)->hasFocusRing());
    EXPECT_EQ(screen->selectIndex(), 0);
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(screen->selectIndex(), 1);
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(screen->selectIndex(), 2);
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(screen->keyRow(), 1);
    EXPECT_EQ(screen->selectIndex(), 2);

    // The open row's buttons are readable: their text stands out from the
    // button at 4.5:1 at least.
    {
        TextImageButton* eject = button("eject");
        ASSERT_TRUE(eject->buttonEnabled());
        const QImage shot = eject->grab().toImage();
        auto luminance = [](QRgb c) {
            auto lin = [](int v) { const double x = v / 255.0; return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4); };
            return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
        };
        const double back = luminance(shot.pixel(4, shot.height() / 2));
        double text = back;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                text = std::max(text, luminance(shot.pixel(x, y)));
        EXPECT_GE((text + 0.05) / (back + 0.05), 4.5) << "the row's button text is too faint";
    }

    // After an action, and after the rescan it sets off, the keyboard is on
    // the button that was pressed, not back at the start of the window.
    QSignalSpy actions(screen.get(), &RepairDiskViewController::actionEnded);
    press("mount");
    EXPECT_EQ(QApplication::focusWidget(), button("mount"));
    EXPECT_EQ(waitForAction(actions).first, true);
    const int asked = screen->requestScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(asked); }, 60000));
    EXPECT_EQ(screen->selectIndex(), 2);
    EXPECT_EQ(QApplication::focusWidget(), button("mount")) << "the keyboard left the row's buttons";

    // Tab stops only on what can be seen and used, also while rescans
    // bring new lists in between.
    for (int i = 0; i < 16; ++i) {
        if (i % 4 == 0)
            screen->getallVolumes();
        QTest::qWait(40);
        QWidget* at = QApplication::focusWidget();
        ASSERT_TRUE(at) << "the keyboard is nowhere";
        QTest::keyClick(at, Qt::Key_Tab);
        at = QApplication::focusWidget();
        ASSERT_TRUE(at) << "the keyboard is nowhere";
        EXPECT_TRUE(at->isVisible() && at->isEnabled()) << "an invisible Tab stop: " << at->objectName().toStdString();
    }
}

TEST_F(RepairDiskScreen, ALabelIsShownAsPlainTextInTheRowAndItsTooltip)
{
    FakeTool fake("diskutil", kFakeVolumes);
    writeFile(fake.folder() + "/disks", diskList(2));
    writeFile(fake.folder() + "/name-fk01", "A&lt;b&gt;&lt;/b&gt;");
    makeScreen(platform::DiskTool(fake.path()));
    ASSERT_TRUE(rescanUntil([&] { return screen->numberOfRows() == 2; }));
    RepairDiskTableCellView* cell = screen->cellView(rowOf("fk01"));
    EXPECT_EQ(cell->nameField()->text(), "A<b></b>");
    EXPECT_EQ(cell->nameField()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(cell->nameField()->toolTip().contains("A&lt;b&gt;&lt;/b&gt;")) << cell->nameField()->toolTip().toStdString();
    select("fk01");
    press("format");
    ASSERT_TRUE(screen->makeSureFormatVC());
    EXPECT_EQ(screen->makeSureFormatVC()->nameLabel()->text(), "Format 'A<b></b>'?");
    EXPECT_EQ(screen->makeSureFormatVC()->nameLabel()->textFormat(), Qt::PlainText);
    screen->makeSureFormatVC()->closeWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->makeSureFormatVC(); }, 5000));
}
