#include "BrowserFixtures.h"

#include "ToolCon/TextImageButton.h"
#include "inter/BrowserListWidgets.h"
#include "inter/CloseBrowerViewController.h"
#include "inter/InternetViewController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

namespace {

struct Screen
{
    Home h;
    TempTree apps;
    QStringList asked;
    bool answer = true;
    QString firefoxInstall;
    std::unique_ptr<InternetViewController> page;

    explicit Screen(const QStringList& browsers,
                    const QString& plist = QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist"))
    {
        for (const QString& name : browsers) {
            QString program = QString(name).replace(' ', '-').toLower();
            // Firefox's profile is its installation's: one made here.
            if (name.contains("Firefox")) {
                apps.file("install/" + program, "#!/bin/sh\n");
                apps.file("install/application.ini", "[App]\n");
                firefoxInstall = QFileInfo(apps / "install").canonicalFilePath();
                program = firefoxInstall + '/' + program;
            }
            apps.file("applications/" + QString(name).replace(' ', '-').toLower() + ".desktop",
                      QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n")
                          .arg(name, program)
                          .toUtf8());
        }
        InternetViewController::Environment env;
        env.user = h.user();
        env.applicationRoots = {apps / "applications"};
        env.eraserHistoryPath = plist;
        env.closeTimeoutMs = 3000;
        env.askToClose = [this](const QStringList& names) {
            asked = names;
            return answer;
        };
        page = std::make_unique<InternetViewController>(env);
        page->resize(730, 580);
        page->show();
    }

    void scan()
    {
        QSignalSpy done(page.get(), &InternetViewController::scanFinished);
        page->checkOpenBrower();
        ASSERT_TRUE(done.wait(10000));
    }
    void clean()
    {
        QSignalSpy done(page.get(), &InternetViewController::cleanFinished);
        page->cleanButtonAction();
        ASSERT_TRUE(done.count() == 1 || done.wait(10000));
    }
    BrowerObjPtr node(const QString& browser, const QString& category = {}) const
    {
        for (const BrowerObjPtr& b : page->browserArr())
            if (b->name == browser) {
                if (category.isEmpty())
                    return b;
                for (const BrowerObjPtr& c : b->chrArr)
                    if (c->name == category)
                        return c;
            }
        ADD_FAILURE() << browser.toStdString() << "/" << category.toStdString();
        return std::make_shared<BrowerObj>();
    }
    // The widget a click at the middle of `target` reaches, as the user meets it.
    bool onTop(QWidget* target) const
    {
        const QPoint at = target->mapTo(page.get(), target->rect().center());
        QWidget* hit = page->childAt(at);
        return hit && (hit == target || target->isAncestorOf(hit));
    }
    template <typename T> T* child(const char* name) const { return page->findChild<T*>(QString::fromLatin1(name)); }
    void click(BroTableView* list, int row)
    {
        list->setClickedRow(row);
        page->selectBrower(list);
    }
};

}  // namespace

TEST(InternetScreen, ScanShowsTheFixtureBrowsersWithTrueCountsAndCleansWhatIsTicked)
{
    Screen s({"Google Chrome", "Firefox ESR", "Opera", "Text Editor"});
    makeChrome(s.h, 6);
    makeFirefox(s.h, 4, s.firefoxInstall);
    makeOpera(s.h, 2);
    chownHome(s.h);
    s.scan();

    ASSERT_EQ(s.page->browserArr().size(), 3);
    EXPECT_EQ(s.page->broSelectIndex(), 0);
    EXPECT_EQ(s.page->leftTableView()->rowNum(), 0);
    EXPECT_EQ(s.page->rightTableView()->rowNum(), -1);
    EXPECT_EQ(s.page->rightTableView()->model()->rowCount(), 6);
    EXPECT_FALSE(s.page->nameLabel()->text().isEmpty());
    EXPECT_TRUE(s.page->cleanButton()->buttonEnabled());
    EXPECT_EQ(s.node("Google Chrome", "Browsing History")->size, "6 Items");
    EXPECT_TRUE(s.node("Firefox ESR", "Browsing History")->size.endsWith(" KB"));
    EXPECT_EQ(s.node("Opera", "Browsing History")->size, "2 Items");

    // Untick all of Opera from its row, and Chrome's passwords from the
    // category list of the shown browser.
    int operaRow = -1, chromeRow = -1;
    for (int i = 0; i < s.page->browserArr().size(); ++i) {
        if (s.page->browserArr()[i]->name == "Opera")
            operaRow = i;
        if (s.page->browserArr()[i]->name == "Google Chrome")
            chromeRow = i;
    }
    s.click(s.page->leftTableView(), operaRow);
    EXPECT_EQ(s.node("Opera")->isSelect, 0);
    s.page->selectRow(s.page->leftTableView(), chromeRow);
    EXPECT_EQ(s.page->nameLabel()->text(), "Google Chrome");
    const BrowerObjPtr chrome = s.node("Google Chrome");
    s.click(s.page->rightTableView(), int(chrome->chrArr.indexOf(s.node("Google Chrome", "Save Password"))));
    EXPECT_EQ(chrome->isSelect, 2);
    // Below the last row nothing changes.
    s.click(s.page->rightTableView(), 99);
    EXPECT_EQ(chrome->isSelect, 2);

    const QString operaBefore = dump(s.h.operaDir() + "/History");
    s.clean();
    EXPECT_TRUE(s.asked.isEmpty());
    EXPECT_FALSE(s.page->cleanEndView()->isHidden());
    EXPECT_FALSE(s.page->cleanButton()->buttonEnabled());
    EXPECT_EQ(s.node("Google Chrome", "Browsing History")->size, "0 Item");
    EXPECT_EQ(s.node("Google Chrome", "Save Password")->size, "1 Items");
    EXPECT_EQ(s.node("Firefox ESR", "Browsing History")->size, "0 Item");
    EXPECT_EQ(s.node("Opera", "Browsing History")->size, "2 Items");
    EXPECT_EQ(dump(s.h.operaDir() + "/History"), operaBefore);
    EXPECT_EQ(scalar(s.h.chromeDir() + "/Default/Login Data", "SELECT count(*) FROM logins"), 1);
    EXPECT_EQ(s.page->cleanEndNote()->text(), "The selected browser data has been removed.");
    for (const BrowerObjPtr& b : s.page->browserArr())
        EXPECT_EQ(b->isSelect, 0);

    s.page->cleanEndBackHomeButtonAction();
    QTest::qWait(700);
    EXPECT_TRUE(s.onTop(s.child<QWidget>("scanButton")));
}

TEST(InternetScreen, NoBrowserMeansEmptyListsAndNoClean)
{
    Screen s({"Text Editor"});
    s.scan();
    EXPECT_TRUE(s.page->browserArr().isEmpty());
    EXPECT_EQ(s.page->leftTableView()->model()->rowCount(), 0);
    EXPECT_EQ(s.page->rightTableView()->model()->rowCount(), 0);
    EXPECT_TRUE(s.page->nameLabel()->text().isEmpty());
    EXPECT_FALSE(s.page->cleanButton()->buttonEnabled());
}

TEST(InternetScreen, ARunningBrowserIsClosedBeforeTheCleanOrTheCleanIsCancelled)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a browser as the test user";
    useUid(4253);
    Screen s({"Opera"});
    makeOpera(s.h, 3);
    chownHome(s.h);
    s.scan();

