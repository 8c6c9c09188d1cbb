#include "SetEraserLevel/HistoryViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "SetEraserLevel/SidePanelSlot.h"

#include "PrivateDefaults.h"
#include "TempTree.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

struct Host : SetEraserLevelVCDelegate, HistoryVCDelegate
{
    explicit Host(QWidget* container) : slot(container) {}
    void closeSetEraserLevelView() override { ++closed; slot.dismiss(); }
    void closeHistoryView() override { ++closed; slot.dismiss(); }
    SidePanelSlot slot;
    int closed = 0;
};

// A tool's view with the container its side panels slide into.
struct ToolView
{
    ToolView()
    {
        view.resize(730, 520);
        container = new QWidget(&view);
        container->setGeometry(0, 0, 730, 520);
        container->hide();
        view.show();
    }
    QWidget view;
    QWidget* container;
};

int storedLevel()
{
    return platform::userDefaultInteger(QStringLiteral("EraserTimes"), 0);
}

FileObjPtr item(const QString& url)
{
    auto obj = std::make_shared<FileObj>();
    obj->url = url;
    obj->failStr = "Erased";
    return obj;
}

}  // namespace

TEST(SetEraserLevelVC, ChoosesSavesOrCancelsAndSlides)
{
    PrivateDefaults defaults;
    platform::setUserDefaultInteger(QStringLiteral("EraserTimes"), 3);
    ToolView tool;
    Host host(tool.container);

    SetEraserLevelVC* vc = SetEraserLevelVC::presentIn(host.slot, &host);
    EXPECT_EQ(vc->markedLevel(), "3");
    EXPECT_TRUE(tool.container->isVisible());
    EXPECT_EQ(tool.container->x(), SidePanelSlot::kHiddenX);
    QTRY_COMPARE_WITH_TIMEOUT(tool.container->pos(), QPoint(0, 0), 2000);

    QTest::mouseClick(vc->choiceButton("35"), Qt::LeftButton);
    EXPECT_EQ(vc->markedLevel(), "35");   // only 35, not 3
    QTest::mouseClick(vc->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(storedLevel(), 3);
    EXPECT_EQ(host.closed, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!tool.container->isVisible(), 2000);
    EXPECT_EQ(tool.container->x(), SidePanelSlot::kHiddenX);

    // A fresh panel each opening; the previous one is gone.
    QPointer<SetEraserLevelVC> old = vc;
    vc = SetEraserLevelVC::presentIn(host.slot, &host);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(vc->markedLevel(), "3");
    QTest::mouseClick(vc->choiceButton("35"), Qt::LeftButton);
    QTest::mouseClick(vc->saveButton(), Qt::LeftButton);
    EXPECT_EQ(storedLevel(), 35);
    EXPECT_EQ(host.closed, 2);
}

TEST(SetEraserLevelVC, UnknownStoredLevelMarksNothingAndSavesItAgain)
{
    PrivateDefaults defaults;
    platform::setUserDefaultInteger(QStringLiteral("EraserTimes"), 4);
    SetEraserLevelVC vc;
    vc.setEraserLevelSelect();
    EXPECT_EQ(vc.markedLevel(), "");
    vc.saveButtonAction();   // no host: stores and stays
    EXPECT_EQ(storedLevel(), 4);
}

class HistoryScreen : public ::testing::Test
{
protected:
    void record(const QString& moment, const QStringList& urls)
    {
        const QDateTime fixed = QDateTime::fromString(moment, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        DoDataBase at(path, [fixed] { return fixed; });
        FileObjList items;
        for (const QString& url : urls)
            items << item(url);
        ASSERT_TRUE(at.writePlistForHistoryWithArr(items));
    }
    // Presses the trash icon of the run shown at `row`.
    void pressTrash(HistoryViewController* vc, int row)
    {
        QTreeView* view = vc->historyOutlineView();
        const QRect cell = view->visualRect(view->model()->index(row, 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          HistoryDeleteTextFieldCell::deleteImageFrame(cell).center());
    }

    PrivateDefaults defaults;
    TempTree tree;
    QString path = tree / "DataBase.db";
    DoDataBase store{path};
};

TEST_F(HistoryScreen, ListsNewestFirstExpandedAndDeletesTheClickedRun)
{
    record("2026-12-08 07:00:00", {"/old/a"});
    record("2026-12-09 07:00:00", {"/new/a", "/new/b"});
    record("2026-12-10 07:00:00", {"/newest/a"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    QTreeView* view = vc->historyOutlineView();
    QAbstractItemModel* model = view->model();

    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0, 0).data().toString(), "2026-12-10 07-00-00");
    EXPECT_EQ(model->index(2, 0).data().toString(), "2026-12-08 07-00-00");
    EXPECT_TRUE(view->isExpanded(model->index(0, 0)));
    EXPECT_FALSE(view->isExpanded(model->index(1, 0)));
    EXPECT_EQ(model->rowCount(model->index(1, 0)), 3);   // header row and two items
    EXPECT_EQ(model->index(0, 1, model->index(1, 0)).data().toString(), "Erasure Algorithm");
    EXPECT_TRUE(vc->haveView()->isVisible());
    EXPECT_FALSE(vc->noView()->isVisible());
    EXPECT_EQ(vc->keyClickStr, "2026-12-10 07-00-00");

    // Click the middle run, then its trash icon: only that run goes.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(1, 0)).center());
    EXPECT_EQ(vc->keyClickStr, "2026-12-09 07-00-00");
    EXPECT_EQ(vc->stateCell()->shownRun().row(), 1);
    pressTrash(vc, 1);
    EXPECT_EQ(store.getAllData().keys(), QStringList({"2026-12-08 07-00-00", "2026-12-10 07-00-00"}));
    ASSERT_EQ(model->rowCount(), 2);
    // The remembered run is the newest again, never the deleted one.
    EXPECT_EQ(vc->keyClickStr, "2026-12-10 07-00-00");
    EXPECT_TRUE(view->isExpanded(model->index(0, 0)));

    // A second press within 0.2 s acts no more.
    QTest::qWait(250);
    pressTrash(vc, 0);
    pressTrash(vc, 0);
    EXPECT_EQ(store.getAllData().keys(), QStringList({"2026-12-08 07-00-00"}));
    QTest::qWait(250);

    // Clicking an item row hides the icons: the trash spot does nothing there.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(1, 0, model->index(0, 0))).center());
    EXPECT_FALSE(vc->stateCell()->shownRun().isValid());
    pressTrash(vc, 0);
    EXPECT_EQ(store.getAllData().size(), 1);
}

TEST_F(HistoryScreen, EmptyAllDeletesEverythingAndCloses)
{
    record("2026-12-08 07:00:00", {"/a"});
    record("2026-12-08 07:00:00", {"/b"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeVolume", &store);
    ASSERT_EQ(vc->historyOutlineView()->model()->rowCount(), 2);
    ASSERT_TRUE(vc->emptyAllButton()->isEnabled());

    QTest::mouseClick(vc->emptyAllButton(), Qt::LeftButton);
    EXPECT_TRUE(store.getAllData().isEmpty());
    EXPECT_FALSE(vc->emptyAllButton()->isEnabled());
    EXPECT_FALSE(vc->haveView()->isVisible());
    EXPECT_TRUE(vc->noView()->isVisible());
    EXPECT_TRUE(vc->keyClickStr.isEmpty());
    EXPECT_EQ(host.closed, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!tool.container->isVisible(), 2000);
}

TEST_F(HistoryScreen, ExportsTheRememberedRun)
{
    record("2026-12-08 07:00:00", {"/a & <b>"});
    HistoryViewController vc(nullptr, &store);
    vc.getEraserHistory();
    const QString page = tree / "page.html";
    ASSERT_TRUE(vc.writeHTML(page));
    const QByteArray html = TempTree::read(page);
    EXPECT_TRUE(html.contains("<th colspan=\"3\">2026-12-08 07-00-00</th>"));
    EXPECT_TRUE(html.contains("<td>/a &amp; &lt;b&gt;</td>"));
    QString error;
    EXPECT_FALSE(vc.writeHTML(tree / "no/folder/page.html", &error));
}
