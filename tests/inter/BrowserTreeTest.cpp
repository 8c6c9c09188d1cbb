#include "BrowserFixtures.h"

#include "inter/BrowserTree.h"
#include "inter/FirefoxProfile.h"
#include "inter/RunningBrowsers.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace fixture;

namespace {

const QString kPlist = QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist");

QStringList names(const BrowerObjList& list)
{
    QStringList out;
    for (const BrowerObjPtr& b : list)
        out << b->name;
    return out;
}

}  // namespace

TEST(BrowserTree, BrowsersAreFoundByTheirWordsInOrderAndTickedButSafari)
{
    Home h;
    BrowserData data(h.user());
    const QList<InstalledApp> apps{{"Firefox ESR", "firefox-esr", "/usr/bin/firefox-esr"},
                                   {"GNU Image Manipulation Program", "gimp", "gimp"},
                                   {"Google Chrome Beta", "google-chrome-beta", "/usr/bin/google-chrome-beta"},
                                   {"Safari and Opera", "", "x"},
                                   {"Firefox ESR", "firefox-esr", "/usr/local/bin/firefox-esr"},
                                   {"opera", "", "opera"}};
    const BrowerObjList tree = BrowserTree::build(apps, BrowserTree::loadEraserHistory(kPlist), data);
    // One node per word a name holds; nothing de-duplicated; case counts.
    EXPECT_EQ(names(tree), (QStringList{"Firefox ESR", "Google Chrome Beta", "Safari and Opera", "Safari and Opera",
                                        "Firefox ESR"}));
    EXPECT_EQ(tree[0]->chrArr.size(), 6);
    EXPECT_EQ(tree[0]->isSelect, 1);
    // Any name holding "Safari" is measured as Safari and left unticked.
    EXPECT_EQ(tree[2]->browserKey, "Safari");
    EXPECT_EQ(tree[2]->isSelect, 0);
    for (const BrowerObjPtr& c : tree[2]->chrArr) {
        EXPECT_EQ(c->isSelect, 0);
        EXPECT_EQ(c->size, "");
    }
    EXPECT_EQ(tree[3]->browserKey, "Opera");
    EXPECT_EQ(tree[3]->isSelect, 1);
    for (const BrowerObjPtr& c : tree[1]->chrArr) {
        EXPECT_EQ(c->parObj, tree[1].get());
        EXPECT_EQ(c->isSelect, 1);
    }
    EXPECT_TRUE(BrowserTree::anyBrowserTicked(tree));
}

TEST(BrowserTree, AMissingListGivesBrowsersWithoutCategories)
{
    Home h;
    BrowserData data(h.user());
    const BrowerObjList tree =
        BrowserTree::build({{"Opera", "", "opera"}}, BrowserTree::loadEraserHistory(h.tree / "none.plist"), data);
    ASSERT_EQ(tree.size(), 1);
    EXPECT_TRUE(tree[0]->chrArr.isEmpty());
    EXPECT_TRUE(BrowserTree::build({}, BrowserTree::loadEraserHistory(kPlist), data).isEmpty());
}

TEST(BrowserTree, TicksPropagateBetweenABrowserAndItsCategories)
{
    Home h;
    BrowserData data(h.user());
    BrowerObjList tree = BrowserTree::build({{"Opera", "", "opera"}, {"Safari", "", "safari"}},
                                            BrowserTree::loadEraserHistory(kPlist), data);
    BrowerObj& opera = *tree[0];
    const qsizetype n = opera.chrArr.size();
    ASSERT_GT(n, 2);

    BrowserTree::selectBrower(*opera.chrArr[0]);
    EXPECT_EQ(opera.isSelect, 2);
    // A partly ticked browser becomes wholly ticked on a click.
    BrowserTree::selectBrower(opera);
    EXPECT_EQ(opera.isSelect, 1);
    for (const BrowerObjPtr& c : opera.chrArr)
        EXPECT_EQ(c->isSelect, 1);
    BrowserTree::selectBrower(opera);
    for (const BrowerObjPtr& c : opera.chrArr)
        EXPECT_EQ(c->isSelect, 0);
    EXPECT_FALSE(BrowserTree::anyBrowserTicked(tree));

    BrowserTree::selectBrower(*opera.chrArr[1]);
    EXPECT_EQ(opera.isSelect, 2);
    BrowserTree::selectBrower(*opera.chrArr[1]);
    EXPECT_EQ(opera.isSelect, 0);
    // Only browser ticks enable Clean: Safari's own tick does.
    BrowserTree::selectBrower(*tree[1]);
    EXPECT_TRUE(BrowserTree::anyBrowserTicked(tree));
}