    TempTree bin;
    QProcess opera;
    ASSERT_TRUE(startAsBrowser(opera, bin, "opera"));

    s.answer = false;
    s.page->cleanButtonAction();
    EXPECT_EQ(s.asked, QStringList{"Opera"});
    EXPECT_EQ(opera.state(), QProcess::Running);
    EXPECT_EQ(scalar(s.h.operaDir() + "/History", "SELECT count(*) FROM urls"), 3);
    EXPECT_TRUE(s.page->cleanEndView()->isHidden());

    s.answer = true;
    s.clean();
    EXPECT_TRUE(opera.state() == QProcess::NotRunning || opera.waitForFinished(1000));
    EXPECT_EQ(scalar(s.h.operaDir() + "/History", "SELECT count(*) FROM urls"), 0);
    EXPECT_EQ(s.node("Opera", "Browsing History")->size, "0 Item");
}

TEST(InternetScreen, ACategoryThatFailedIsShownAsFailedAndNamedOnTheEndView)
{
    Screen s({"Google Chrome"});
    makeChrome(s.h, 2);
    chownHome(s.h);
    s.scan();
    sqlite3* holder = nullptr;
    sqlite3_open(QFile::encodeName(s.h.chromeDir() + "/Default/History").constData(), &holder);
    sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    s.clean();
    sqlite3_close(holder);
    EXPECT_EQ(s.node("Google Chrome", "Browsing History")->size, "Failed");
    EXPECT_EQ(s.node("Google Chrome", "Cookies")->size, "0 Item");
    EXPECT_TRUE(s.page->cleanEndNote()->text().contains("Google Chrome – Browsing History: the database is in use"))
        << s.page->cleanEndNote()->text().toStdString();
}

