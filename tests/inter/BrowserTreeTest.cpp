#include "BrowserFixtures.h"

#include "inter/BrowserTree.h"
#include "inter/FirefoxProfile.h"
#include "inter/RunningBrowsers.h"

#include <QDir>
#include <QFile>

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

InstalledApp app(QString name, QString program, QString exec = {}, QString flatpak = {}, QString file = {})
{
    return InstalledApp{name, {}, program, file, exec.isEmpty() ? program : exec, flatpak};
}

}  // namespace

TEST(BrowserTree, OnlyTheSystemsOwnBrowsersAreListedEachForAProfileOfItsOwn)
{
    Home h;
    chownHome(h);
    BrowserData data(h.user());
    const QList<InstalledApp> apps{
        // A Flatpak keeps its profile under ~/.var/app: never ours to clean.
        app("Firefox", "flatpak", "/usr/bin/flatpak run --command=firefox org.mozilla.firefox @@u %u @@",
            "org.mozilla.firefox", "/var/lib/flatpak/exports/share/applications/org.mozilla.firefox.desktop"),
        app("Firefox", "firefox", "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/firefox_firefox.desktop "
                                  "/snap/bin/firefox %u"),
        app("Firefox ESR", "firefox-esr", "/usr/lib/firefox-esr/firefox-esr %u"),
        // The same profile from a second entry is not listed twice.
        app("Firefox", "firefox", "/usr/bin/firefox %u"),
        app("Firefox ESR", "firefox-esr", "/usr/local/bin/firefox-esr"),
        app("Google Chrome Beta", "google-chrome-beta"),
        app("Google Chrome", "google-chrome-stable", "/usr/bin/google-chrome-stable %U"),
        // Wine launchers: no Safari on Linux, and not the Opera they name.
        app("Safari", "wine", "env WINEPREFIX=/home/u/.wine wine C:\\\\Safari\\\\Safari.exe"),
        app("Safari and Opera", "opera"),
        app("GNU Image Manipulation Program", "gimp"),
        app("opera", "opera"),
        app("Opera", "opera", "/usr/bin/opera %U"),
    };
    const BrowerObjList tree = BrowserTree::build(apps, BrowserTree::loadEraserHistory(kPlist), data);
    ASSERT_EQ(names(tree), (QStringList{"Firefox ESR", "Google Chrome", "Opera"}));
    QStringList paths;
    for (const BrowerObjPtr& b : tree) {
        EXPECT_EQ(b->isSelect, 1);
        EXPECT_EQ(b->chrArr.size(), 6);
        for (const BrowerObjPtr& c : b->chrArr) {
            EXPECT_EQ(c->parObj, b.get());
            EXPECT_EQ(c->isSelect, 1);
            // Firefox's categories share its profile folder; no two browsers do.
            const QString path = data.pathOf(*c);
            for (const BrowerObjPtr& other : tree) {
                if (other == b)
                    continue;
                for (const BrowerObjPtr& oc : other->chrArr) {
                    EXPECT_FALSE(data.pathOf(*oc).startsWith(path) || path.startsWith(data.pathOf(*oc)))
                        << path.toStdString();
                }
            }
        }
    }
    EXPECT_TRUE(BrowserTree::anyBrowserTicked(tree));
}

TEST(BrowserTree, AMissingListGivesBrowsersWithoutCategories)
{
    Home h;
    BrowserData data(h.user());
    const BrowerObjList tree =
        BrowserTree::build({app("Opera", "opera")}, BrowserTree::loadEraserHistory(h.tree / "none.plist"), data);
    ASSERT_EQ(tree.size(), 1);
    EXPECT_TRUE(tree[0]->chrArr.isEmpty());
    EXPECT_TRUE(BrowserTree::build({}, BrowserTree::loadEraserHistory(kPlist), data).isEmpty());
}