TEST(BrowserTree, CategoryIconsByExactName)
{
    EXPECT_EQ(BrowserTree::getIconWithKey("Downloads History"), "icon_download");
    EXPECT_EQ(BrowserTree::getIconWithKey("Download History"), "icon_download");
    EXPECT_EQ(BrowserTree::getIconWithKey("Session"), "icon_autofill");
    EXPECT_EQ(BrowserTree::getIconWithKey("caches"), "");
}

TEST(FirefoxProfile, TheDefaultComesFromProfilesIniThenFromTheFolderNames)
{
    TempTree t;
    const QString root = t.folder("ff");
    t.folder("ff/a.default");
    t.folder("ff/b.default-esr");
    t.folder("ff/c.default.bak");
    // No profiles.ini: the last folder named like a profile.
    EXPECT_EQ(firefoxDefaultProfile(root), root + "/b.default-esr");
    t.file("ff/profiles.ini", "[Profile0]\nName=a\nIsRelative=1\nPath=a.default\nDefault=1\n"
                              "[Profile1]\nName=b\nIsRelative=1\nPath=b.default-esr\n");
    EXPECT_EQ(firefoxDefaultProfile(root), root + "/a.default");
    // An absolute path elsewhere.
    const QString away = t.folder("away/x.default-release");
    t.file("ff/profiles.ini", QStringLiteral("[Profile0]\nName=x\nIsRelative=0\nPath=%1\nDefault=1\n").arg(away).toUtf8());
    EXPECT_EQ(firefoxDefaultProfile(root), away);
    // The installed build's choice wins; a profile that is not there does not.
    t.file("ff/profiles.ini", "[Install11]\nDefault=gone.default-release\n[Install22]\nDefault=b.default-esr\n"
                              "[Profile0]\nPath=a.default\nDefault=1\n");
    EXPECT_EQ(firefoxDefaultProfile(root), root + "/b.default-esr");
    EXPECT_EQ(firefoxCacheProfile(root, root + "/b.default-esr", "/c/"), "/c/b.default-esr");
    EXPECT_EQ(firefoxCacheProfile(root, away, "/c"), "/c/x.default-release");
    EXPECT_EQ(firefoxDefaultProfile(t / "nothing"), "");
}

TEST(FirefoxProfile, NoProfileMeansZeroRowsAndNothingTouched)
{
    Home h;
    QDir().mkpath(h.firefoxRoot() + "/notaprofile");
    chownHome(h);
    BrowserData data(h.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    EXPECT_EQ(categoryOf(firefox, "Browsing History")->size, "0 Item");
    EXPECT_EQ(categoryOf(firefox, "Caches")->size, "0 byte");
    for (const BrowerObjPtr& c : firefox->chrArr)
        data.clean(*c);
    EXPECT_TRUE(QFileInfo::exists(h.firefoxRoot() + "/notaprofile"));
    EXPECT_EQ(categoryOf(firefox, "Cookies")->outcome, BrowerObj::Outcome::Cleaned);
}

TEST(BrowserTree, BrowsersAreTheDesktopEntriesOfTheUsersRoots)
{
    TempTree t;
    t.file("user/apps/firefox-esr.desktop",
           "[Desktop Entry]\nType=Application\nName=Firefox ESR\nIcon=firefox-esr\nExec=/usr/lib/firefox-esr/firefox-esr %u\n");
    t.file("system/apps/firefox-esr.desktop",
           "[Desktop Entry]\nType=Application\nName=Firefox ESR\nExec=/usr/bin/firefox-esr %u\n");
    t.file("system/apps/google-chrome.desktop",
           "[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=/usr/bin/google-chrome-stable %U\n");
    t.file("system/apps/opera-helper.desktop", "[Desktop Entry]\nType=Application\nName=Opera\nNoDisplay=true\nExec=opera\n");
    Home h;
    BrowserData data(h.user());
    const BrowerObjList tree = BrowserTree::build(BrowserTree::installedApps({t / "user/apps", t / "system/apps"}),
                                                  BrowserTree::loadEraserHistory(kPlist), data);
    // One application per desktop ID, the user's own entry winning.
    ASSERT_EQ(names(tree), (QStringList{"Firefox ESR", "Google Chrome"}));
    EXPECT_EQ(QFileInfo(tree[0]->execProgram).fileName(), "firefox-esr");
    EXPECT_TRUE(RunningBrowsers::processNamesFor(*tree[0]).contains("firefox-esr"));
    EXPECT_TRUE(RunningBrowsers::processNamesFor(*tree[1]).contains("chrome"));
}