TEST(InternetScreen, TheCloseDialogTellsItsDelegateOnlyOnClose)
{
    struct Delegate : CloseBrowerVCDelegate
    {
        int calls = 0;
        void closeBrowerButtonAction() override { ++calls; }
    } delegate;
    CloseBrowerViewController dialog;
    dialog.setDelegate(&delegate);
    dialog.setBrowserNames({"Google Chrome", "Opera"});
    EXPECT_TRUE(dialog.noteLabel()->text().startsWith("Google Chrome, Opera must be closed"));
    EXPECT_TRUE(dialog.cancelButton()->buttonEnabled());
    EXPECT_TRUE(dialog.closeButton()->buttonEnabled());
    dialog.cancelButtonAction();
    EXPECT_EQ(delegate.calls, 0);
    dialog.closeButtonAction();
    EXPECT_EQ(delegate.calls, 1);
}

TEST(InternetScreen, AFlatpakBrowserBesideTheSystemsOwnIsNotListedAndItsProfileStaysAsItWas)
{
    Screen s({"Firefox ESR"});
    s.apps.file("applications/org.mozilla.firefox.desktop",
                "[Desktop Entry]\nType=Application\nName=Firefox\nX-Flatpak=org.mozilla.firefox\n"
                "Exec=/usr/bin/flatpak run --branch=stable --command=firefox org.mozilla.firefox @@u %u @@\n");
    s.apps.file("applications/safari.desktop",
                "[Desktop Entry]\nType=Application\nName=Safari\nExec=env WINEPREFIX=/w wine Safari.exe\n");
    makeFirefox(s.h, 3, s.firefoxInstall);
    // The Flatpak's own profile, laid out as the native one.
    Home flat;
    makeFirefox(flat, 4);
    const QString flatRoot = s.h.home + "/.var/app/org.mozilla.firefox/.mozilla";
    QDir().mkpath(QFileInfo(flatRoot).path());
    ASSERT_TRUE(QDir().rename(flat.home + "/.mozilla", flatRoot));
    chownHome(s.h);
    const QString flatPlaces = flatRoot + "/firefox/k3x9.default-release/places.sqlite";
    const QByteArray flatBefore = TempTree::read(flatPlaces) + TempTree::read(flatPlaces + "-wal");

    s.scan();
    ASSERT_EQ(s.page->browserArr().size(), 1);
    EXPECT_EQ(s.page->browserArr()[0]->name, "Firefox ESR");
    s.clean();
    EXPECT_EQ(scalar(s.h.firefoxProfile() + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 0);
    EXPECT_EQ(TempTree::read(flatPlaces) + TempTree::read(flatPlaces + "-wal"), flatBefore);
    EXPECT_TRUE(QFileInfo::exists(flatRoot + "/firefox/k3x9.default-release/cookies.sqlite"));
}

TEST(InternetScreen, ACategoryWithNoCleanIsNeverCalledCleaned)
{
    TempTree t;
    QString list = QString::fromUtf8(TempTree::read(QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist")));
    list.replace("<key>Session</key>", "<key>Form Values</key><string>%@/.mozilla/firefox/</string><key>Session</key>");
    Screen s({"Firefox ESR"}, t.file("EraserHistory.plist", list.toUtf8()));
    makeFirefox(s.h, 2, s.firefoxInstall);
    chownHome(s.h);
    s.scan();
    const BrowerObjPtr form = s.node("Firefox ESR", "Form Values");
    EXPECT_EQ(form->size, "");
    s.clean();
    EXPECT_EQ(form->outcome, BrowerObj::Outcome::Untouched);
    EXPECT_EQ(form->size, "");
    EXPECT_EQ(s.node("Firefox ESR", "Cookies")->outcome, BrowerObj::Outcome::Cleaned);
    EXPECT_NE(s.child<QLabel>("cleanEndTitle")->text(), "Cleaning complete");
    EXPECT_TRUE(s.page->cleanEndNote()->text().contains("Form Values")) << s.page->cleanEndNote()->text().toStdString();
}

TEST(InternetScreen, ABrowserWithNoProfileOrNothingToCleanIsNeverCalledComplete)
{
    Screen s({"Firefox ESR", "Opera"});
    makeFirefox(s.h, 3, s.firefoxInstall);
    // Firefox's own profile is gone; the older build's one beside it is not
    // Firefox's to use and stays as it is.
    QDir(s.h.firefoxProfile()).removeRecursively();
    QDir(s.h.firefoxCache()).removeRecursively();
    chownHome(s.h);
    const QString old = s.h.firefoxRoot() + "/old1.default/places.sqlite";
    const QByteArray oldBefore = TempTree::read(old);
    s.scan();
    ASSERT_EQ(s.page->browserArr().size(), 2);
    EXPECT_EQ(s.node("Firefox ESR", "Browsing History")->size, "No profile");
    // The browser's own row says so, before any clean.
    EXPECT_TRUE(BrowserListModel::noProfile(*s.node("Firefox ESR")));
    const int row = int(s.page->browserArr().indexOf(s.node("Firefox ESR")));
    EXPECT_TRUE(s.page->leftTableView()->model()->data(s.page->leftTableView()->model()->index(row, 1), Qt::ToolTipRole)
                    .toString()
                    .contains("no profile"));
    s.clean();
    EXPECT_EQ(TempTree::read(old), oldBefore);
    EXPECT_EQ(s.node("Firefox ESR", "Cookies")->outcome, BrowerObj::Outcome::NoProfile);
    EXPECT_EQ(s.node("Opera", "Cookies")->outcome, BrowerObj::Outcome::NothingFound);
    const QString title = s.child<QLabel>("cleanEndTitle")->text();
    const QString note = s.page->cleanEndNote()->text();
    EXPECT_EQ(title, "Nothing was found to clean");
    EXPECT_TRUE(note.contains("Firefox ESR: no profile")) << note.toStdString();
    EXPECT_TRUE(note.contains("Opera – Cookies: nothing found to clean")) << note.toStdString();
    EXPECT_FALSE(note.contains("removed")) << note.toStdString();

    // With something cleaned beside what was not found: still not complete.
    Screen mixed({"Firefox ESR", "Opera"});
    makeFirefox(mixed.h, 2, mixed.firefoxInstall);
    chownHome(mixed.h);
    mixed.scan();
    mixed.clean();
    EXPECT_EQ(mixed.child<QLabel>("cleanEndTitle")->text(), "Some data was not found");
    EXPECT_FALSE(mixed.page->cleanEndNote()->text().contains("Firefox ESR")) << mixed.page->cleanEndNote()->text().toStdString();
}

TEST(InternetScreen, EveryWayBackLeavesTheScanButtonOnTopAndWorking)
{
    Screen s({"Opera"});
    makeOpera(s.h, 2);
    chownHome(s.h);
    auto* scanButton = s.child<QWidget>("scanButton");
    ASSERT_TRUE(scanButton);
    EXPECT_TRUE(s.onTop(scanButton));

    auto scanByClick = [&] {
        QSignalSpy done(s.page.get(), &InternetViewController::scanFinished);
        QTest::mouseClick(s.page->childAt(scanButton->mapTo(s.page.get(), scanButton->rect().center())),
                          Qt::LeftButton);
        return done.wait(10000);
    };
    // From the detail view.
    ASSERT_TRUE(scanByClick());
    QTest::qWait(700);
    EXPECT_FALSE(s.onTop(scanButton));
    QTest::mouseClick(s.child<QWidget>("backHomeButton"), Qt::LeftButton);
    QTest::qWait(700);
    EXPECT_TRUE(s.onTop(scanButton));

    // From the end view, by its OK and by its back arrow.
    for (const char* way : {"cleanEndOkBut", "cleanEndBack"}) {
        ASSERT_TRUE(scanByClick()) << way;
        QTest::qWait(700);
        s.clean();
        QTest::qWait(700);
        QTest::mouseClick(s.child<QWidget>(way), Qt::LeftButton);
        QTest::qWait(700);
        EXPECT_TRUE(s.onTop(scanButton)) << way;
        EXPECT_TRUE(s.page->cleanEndView()->isHidden()) << way;
    }
    ASSERT_TRUE(scanByClick());
    EXPECT_EQ(s.page->browserArr().size(), 1);
}

TEST(InternetScreen, TheListsAreReachedAndTickedByKeysAlone)
{
    Screen s({"Google Chrome", "Opera"});
    makeChrome(s.h, 3);
    makeOpera(s.h, 3);
    chownHome(s.h);
    s.scan();
    BroTableView* browsers = s.page->leftTableView();
    BroTableView* categories = s.page->rightTableView();
    s.page->activateWindow();
    browsers->setFocus();
    ASSERT_EQ(browsers->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    EXPECT_EQ(browsers->focusRow(), 0);

    // Down moves to the next browser and shows its categories.
    QTest::keyClick(browsers, Qt::Key_Down);
    EXPECT_EQ(s.page->broSelectIndex(), 1);
    EXPECT_EQ(browsers->rowNum(), 1);
    EXPECT_EQ(s.page->nameLabel()->text(), "Opera");
    QTest::keyClick(browsers, Qt::Key_Down);  // stays on the last
    EXPECT_EQ(s.page->broSelectIndex(), 1);
    // Space ticks as a click in the check would: all its categories follow.
    QTest::keyClick(browsers, Qt::Key_Space);
    EXPECT_EQ(s.node("Opera")->isSelect, 0);
    EXPECT_EQ(s.node("Opera", "Cookies")->isSelect, 0);
    EXPECT_EQ(s.node("Google Chrome")->isSelect, 1);
    QTest::keyClick(browsers, Qt::Key_Up);
    EXPECT_EQ(s.page->nameLabel()->text(), "Google Chrome");
    QTest::keyClick(browsers, Qt::Key_Space);
    EXPECT_FALSE(s.page->cleanButton()->buttonEnabled());
    QTest::keyClick(browsers, Qt::Key_Space);
    EXPECT_TRUE(s.page->cleanButton()->buttonEnabled());

    // The categories of the shown browser: no row highlighted until Down.
    categories->setFocus();
    EXPECT_EQ(categories->rowNum(), -1);
    QTest::keyClick(categories, Qt::Key_Down);
    EXPECT_EQ(categories->rowNum(), 0);
    QTest::keyClick(categories, Qt::Key_Down);
    EXPECT_EQ(categories->rowNum(), 1);
    const BrowerObjPtr second = s.node("Google Chrome")->chrArr[1];
    QTest::keyClick(categories, Qt::Key_Space);
    EXPECT_EQ(second->isSelect, 0);
    EXPECT_EQ(s.node("Google Chrome")->isSelect, 2);
    // Return on a row does what a click on it does.
    QTest::keyClick(categories, Qt::Key_Up);
    QTest::keyClick(categories, Qt::Key_Return);
    EXPECT_EQ(categories->rowNum(), 0);
    EXPECT_EQ(second->isSelect, 0);
    // Return on a browser row shows that browser.
    browsers->setFocus();
    QTest::keyClick(browsers, Qt::Key_Down);
    QTest::keyClick(browsers, Qt::Key_Up);
    QTest::keyClick(browsers, Qt::Key_Return);
    EXPECT_EQ(s.page->broSelectIndex(), 0);
    EXPECT_EQ(s.page->nameLabel()->text(), "Google Chrome");
}

TEST(InternetScreen, BrowserAndProfileNamesAreShownAsPlainText)
{
    Screen s({});
    s.apps.file("applications/opera.desktop",
                "[Desktop Entry]\nType=Application\nName=<b>Opera</b> &amp; more\nExec=opera %U\n");
    makeOpera(s.h, 1);
    chownHome(s.h);
    s.scan();
    ASSERT_EQ(s.page->browserArr().size(), 1);
    EXPECT_EQ(s.page->nameLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(s.page->nameLabel()->text(), "<b>Opera</b> &amp; more");
    EXPECT_EQ(s.page->cleanEndNote()->textFormat(), Qt::PlainText);
    CloseBrowerViewController dialog;
    dialog.setBrowserNames({"<i>Firefox ESR</i>"});
    EXPECT_EQ(dialog.noteLabel()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(dialog.noteLabel()->text().contains("<i>Firefox ESR</i>"));
}

TEST(InternetScreen, TheDialogAtScanNamesTheRowsOwnBrowser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a browser as the test user";
    useUid(4254);
    Screen s({});
    TempTree bin;
    QProcess firefox;
    ASSERT_TRUE(startAsBrowser(firefox, bin, "firefox-esr"));
    bin.file("application.ini", "[App]\n");
    s.apps.file("applications/firefox-esr.desktop",
                QStringLiteral("[Desktop Entry]\nType=Application\nName=Firefox ESR\nExec=%1 %u\n")
                    .arg(bin / "firefox-esr")
                    .toUtf8());
    makeFirefox(s.h, 2, QFileInfo(bin.path()).canonicalFilePath());
    chownHome(s.h);
    s.answer = false;
    s.page->checkOpenBrower();
    EXPECT_EQ(s.asked, QStringList{"Firefox ESR"});
    EXPECT_EQ(firefox.state(), QProcess::Running);
    firefox.kill();
    firefox.waitForFinished(5000);
}
