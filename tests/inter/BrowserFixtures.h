#pragma once
#include "TempTree.h"

#include "inter/BrowerObj.h"
#include "inter/BrowserData.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Browser profiles laid out as the browsers lay them out, filled with rows
// that carry a marker text, in a home folder owned by a test user.
namespace fixture {

// The user the fixtures belong to: a uid no one else uses when the tests run
// as root, ourselves otherwise.
uid_t testUid();
// Tests that run processes as the test user take a uid of their own, so
// test processes running side by side never see each other's.
void useUid(uid_t uid);
gid_t testGid();
// Another user, for files and processes that must stay untouched.
uid_t otherUid();

void exec(const QString& db, const QString& sql);
qint64 scalar(const QString& db, const QString& sql);
QString text(const QString& db, const QString& sql);
// Every row of every table, in a stable order: the "unchanged" check for a
// database whose file the clean may have rewritten.
QString dump(const QString& db);

// Marker texts: one per kind of row, e.g. "TVMARK-chrome-url".
QByteArray marker(const QString& what);

struct Home
{
    Home() : home(tree.folder(QStringLiteral("home"))) {}
    TempTree tree;
    QString home;  // tree/home
    BrowserUser user() const;

    QString chromeDir() const { return home + "/.config/google-chrome"; }
    QString operaDir() const { return home + "/.config/opera"; }
    QString firefoxRoot() const { return home + "/.mozilla/firefox"; }
    QString firefoxProfile() const { return firefoxRoot() + "/k3x9.default-release"; }
    QString firefoxCache() const { return home + "/.cache/mozilla/firefox/k3x9.default-release"; }
    // Where a new user's Firefox keeps its profiles.
    QString firefoxConfigRoot() const { return home + "/.config/mozilla/firefox"; }
};

// The installation folder the fixtures' Firefox nodes stand for.
inline const QString kFirefoxInstall = QStringLiteral("/usr/lib/firefox-esr");

// Chrome with "Default" and "Profile 1", each with `rows` history rows.
void makeChromium(const QString& profile, int rows, const QString& tag);
void makeChrome(Home& h, int rows = 3);
void makeOpera(Home& h, int rows = 3);
// Firefox with profiles.ini naming k3x9.default-release, a decoy profile
// "old1.default", a WAL-mode places.sqlite holding bookmarks and keywords,
// and a favicons.sqlite with the icons of the visited pages.
// Its [Install...] section is that of the installation folder `install`.
void makeFirefox(Home& h, int rows = 3, const QString& install = kFirefoxInstall);
// Hands the whole home to the test user.
void chownHome(const Home& h);

// A browser node with its categories, as the scan builds them.
BrowerObjPtr browser(const QString& name, const QString& key, BrowserData& data);
BrowerObjPtr categoryOf(const BrowerObjPtr& browser, const QString& name);

// A process named `program` (a copy of sleep, for 30 s) run as the test
// user from `bin`, as a browser of that name would run.
bool startAsBrowser(QProcess& process, const TempTree& bin, const QString& program);

// Whether `marker` can be read in `path` or its -wal, -shm and -journal files.
bool readableAnywhere(const QString& path, const QByteArray& marker);

}  // namespace fixture
