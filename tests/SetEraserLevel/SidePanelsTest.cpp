#include "SetEraserLevel/ExportViewController.h"
#include "SetEraserLevel/HistoryViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "SetEraserLevel/SidePanelSlot.h"

#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/Tools/EUCustomOutlineView.h"
#include "LogCapture.h"
#include "PrivateDefaults.h"
#include "TempTree.h"
#include "ToolCon/TextImageButton.h"
#include "platform/InvokingUser.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
    return platform::userDefaultInteger(kEraserTimesKey, 0);
}

// Pixels of `image` inside `area` that `match` accepts.
int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& match)
{
    int n = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            n += match(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// The blue of the marked radio picture.
bool isRadioBlue(QColor c)
{
    return c.blue() > 180 && c.red() < 80;
}

// The grey the outline icons and picture frames are drawn in.
bool isIconGrey(QColor c)
{
    return c.red() > 90 && c.red() < 170 && c.blue() >= c.red() && c.blue() - c.red() < 30;
}

// Calls `act` with the first top-level widget of type T once one is shown.
template <typename T>
void whenShown(std::function<void(T*)> act)
{
    QTimer::singleShot(20, [act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            T* found = qobject_cast<T*>(w);
            if (!found)
                found = w->findChild<T*>();
            if (found) {
                act(found);
                return;
            }
        }
        whenShown<T>(act);
    });
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
    platform::setUserDefaultInteger(kEraserTimesKey, 3);
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

    // Escape closes it as Cancel does: nothing saved.
    vc = SetEraserLevelVC::presentIn(host.slot, &host);
    QTest::mouseClick(vc->choiceButton("3"), Qt::LeftButton);
    QTest::keyClick(vc, Qt::Key_Escape);
    EXPECT_EQ(storedLevel(), 35);
    EXPECT_EQ(host.closed, 3);
}

TEST(SetEraserLevelVC, OffersEveryLevelUnderItsName)
{
    SetEraserLevelVC vc;
    QStringList offered;
    for (const EraserLevel& level : eraserLevels()) {
        QAbstractButton* choice = vc.choiceButton(QString::number(level.value));
        ASSERT_NE(choice, nullptr) << "no choice for level " << level.value;
        EXPECT_EQ(choice->text(), level.name);
        offered << QString::number(level.value);
    }
    EXPECT_EQ(offered, QStringList({"1", "2", "3", "7", "35"}));
}

TEST(SetEraserLevelVC, UnknownStoredLevelMarksNothingAndSavesItAgain)
{
    PrivateDefaults defaults;
    platform::setUserDefaultInteger(kEraserTimesKey, 4);
    SetEraserLevelVC vc;
    vc.setEraserLevelSelect();
    EXPECT_EQ(vc.markedLevel(), "");
    vc.saveButtonAction();   // no host: stores and stays
    EXPECT_EQ(storedLevel(), 4);
}

TEST(SetEraserLevelVC, DrawsTheMarkedRadioAndPictureButtons)
{
    PrivateDefaults defaults;
    platform::setUserDefaultInteger(kEraserTimesKey, 7);
    SetEraserLevelVC vc;
    vc.resize(730, 520);
    vc.show();
    vc.setEraserLevelSelect();
    for (const QString level : {"1", "2", "3", "7", "35"}) {
        QAbstractButton* choice = vc.choiceButton(level);
        const QImage image = choice->grab().toImage();
        const int blue = countPixels(image, image.rect(), isRadioBlue);
        if (level == "7")
            EXPECT_GT(blue, 20) << "the stored level shows the marked radio";
        else
            EXPECT_EQ(blue, 0) << "level " << level.toStdString() << " is drawn marked";
    }
    QTest::mouseClick(vc.choiceButton("35"), Qt::LeftButton);
    EXPECT_EQ(countPixels(vc.choiceButton("7")->grab().toImage(), QRect(0, 0, 400, 100), isRadioBlue), 0);
    EXPECT_GT(countPixels(vc.choiceButton("35")->grab().toImage(), QRect(0, 0, 400, 100), isRadioBlue), 20);

    // Save and Cancel: enabled by the set-up (they come disabled from the
    // interface file), titled, and drawn with their picture's grey frame.
    for (TextImageButton* button : {vc.saveButton(), vc.cancelButton()}) {
        EXPECT_TRUE(button->buttonEnabled());
        EXPECT_EQ(button->look(), FourStateImageButton::Look::Normal);
        const QImage image = button->grab().toImage();
        EXPECT_TRUE(isIconGrey(image.pixelColor(image.width() / 2, 0)));
    }
    // The panel covers the tool's view with its own dark background.
    EXPECT_EQ(vc.grab().toImage().pixelColor(5, 5), QColor(50, 50, 62));
    EXPECT_EQ(vc.saveButton()->label()->text(), "Save");
    EXPECT_EQ(vc.cancelButton()->label()->text(), "Cancel");
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
        EUCustomOutlineView* view = vc->historyOutlineView();
        const QRect cell = view->visualRect(view->model()->index(row, 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          HistoryDeleteTextFieldCell::deleteImageFrame(cell).center());
    }

    // The history as a tool shows it, slid into place and with the keyboard.
    HistoryViewController* presentInPlace(ToolView& tool, Host& host)
    {
        HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
        EXPECT_TRUE(QTest::qWaitFor([&] { return tool.container->pos() == QPoint(0, 0); }, 3000));
        QApplication::setActiveWindow(&tool.view);
        return vc;
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
    EUCustomOutlineView* view = vc->historyOutlineView();
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

TEST_F(HistoryScreen, TheRunsIconsAreTabStopsAndTheListShowsItHasTheKeyboard)
{
    for (const char* moment : {"2026-12-09 07:00:00", "2026-12-10 07:00:00"})
        record(moment, {"/run/a"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = presentInPlace(tool, host);
    EUCustomOutlineView* view = vc->historyOutlineView();
    auto ring = [&]() -> QWidget* {
        for (QWidget* child : vc->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible() && child->testAttribute(Qt::WA_TransparentForMouseEvents))
                return child;
        return nullptr;
    };
    auto tabTo = [&](QWidget* wanted) {
        for (int i = 0; i < 8 && QApplication::focusWidget() != wanted; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : vc, Qt::Key_Tab);
        return QApplication::focusWidget() == wanted;
    };

    // The list takes the keyboard visibly, and the arrows choose a run.
    ASSERT_TRUE(tabTo(view));
    ASSERT_TRUE(ring()) << "the list shows it has the keyboard";
    EXPECT_TRUE(ring()->geometry().contains(view->mapTo(vc, view->rect().center())));
    QTest::keyClick(view, Qt::Key_Down);  // the newest run's header row
    QTest::keyClick(view, Qt::Key_Down);  // its item
    QTest::keyClick(view, Qt::Key_Down);  // the older run
    EXPECT_EQ(vc->keyClickStr, "2026-12-09 07-00-00");

    // Its export and trash icons are the next stops, each with the ring.
    ASSERT_TRUE(tabTo(vc->exportKey()));
    ASSERT_TRUE(ring());
    const QRect cell = view->visualRect(vc->stateCell()->shownRun().siblingAtColumn(2));
    const QPoint trash = view->viewport()->mapTo(vc, HistoryDeleteTextFieldCell::deleteImageFrame(cell).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), vc->deleteKey());
    EXPECT_TRUE(ring()->geometry().contains(trash)) << "the ring is on the trash icon";
    QTest::keyClick(vc->deleteKey(), Qt::Key_Return);
    EXPECT_EQ(store.getAllData().keys(), QStringList({"2026-12-10 07-00-00"})) << "Return deletes the chosen run";
}

TEST_F(HistoryScreen, HeaderAndRowsLineUp)
{
    record("2026-12-10 07:00:00", {"/new/a"});
    ToolView tool;
    Host host(tool.container);
    EUCustomOutlineView* view = presentInPlace(tool, host)->historyOutlineView();
    const QImage shot = view->grab().toImage();
    // The leftmost light pixel of `area`: where a title's ink starts.
    auto inkLeft = [&](const QRect& area) {
        for (int x = area.left(); x <= area.right(); ++x)
            for (int y = area.top(); y <= area.bottom(); ++y)
                if (shot.pixelColor(x, y).lightness() > 95)
                    return x;
        return -1;
    };
    QHeaderView* header = view->header();
    const QPoint origin = view->viewport()->mapTo(view, QPoint(0, 0));
    for (int column : {0, 2}) {
        SCOPED_TRACE(column);
        const int x = header->sectionViewportPosition(column) + origin.x();
        const int headerInk = inkLeft(QRect(x, 0, 60, header->height()));
        ASSERT_GE(headerInk, 0);
        EXPECT_GE(headerInk - x, 4) << "the header's title keeps off its edge";
        if (column == 2) {
            // The run's own header row under it says "Result" at the same place.
            const QRect row = view->visualRect(view->model()->index(0, 2, view->model()->index(0, 0)));
            EXPECT_EQ(inkLeft(QRect(row.left() + origin.x(), row.top() + origin.y(), 60, row.height())), headerInk);
        }
    }
    // The chosen run's bar runs as far as the header.
    const QRect run = view->visualRect(view->model()->index(0, 0));
    const QColor end = shot.pixelColor(origin.x() + view->viewport()->width() - 4, origin.y() + run.center().y());
    EXPECT_LT(end.lightness(), QColor(50, 50, 62).lightness()) << "the highlight reaches the header's end";
}

TEST_F(HistoryScreen, EmptyAllDeletesEverythingAndCloses)
{
    record("2026-12-08 07:00:00", {"/a"});
    record("2026-12-08 07:00:00", {"/b"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeVolume", &store);
    ASSERT_EQ(vc->historyOutlineView()->model()->rowCount(), 2);
    ASSERT_TRUE(vc->emptyAllButton()->buttonEnabled());

    QTest::mouseClick(vc->emptyAllButton(), Qt::LeftButton);
    EXPECT_TRUE(store.getAllData().isEmpty());
    EXPECT_FALSE(vc->emptyAllButton()->buttonEnabled());
    EXPECT_EQ(vc->emptyAllButton()->look(), FourStateImageButton::Look::Disabled);
    EXPECT_FALSE(vc->haveView()->isVisible());
    EXPECT_TRUE(vc->noView()->isVisible());
    EXPECT_TRUE(vc->keyClickStr.isEmpty());
    EXPECT_EQ(host.closed, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!tool.container->isVisible(), 2000);

    vc = HistoryViewController::presentIn(host.slot, &host, "WipeVolume", &store);
    QTest::keyClick(vc, Qt::Key_Escape);
    EXPECT_EQ(host.closed, 2) << "Escape closes the history too";
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

TEST_F(HistoryScreen, DrawsTheIconsAndHighlightOnTheClickedRun)
{
    record("2026-12-08 07:00:00", {"/old"});
    record("2026-12-09 07:00:00", {"/new"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    EUCustomOutlineView* view = vc->historyOutlineView();
    QAbstractItemModel* model = view->model();
    const auto state = [&](int row) { return view->visualRect(model->index(row, 2)); };
    // An empty spot of a run's row, inside its bar.
    const auto barPixel = [&](const QImage& image, int row) {
        const QRect type = view->visualRect(model->index(row, 1));
        return image.pixelColor(type.x() + 150, type.center().y());
    };
    const auto iconPixels = [&](const QImage& image, int row) {
        return countPixels(image, HistoryDeleteTextFieldCell::folderImageFrame(state(row)), isIconGrey) +
               countPixels(image, HistoryDeleteTextFieldCell::deleteImageFrame(state(row)), isIconGrey);
    };

    EXPECT_EQ(vc->grab().toImage().pixelColor(5, 5), QColor(50, 50, 62));

    // On opening, the newest run carries the icons and the highlight.
    QImage image = view->viewport()->grab().toImage();
    EXPECT_GT(countPixels(image, HistoryDeleteTextFieldCell::deleteImageFrame(state(0)), isIconGrey), 10);
    EXPECT_GT(countPixels(image, HistoryDeleteTextFieldCell::folderImageFrame(state(0)), isIconGrey), 10);
    EXPECT_LT(barPixel(image, 0).lightness(), barPixel(image, 1).lightness());

    // The older run (below the newest run's two rows) takes both over.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(1, 0)).center());
    EXPECT_EQ(vc->selectCellIndex, 3);
    image = view->viewport()->grab().toImage();
    EXPECT_EQ(iconPixels(image, 0), 0);
    EXPECT_GT(iconPixels(image, 1), 20);
    EXPECT_LT(barPixel(image, 1).lightness(), barPixel(image, 0).lightness());

    // An item row: no icons anywhere.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(model->index(1, 0, model->index(0, 0))).center());
    image = view->viewport()->grab().toImage();
    EXPECT_EQ(iconPixels(image, 0) + iconPixels(image, 1), 0);
}

TEST_F(HistoryScreen, ExportAsksForTheFileWritesItAndTellsItIsDone)
{
    record("2026-12-08 07:00:00", {"/a", "/b"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    EUCustomOutlineView* view = vc->historyOutlineView();
    const QString chosen = tree / "saved";
    QString proposed;
    bool pageBeforeDialog = false;
    QPointer<ExportViewController> done;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        proposed = dialog->selectedFiles().value(0);
        whenShown<ExportViewController>([&](ExportViewController* shown) {
            done = shown;
            pageBeforeDialog = QFile::exists(chosen + ".html");
            EXPECT_TRUE(shown->superDelegate() && shown->superDelegate()->isRunningModal());
            QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
        });
        // The name typed, and Return.
        (void)QTest::qWaitForWindowActive(dialog->window(), 1000);  // the checks below say what matters
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_TRUE(name);
        name->clear();
        QTest::keyClicks(name, chosen);
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::qWait(250);   // past any earlier icon click's 0.2 s
    const QRect cell = view->visualRect(view->model()->index(0, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, HistoryDeleteTextFieldCell::folderImageFrame(cell).center());

    // Both dialogs have run and gone by the time the click returns.
    EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith("ErasureHistory("));
    EXPECT_TRUE(pageBeforeDialog);
    EXPECT_TRUE(done.isNull());
    const QByteArray html = TempTree::read(chosen + ".html");
    EXPECT_TRUE(html.contains("<th colspan=\"3\">2026-12-08 07-00-00</th>"));
    EXPECT_TRUE(html.contains("<td>/a</td>") && html.contains("<td>/b</td>"));
}

namespace {

// Sets an environment variable for one scope.
struct ScopedEnv
{
    ScopedEnv(const char* name, const QByteArray& value) : name(name), had(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    const char* name;
    bool had;
    QByteArray old;
};

}  // namespace

TEST_F(HistoryScreen, TheExportedPageBelongsToTheInvokingUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing a file's owner needs root";
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0)
        GTEST_SKIP() << "no non-root user 'nobody' here";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    record("2026-12-08 07:00:00", {"/a"});
    HistoryViewController vc(nullptr, &store);
    vc.getEraserHistory();
    struct stat st{};
    // The page is written by the user, so it goes where the user may write.
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    const QString home = tree.folder("home");
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), uid, gid), 0);
    {
        ScopedEnv invoker("PKEXEC_UID", QByteArray::number(uid));
        const QString page = home + "/user.html";
        ASSERT_TRUE(vc.writeHTML(page));
        ASSERT_EQ(::stat(QFile::encodeName(page).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, uid);
        EXPECT_EQ(st.st_gid, gid);
        // Written again over the user's own file: still theirs.
        ASSERT_TRUE(vc.writeHTML(page));
        ASSERT_EQ(::stat(QFile::encodeName(page).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, uid);
    }
    {
        ScopedEnv invoker("PKEXEC_UID", "0");
        const QString page = home + "/root.html";
        ASSERT_TRUE(vc.writeHTML(page));
        ASSERT_EQ(::stat(QFile::encodeName(page).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u);
    }
}

TEST_F(HistoryScreen, ALinkPlantedAtTheExportNameIsReplacedNeverWrittenThrough)
{
    record("2026-12-08 07:00:00", {"/a"});
    HistoryViewController vc(nullptr, &store);
    vc.getEraserHistory();
    const QString target = tree.file("system/config", "root's own");
    const auto unchanged = [&] { return TempTree::read(target) == "root's own"; };

    // Whoever the user is, the link itself goes and its target stays.
    tree.folder("shared");
    const QString link = tree.link("shared/report.html", target);
    {
        ScopedEnv invoker("PKEXEC_UID", QByteArray::number(::getuid()));
        ASSERT_TRUE(vc.writeHTML(link));
    }
    EXPECT_TRUE(unchanged());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(TempTree::read(link).contains("<th colspan=\"3\">2026-12-08 07-00-00</th>"));

    if (::geteuid() != 0)
        return;
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0)
        GTEST_SKIP() << "no non-root user 'nobody' here";
    // A shared sticky folder, and another user's link in it: the user may not
    // replace it, so nothing is written at all.
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    const QString sticky = tree.folder("sticky");
    ::chmod(QFile::encodeName(sticky).constData(), 01777);
    const QString planted = tree.link("sticky/report.html", target);
    ASSERT_EQ(::lchown(QFile::encodeName(planted).constData(), nobody->pw_uid + 1, nobody->pw_gid), 0);
    ScopedEnv invoker("PKEXEC_UID", QByteArray::number(nobody->pw_uid));
    QString error;
    EXPECT_FALSE(vc.writeHTML(planted, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(QFileInfo(planted).isSymLink());
    EXPECT_EQ(QDir(sticky).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"report.html"})
        << "a half-written page was left behind";
}

TEST_F(HistoryScreen, TheReplaceQuestionNamesTheFileThatIsWritten)
{
    record("2026-12-08 07:00:00", {"/a"});
    const QString existing = tree.file("report.html", "an earlier report");
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    EUCustomOutlineView* view = vc->historyOutlineView();
    QStringList questions;
    bool keptAfterNo = false;
    bool toldDone = false;
    whenShown<ExportViewController>([&](ExportViewController* shown) {
        toldDone = true;
        QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
    });
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        // Typed into the name, which has the keyboard (a dialog leaves a name
        // being edited alone when told to select a file).
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_TRUE(name);
        name->setText(tree / "report");
        // Asked first: No keeps the earlier report and the dialog open.
        whenShown<QMessageBox>([&](QMessageBox* box) {
            questions << box->text();
            box->button(QMessageBox::No)->click();
        });
        QMetaObject::invokeMethod(dialog, "accept");
        keptAfterNo = TempTree::read(existing) == "an earlier report" && dialog->isVisible();
        // Asked again: Yes replaces that very file.
        whenShown<QMessageBox>([&](QMessageBox* box) {
            questions << box->text();
            box->button(QMessageBox::Yes)->click();
        });
        name->setText(tree / "report");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::qWait(250);
    const QRect cell = view->visualRect(view->model()->index(0, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, HistoryDeleteTextFieldCell::folderImageFrame(cell).center());

    ASSERT_EQ(questions.size(), 2) << "no question before replacing report.html";
    EXPECT_TRUE(questions.first().contains("report.html")) << questions.first().toStdString();
    EXPECT_TRUE(keptAfterNo);
    EXPECT_TRUE(toldDone);
    EXPECT_TRUE(TempTree::read(existing).contains("<th colspan=\"3\">2026-12-08 07-00-00</th>"));
    EXPECT_FALSE(QFile::exists(tree / "report.html.html"));
}

TEST_F(HistoryScreen, TheExportDialogIsDarkInsideTheMainWindowAndOpensInTheUsersHome)
{
    // A user other than root whose home exists.
    std::optional<std::pair<uid_t, QString>> user;
    ::setpwent();
    while (const passwd* pw = ::getpwent()) {
        if (pw->pw_uid != 0 && pw->pw_uid != ::getuid() && QFileInfo(QString::fromLocal8Bit(pw->pw_dir)).isDir()) {
            user.emplace(pw->pw_uid, QFileInfo(QString::fromLocal8Bit(pw->pw_dir)).canonicalFilePath());
            break;
        }
    }
    ::endpwent();
    if (!user)
        GTEST_SKIP() << "no other user with a home here";
    ScopedEnv invoker("PKEXEC_UID", QByteArray::number(user->first));
    ScopedEnv homeVariable("HOME", QFile::encodeName(tree.path()));  // never where it opens

    record("2026-12-08 07:00:00", {"/a"});
    ToolView tool;
    tool.view.move(40, 30);
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    EUCustomOutlineView* view = vc->historyOutlineView();
    QString opened;
    QList<QUrl> sidebar;
    bool ownWindow = true;
    bool nameFocused = false;
    bool escapeCancels = false;
    bool rootCanMakeFolders = false;
    QRect area;
    QColor listBackground;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        opened = QFileInfo(dialog->directory().absolutePath()).canonicalFilePath();
        sidebar = dialog->sidebarUrls();
        ownWindow = dialog->isWindow();
        area = dialog->window()->frameGeometry();
        if (auto* list = dialog->findChild<QTreeView*>("treeView")) {
            const QImage image = list->viewport()->grab().toImage();
            listBackground = image.pixelColor(image.width() - 4, image.height() - 4);
        }
        // Nothing is made, renamed or deleted by root from here.
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>("newFolderButton"))
            rootCanMakeFolders = rootCanMakeFolders || (button->isVisible() && button->isEnabled());
        // The keyboard starts on the name; Escape cancels.
        (void)QTest::qWaitForWindowActive(dialog->window(), 1000);  // the checks below say what matters
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        nameFocused = name && QApplication::focusWidget() == name;
        QTest::keyClick(nameFocused ? static_cast<QWidget*>(name) : dialog, Qt::Key_Escape);
        escapeCancels = !dialog->isVisible();
        if (!escapeCancels)
            QMetaObject::invokeMethod(dialog, "reject");
    });
    QTest::qWait(250);
    const QRect cell = view->visualRect(view->model()->index(0, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, HistoryDeleteTextFieldCell::folderImageFrame(cell).center());

    EXPECT_EQ(opened, user->second);
    ASSERT_FALSE(sidebar.isEmpty());
    EXPECT_EQ(QFileInfo(sidebar.first().toLocalFile()).canonicalFilePath(), user->second);
    for (const QUrl& url : sidebar)
        EXPECT_NE(QDir::cleanPath(url.toLocalFile()), platform::rootHome()) << "root's home is offered";
    EXPECT_FALSE(ownWindow) << "a window of its own, in the platform's look";
    EXPECT_TRUE(tool.view.frameGeometry().contains(area))
        << "the dialog at " << area.x() << "," << area.y() << " " << area.width() << "x" << area.height()
        << " leaves the main window";
    EXPECT_LT(listBackground.lightness(), 80) << "the list is not dark";
    EXPECT_TRUE(nameFocused);
    EXPECT_TRUE(escapeCancels);
    EXPECT_FALSE(rootCanMakeFolders);
    EXPECT_EQ(QDir(tree.path()).entryList({"*.html"}), QStringList());
}

TEST_F(HistoryScreen, ADamagedDatabaseIsSaidToBeDamagedNotEmpty)
{
    record("2026-12-08 07:00:00", {"/a"});
    {
        QFile db(path);
        ASSERT_TRUE(db.open(QIODevice::ReadWrite));
        db.write(QByteArray(4096, '\x5a'));  // the header and first page overwritten
    }
    bool ok = true, damaged = false;
    EXPECT_TRUE(store.getAllData(&ok, &damaged).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(damaged);

    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    auto* label = vc->findChild<QLabel*>("noHistoryLabel");
    ASSERT_TRUE(label);
    EXPECT_TRUE(vc->noView()->isVisible());
    EXPECT_EQ(label->text(), "The erasure history cannot be read: its database file is damaged.");
}

TEST_F(HistoryScreen, LogsEachRunAndTitleOnceHoweverOftenItIsRead)
{
    for (int i = 0; i < 40; ++i)
        record(QStringLiteral("2026-12-09 07:%1:00").arg(i, 2, 10, QLatin1Char('0')), {"/a/%3 x", "/b"});
    LogCapture log;
    ASSERT_TRUE(log.ok());
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    for (int i = 0; i < 5; ++i)
        vc->historyOutlineView()->viewport()->grab();  // as the slide repaints it
    const QStringList lines = log.lines();
    const QStringList dic = lines.filter(QRegularExpression("^dic:----"));
    ASSERT_EQ(dic.size(), 40);
    // One run's key and its row count (the header row and two items), not the history so far.
    EXPECT_EQ(dic.first(), "dic:----{2026-12-09 07-39-00 = (3 rows)}");
    EXPECT_EQ(lines.filter(QRegularExpression("^-:2026-12-09 07-39-00:-$")).size(), 1);
    // Each title drawn is logged once, whatever the repaints.
    EXPECT_EQ(lines.filter(QRegularExpression("^--/a/%3 x$")).size(), 1);
    EXPECT_EQ(lines.filter(QRegularExpression("^--2026-12-09 07-39-00$")).size(), 1);
}

TEST_F(HistoryScreen, AnItemCutShortShowsWholeAsItsToolTip)
{
    const QString longName = "/home/someone/Documents/a folder with a long name/another long folder/secret.txt";
    record("2026-12-10 07:00:00", {longName, "/short"});
    ToolView tool;
    Host host(tool.container);
    HistoryViewController* vc = HistoryViewController::presentIn(host.slot, &host, "WipeFile", &store);
    EUCustomOutlineView* view = vc->historyOutlineView();
    QAbstractItemModel* model = view->model();
    const QModelIndex run = model->index(0, 0);
    ASSERT_TRUE(view->isExpanded(run));
    const auto tipAt = [&](int row) {
        QToolTip::hideText();  // hidden after a short delay
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
        const QRect cell = view->visualRect(model->index(row, 0, run));
        QHelpEvent help(QEvent::ToolTip, cell.center(), view->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(view->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(1), longName);
    EXPECT_EQ(tipAt(2), QString());  // shown whole already
}
