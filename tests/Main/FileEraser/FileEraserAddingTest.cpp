#include "Comm/PublicUtilities.h"
#include "LoopVolume.h"
#include "Main/FileEraser/DragView.h"
#include "Main/FileEraser/FileEraserList.h"
#include "Main/FileEraser/FileEraserTableModel.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "PopWindow/StatusAttachedWindow.h"
#include "SetEraserLevel/DoDataBase.h"
#include "TempTree.h"
#include "ToolCon/TCImageButton.h"
#include "WipeDisk/NTFSViewController.h"
#include "platform/FileSystemInfo.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct DropLog : DragViewDelegate
{
    QList<QStringList> drops;
    void viewDragAction(const QStringList& paths) override { drops << paths; }
};

// Drops are delivered by the drag machinery, not by sending events.
struct TestDragView : DragView
{
    using DragView::dropEvent;
};

bool drop(TestDragView& view, QMimeData* data)
{
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    event.ignore();
    view.dropEvent(&event);
    return event.isAccepted();
}

}  // namespace

TEST(DragView, APictureIsTakenButAddsNothingFileNamesGoToTheDelegate)
{
    TempTree tree;
    const QString file = tree.file("dropped.txt");
    TestDragView view;
    DropLog log;
    view.setDelegate(&log);

    QMimeData picture;
    picture.setData("image/tiff", QByteArray("II*\0", 4));
    picture.setUrls({QUrl::fromLocalFile(file)});  // the picture comes first
    EXPECT_TRUE(drop(view, &picture));
    EXPECT_TRUE(log.drops.isEmpty());

    QMimeData emptyPicture;
    emptyPicture.setData("image/tiff", QByteArray());
    EXPECT_FALSE(drop(view, &emptyPicture));

    QMimeData names;
    names.setUrls({QUrl::fromLocalFile(file), QUrl("https://example.org/x")});
    EXPECT_TRUE(drop(view, &names));
    ASSERT_EQ(log.drops.size(), 1);
    EXPECT_EQ(log.drops.first(), QStringList{file});

    QMimeData text;
    text.setText("not a file");
    EXPECT_FALSE(drop(view, &text));
    EXPECT_EQ(log.drops.size(), 1);
}

class AddingScreenTest : public ::testing::Test
{
protected:
    ScopedLayout layout;
    TempTree state;
    DoDataBase store{state / "DataBase.db"};
    FileEraserViewController screen{nullptr, &store};
};

TEST_F(AddingScreenTest, HistoryButtonPictureFollowsTheFreshHistoryFlag)
{
    auto* history = screen.findChild<TCImageButton*>("historyButton");
    ASSERT_TRUE(history);
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "1");
    screen.changeHistoryButtonState();
    EXPECT_EQ(history->normalImageName(), "ic_history");
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "0");
    screen.changeHistoryButtonState();
    EXPECT_EQ(history->normalImageName(), "ic_history_none");
}

TEST_F(AddingScreenTest, EveryNtfsPathAfterTheFirstGetsItsOwnNotice)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ntfs");
    if (!volume.ok())
        GTEST_SKIP() << "no NTFS volume: " << volume.error().toStdString();
    ASSERT_TRUE(volume.mount());
    TempTree tree;
    const QString local = tree.file("local.txt");
    QStringList onNtfs;
    for (const char* name : {"one.txt", "two.txt"}) {
        QFile f(volume.mountPoint() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        onNtfs << f.fileName();
    }

    int notices = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&notices] {
        auto* panel = qobject_cast<StatusAttachedWindow*>(QApplication::activeModalWidget());
        if (auto* ntfs = panel ? panel->findChild<NTFSViewController*>() : nullptr) {
            ++notices;
            ntfs->okButtonAction();
        }
    });
    closer.start(20);
    screen.viewDragAction({local, onNtfs[0], onNtfs[1]});
    closer.stop();
    EXPECT_EQ(notices, 2);
}

TEST_F(AddingScreenTest, SortPopOverStaysInsideTheWindowAndLeavesTheButtonsFree)
{
    screen.resize(730, 580);
    screen.show();
    screen.sortButtonAction();
    QWidget* popOver = screen.sortAttachedWindow();
    ASSERT_TRUE(popOver);
    const QRect windowArea(screen.mapToGlobal(QPoint(0, 0)), screen.size());
    EXPECT_TRUE(windowArea.contains(popOver->frameGeometry()));
    for (const char* name : {"sortButton", "historyButton", "setButton"}) {
        auto* button = screen.findChild<QWidget*>(name);
        ASSERT_TRUE(button) << name;
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_FALSE(onScreen.intersects(popOver->frameGeometry())) << name << " is covered";
    }
}

TEST(FileEraserTableModel, EveryRowShowsAnIconEvenWhenTheItemCarriesNone)
{
    TempTree tree;
    FileEraserList list;
    list.addPaths({tree.file("a.txt"), tree.folder("dir")});
    ASSERT_EQ(list.valueArr.size(), 2);
    for (const FileObjPtr& item : list.valueArr)
        item->icon = QIcon();  // as the run-list walk leaves them
    FileEraserTableModel model(&list);
    for (int row = 0; row < 2; ++row) {
        const QIcon icon = model.data(model.index(row, FileEraserTableModel::Name), Qt::DecorationRole).value<QIcon>();
        EXPECT_FALSE(icon.pixmap(24, 24).isNull()) << "row " << row;
    }
}