TEST(BrowserTree, TicksPropagateBetweenABrowserAndItsCategories)
{
    Home h;
    BrowserData data(h.user());
    BrowerObjList tree = BrowserTree::build({app("Opera", "opera"), app("Google Chrome", "google-chrome")},
                                            BrowserTree::loadEraserHistory(kPlist), data);
    BrowerObj& opera = *tree[0];
    const qsizetype n = opera.chrArr.size();
    ASSERT_GT(n, 2);
    BrowserTree::selectBrower(*tree[1]);

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
    EXPECT_FALSE(BrowserTree::anyBrowserTicked(tree));
    BrowserTree::selectBrower(*tree[1]->chrArr[2]);
    EXPECT_EQ(tree[1]->isSelect, 2);
    EXPECT_TRUE(BrowserTree::anyBrowserTicked(tree));
}

TEST(BrowserTree, EveryShippedCategoryHasItsIconAndAnUnknownOneNone)
{
    // The list's names and the icon table must agree letter for letter.
    Home h;
    TempTree t;
    QString list = QString::fromUtf8(TempTree::read(kPlist));
    list.replace("<key>Session</key>", "<key>Session</key><string>%@/s</string><key>Sessions</key>");
    const QString plist = t.file("EraserHistory.plist", list.toUtf8());
    const QString firefox = t.file("firefox/firefox-esr");
    t.file("firefox/application.ini");
    BrowserData data(h.user());
    const BrowerObjList tree =
        BrowserTree::build({app("Google Chrome", "google-chrome"), app("Firefox", "firefox-esr", firefox),
                            app("Opera", "opera")},
                           BrowserTree::loadEraserHistory(plist), data);
    ASSERT_EQ(tree.size(), 3);
    BrowserTree::attachIcons(tree);
    int unknown = 0;
    for (const BrowerObjPtr& b : tree) {
        EXPECT_FALSE(b->iconImage.isNull()) << b->name.toStdString();
        for (const BrowerObjPtr& c : b->chrArr) {
            if (c->name == "Sessions") {
                ++unknown;
                EXPECT_TRUE(c->iconImage.isNull());
            } else {
                EXPECT_FALSE(c->iconImage.isNull()) << c->name.toStdString();
            }
        }
    }
    EXPECT_EQ(unknown, 3);
}

TEST(FirefoxProfile, TheDefaultComesFromProfilesIniAndFromNothingElse)
{
    TempTree t;
    const QString root = t.folder("ff");
    t.folder("ff/a.default");
    t.folder("ff/b.default-esr");
    t.folder("ff/c.default.bak");
    // No profiles.ini: folders merely named like profiles are not taken.
    EXPECT_EQ(firefoxDefaultProfile(root, kFirefoxInstall), "");
    // A profiles.ini older than the [Install...] sections.
    t.file("ff/profiles.ini", "[Profile0]\nName=a\nIsRelative=1\nPath=a.default\nDefault=1\n"
                              "[Profile1]\nName=b\nIsRelative=1\nPath=b.default-esr\n");
    EXPECT_EQ(firefoxDefaultProfile(root, kFirefoxInstall), root + "/a.default");
    // An absolute path elsewhere.
    const QString away = t.folder("away/x.default-release");
    t.file("ff/profiles.ini", QStringLiteral("[Profile0]\nName=x\nIsRelative=0\nPath=%1\nDefault=1\n").arg(away).toUtf8());
    EXPECT_EQ(firefoxDefaultProfile(root, kFirefoxInstall), away);
    // The installation's own section wins over the Default=1 profile.
    t.file("ff/profiles.ini", "[Install11]\nDefault=gone.default-release\n[Install3B6073811A6ABF12]\nDefault=b.default-esr\n"
                              "[Profile0]\nPath=a.default\nDefault=1\n");
    EXPECT_EQ(firefoxDefaultProfile(root, kFirefoxInstall), root + "/b.default-esr");
    // What the installed build names is missing: the Default=1 profile of
    // older builds beside it is not the one it uses.
    t.file("ff/profiles.ini", "[Profile1]\nName=default\nIsRelative=1\nPath=a.default\nDefault=1\n"
                              "[Install3B6073811A6ABF12]\nDefault=gone.default-esr\nLocked=1\n");
    EXPECT_EQ(firefoxDefaultProfile(root, kFirefoxInstall), "");
    EXPECT_EQ(firefoxCacheProfile(root, root + "/b.default-esr", "/c/"), "/c/b.default-esr");
    EXPECT_EQ(firefoxCacheProfile(root, away, "/c"), "/c/x.default-release");
    EXPECT_EQ(firefoxDefaultProfile(t / "nothing", kFirefoxInstall), "");

    // The old root where it is still there, else the one under .config.
    const QString config = t.folder("config/mozilla/firefox");
    EXPECT_EQ(firefoxProfileRoot(root, config), root);
    EXPECT_EQ(firefoxProfileRoot(t / "home/.mozilla/firefox", config), config);
}

TEST(FirefoxProfile, NoProfileIsSaidOnTheRowsAndNothingIsTouched)
{
    Home h;
    makeFirefox(h, 3);
    QFile ini(h.firefoxRoot() + "/profiles.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Profile1]\nName=default\nIsRelative=1\nPath=old1.default\nDefault=1\n"
              "[Install3B6073811A6ABF12]\nDefault=gone.default-esr\nLocked=1\n");
    ini.close();
    chownHome(h);
    const QString old = h.firefoxRoot() + "/old1.default/places.sqlite";
    const QByteArray oldBefore = TempTree::read(old);
    BrowserData data(h.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    for (const BrowerObjPtr& c : firefox->chrArr) {
        EXPECT_EQ(c->size, BrowserData::kNoProfileText) << c->name.toStdString();
        EXPECT_EQ(c->outcome, BrowerObj::Outcome::NoProfile);
        EXPECT_TRUE(c->failReason.contains("~/.mozilla/firefox/profiles.ini")) << c->failReason.toStdString();
    }
    for (const BrowerObjPtr& c : firefox->chrArr)
        data.clean(*c);
    EXPECT_EQ(TempTree::read(old), oldBefore);
    EXPECT_EQ(scalar(h.firefoxProfile() + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 5);
    EXPECT_TRUE(QFileInfo::exists(h.firefoxCache() + "/cache2"));
    for (const BrowerObjPtr& c : firefox->chrArr) {
        EXPECT_EQ(c->outcome, BrowerObj::Outcome::NoProfile) << c->name.toStdString();
        EXPECT_EQ(c->size, BrowserData::kNoProfileText);
    }
}

TEST(BrowserTree, TheRowIsNamedAfterTheEntryThatStartsTheBrowserPlainly)
{
    Home h;
    BrowserData data(h.user());
    const QList<InstalledApp> apps{
        app("Firefox Private Window", "firefox-esr", "/usr/lib/firefox-esr/firefox-esr --private-window %u"),
        app("Google Chrome", "google-chrome-stable", "/usr/bin/google-chrome-stable %U"),
        app("Firefox ESR", "firefox-esr", "env MOZ_ENABLE_WAYLAND=1 /usr/lib/firefox-esr/firefox-esr %u"),
        app("Firefox ESR (new window)", "firefox-esr", "firefox-esr --new-window %u"),
    };
    const BrowerObjList tree = BrowserTree::build(apps, BrowserTree::loadEraserHistory(kPlist), data);
    // Where the browser's first entry was, under the plain entry's name.
    EXPECT_EQ(names(tree), (QStringList{"Firefox ESR", "Google Chrome"}));
    EXPECT_FALSE(BrowserTree::startsPlainly(apps[0]));
    EXPECT_TRUE(BrowserTree::startsPlainly(apps[2]));
    // With no plain entry, the first one still names the row.
    EXPECT_EQ(names(BrowserTree::build({apps[0]}, BrowserTree::loadEraserHistory(kPlist), data)),
              QStringList{"Firefox Private Window"});
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

TEST(FirefoxProfile, EachInstallationTakesTheProfileOfItsOwnSection)
{
    // The sections Firefox ESR wrote when started from these folders: the
    // one Debian's package writes, and one of each length class of the hash
    // (17-32, 33-64 and over 64 bytes, one and two rounds of 64).
    EXPECT_EQ(firefoxInstallHash("/usr/lib/firefox-esr"), "3B6073811A6ABF12");
    EXPECT_EQ(firefoxInstallHash("/tmp/ffhash/a"), "FE3155F90D662DDE");
    // Written without its leading zero.
    EXPECT_EQ(firefoxInstallHash("/tmp/ffhash/abcdefghijklmnopq"), "762F103E2CDFC84");
    EXPECT_EQ(firefoxInstallHash("/tmp/ffhash/abcdefghijklmnopqrstuvwxyz01234"), "ACAEA8FE786A52CD");
    EXPECT_EQ(firefoxInstallHash("/tmp/ffhash/the-second-installation-folder-of-a-rather-long-name/firefox"),
              "55755A50F0C712BB");
    EXPECT_EQ(firefoxInstallHash(""), "");

    // The program an entry starts, links followed, gives the folder.
    TempTree t;
    t.file("lib/ff-esr/firefox-esr", "#!/bin/sh\n");
    t.file("lib/ff-esr/application.ini", "[App]\n");
    t.file("launcher/firefox", "#!/bin/sh\nexec firefox-esr \"$@\"\n");
    t.folder("bin");
    ASSERT_TRUE(QFile::link(t / "lib/ff-esr/firefox-esr", t / "bin/firefox-esr"));
    const QString real = QFileInfo(t / "lib/ff-esr").canonicalFilePath();
    EXPECT_EQ(firefoxInstallDir(t / "bin/firefox-esr"), real);
    EXPECT_EQ(firefoxInstallDir(t / "bin/missing"), "");
    // A launcher script is no installation.
    EXPECT_EQ(firefoxInstallDir(t / "launcher/firefox"), "");

    // Firefox lists the sections in its own order: the other installation's
    // comes first and must not be taken.
    const QString root = t.folder("ff");
    t.folder("ff/theirs.default-release");
    t.folder("ff/ours.default-esr");
    t.folder("ff/old.default");
    t.file("ff/profiles.ini", QStringLiteral("[Profile0]\nPath=old.default\nDefault=1\n"
                                             "[Install%1]\nDefault=theirs.default-release\nLocked=1\n"
                                             "[Install%2]\nDefault=ours.default-esr\nLocked=1\n")
                                  .arg(firefoxInstallHash("/home/u/firefox"), firefoxInstallHash(real))
                                  .toUtf8());
    EXPECT_EQ(firefoxDefaultProfile(root, real), root + "/ours.default-esr");
    EXPECT_EQ(firefoxDefaultProfile(root, "/home/u/firefox"), root + "/theirs.default-release");
    // An installation with no section of its own has no profile: neither
    // another's nor the Default=1 one of older builds.
    EXPECT_EQ(firefoxDefaultProfile(root, "/opt/firefox"), "");
    EXPECT_EQ(firefoxDefaultProfile(root, ""), "");
}

TEST(BrowserTree, EachFirefoxInstallationIsARowOfItsOwn)
{
    TempTree t;
    for (const char* install : {"lib/firefox-esr", "home/firefox"}) {
        t.file(QString::fromLatin1(install) + "/firefox-esr", "#!/bin/sh\n");
        t.file(QString::fromLatin1(install) + "/application.ini", "[App]\n");
    }
    t.folder("bin");
    ASSERT_TRUE(QFile::link(t / "lib/firefox-esr/firefox-esr", t / "bin/firefox-esr"));
    const QString system = QFileInfo(t / "lib/firefox-esr").canonicalFilePath();
    const QString copy = QFileInfo(t / "home/firefox").canonicalFilePath();
    Home h;
    BrowserData data(h.user());
    const QList<InstalledApp> apps{
        app("Firefox ESR", "firefox-esr", t / "bin/firefox-esr %u"),
        app("Firefox (home)", "firefox-esr", "env MOZ_X=1 " + t / "home/firefox/firefox-esr %u"),
        // The same installation reached without the link: the same row.
        app("Firefox ESR Private", "firefox-esr", t / "lib/firefox-esr/firefox-esr --private-window %u"),
    };
    const BrowerObjList tree = BrowserTree::build(apps, BrowserTree::loadEraserHistory(kPlist), data);
    ASSERT_EQ(names(tree), (QStringList{"Firefox ESR", "Firefox (home)"}));
    EXPECT_EQ(tree[0]->installDir, system);
    EXPECT_EQ(tree[1]->installDir, copy);
    EXPECT_EQ(BrowserTree::programPathOf(apps[1]), t / "home/firefox/firefox-esr");
}
