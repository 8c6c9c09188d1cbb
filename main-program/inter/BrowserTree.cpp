#include "inter/BrowserTree.h"

#include "inter/BrowserData.h"
#include "inter/FirefoxProfile.h"
#include "platform/DesktopEntries.h"
#include "platform/ImageStore.h"
#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/PlistFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

namespace BrowserTree {

const QStringList& browserWords()
{
    static const QStringList words{QStringLiteral("Safari"), QStringLiteral("Google Chrome"), QStringLiteral("Firefox"),
                                   QStringLiteral("Opera")};
    return words;
}

QVariantMap loadEraserHistory(const QString& path)
{
    const QString file = path.isEmpty() ? platform::Layout::current().resource(QStringLiteral("EraserHistory.plist")) : path;
    QString error;
    const auto dict = platform::plist::readDictionary(file, &error);
    if (!dict) {
        platform::log(QStringLiteral("EraserHistory.plist: %1").arg(error));
        return {};
    }
    return *dict;
}

QString getIconWithKey(const QString& category)
{
    if (category == QLatin1String("Browsing History"))
        return QStringLiteral("icon_history");
    if (category == QLatin1String("Session"))
        return QStringLiteral("icon_autofill");
    if (category == QLatin1String("Caches"))
        return QStringLiteral("icon_caches");
    if (category == QLatin1String("Cookies"))
        return QStringLiteral("icon_cookies");
    if (category == QLatin1String("Download History") || category == QLatin1String("Downloads History"))
        return QStringLiteral("icon_download");
    if (category == QLatin1String("Save Password"))
        return QStringLiteral("icon_password");
    if (category == QLatin1String("Form Values"))
        return QStringLiteral("icon_tabform");
    return {};
}

void getSubArrWithKey(const QString& key, const BrowerObjPtr& browser, const QVariantMap& eraserHistory,
                      BrowserData& data)
{
    const QVariantMap categories = eraserHistory.value(key).toMap();
    for (auto it = categories.cbegin(); it != categories.cend(); ++it) {
        auto category = std::make_shared<BrowerObj>();
        category->parObj = browser.get();
        category->name = it.key();
        category->urlStr = it.value().toString();
        category->isSelect = 1;
        // Linked before measuring: the measure is chosen by the browser's name
        // and Firefox's cache finds its profile through the other categories.
        browser->chrArr.append(category);
    }
    for (const BrowerObjPtr& category : browser->chrArr)
        data.measure(*category);
}

QList<InstalledApp> installedApps(const QStringList& roots)
{
    QList<InstalledApp> apps;
    for (const platform::DesktopEntry& entry : platform::scanDesktopEntries(roots))
        apps.append({entry.name, entry.icon, entry.execProgram(), entry.file, entry.exec, entry.flatpakId});
    return apps;
}

namespace {

// The programs the system's own builds start; each keeps its profile where
// EraserHistory.plist says. Beta and developer builds keep theirs apart.
QStringList nativePrograms(const QString& word)
{
    if (word == QLatin1String("Google Chrome"))
        return {QStringLiteral("google-chrome"), QStringLiteral("google-chrome-stable"), QStringLiteral("chrome")};
    if (word == QLatin1String("Firefox"))
        return {QStringLiteral("firefox"), QStringLiteral("firefox-esr"), QStringLiteral("firefox-bin")};
    if (word == QLatin1String("Opera"))
        return {QStringLiteral("opera")};
    return {};
}

bool packedWithOwnProfile(const InstalledApp& app)
{
    if (!app.flatpakId.isEmpty() || app.program == QLatin1String("flatpak") || app.program == QLatin1String("snap"))
        return true;
    for (const QString& where : {app.entryFile, app.exec})
        if (where.contains(QLatin1String("/flatpak/")) || where.contains(QLatin1String("/snap/"))
            || where.contains(QLatin1String("/snapd/")))
            return true;
    return false;
}

}  // namespace

QString browserWordOf(const InstalledApp& app)
{
    if (app.name.contains(QLatin1String("Safari")) || packedWithOwnProfile(app))
        return {};
    for (const QString& word : browserWords()) {
        if (word == QLatin1String("Safari") || !app.name.contains(word, Qt::CaseSensitive))
            continue;
        return nativePrograms(word).contains(app.program) ? word : QString();
    }
    return {};
}

bool startsPlainly(const InstalledApp& app)
{
    bool atProgram = true;
    for (const QString& arg : QProcess::splitCommand(app.exec)) {
        if (atProgram) {
            // "env VAR=value program": the program comes after.
            atProgram = arg == QLatin1String("env") || (arg.contains('=') && !arg.startsWith('-'));
            continue;
        }
        if (!(arg.size() == 2 && arg.startsWith('%')))
            return false;
    }
    return true;
}

QString programPathOf(const InstalledApp& app)
{
    bool atProgram = true;
    for (const QString& arg : QProcess::splitCommand(app.exec)) {
        // "env VAR=value program": the program comes after.
        if (atProgram && (QFileInfo(arg).fileName() == QLatin1String("env") || (arg.contains('=') && !arg.startsWith('-'))))
            continue;
        return arg;
    }
    return app.program;
}

BrowerObjList browserRows(const QList<InstalledApp>& apps)
{
    BrowerObjList browsers;
    // The paths under a word are one profile, but for Firefox, whose profile
    // is chosen by its installation: one row per word (and installation),
    // where its first entry is, named after the entry that starts the
    // browser plainly (not one that opens a private window, say).
    QStringList keys;
    QHash<QString, qsizetype> chosen;
    QHash<QString, QString> installOf;
    for (qsizetype i = 0; i < apps.size(); ++i) {
        const QString word = browserWordOf(apps[i]);
        if (word.isEmpty())
            continue;
        QString key = word;
        if (word == QLatin1String("Firefox")) {
            // An entry whose program is not there starts no installation.
            const QString dir = firefoxInstallDir(programPathOf(apps[i]));
            if (dir.isEmpty()) {
                platform::log(QStringLiteral("%1: %2 is not installed").arg(apps[i].name, programPathOf(apps[i])));
                continue;
            }
            key += '\n' + dir;
            installOf.insert(key, dir);
        }
        if (!chosen.contains(key)) {
            keys << key;
            chosen.insert(key, i);
        } else if (!startsPlainly(apps[chosen.value(key)]) && startsPlainly(apps[i])) {
            chosen.insert(key, i);
        }
    }
    for (const QString& key : keys) {
        const InstalledApp& app = apps[chosen.value(key)];
        auto browser = std::make_shared<BrowerObj>();
        browser->name = app.name;
        browser->browserKey = key.section('\n', 0, 0);
        browser->execProgram = app.program;
        browser->installDir = installOf.value(key);
        browser->isSelect = 1;
        browser->iconName = app.icon;
        browsers.append(browser);
    }
    return browsers;
}

BrowerObjList build(const QList<InstalledApp>& apps, const QVariantMap& eraserHistory, BrowserData& data)
{
    BrowerObjList browsers = browserRows(apps);
    browsers.reserve(100);
    for (const BrowerObjPtr& browser : browsers)
        getSubArrWithKey(browser->browserKey, browser, eraserHistory, data);
    return browsers;
}

namespace {

// The lists draw icons smaller than they are made: a picture's own size is
// what places the title beside it rather than over it.
QIcon picture(const QString& name)
{
    const QPixmap p = platform::imageNamed(name, QSize(32, 32));
    return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace

void attachIcons(const BrowerObjList& browsers)
{
    for (const BrowerObjPtr& browser : browsers) {
        const QString& icon = browser->iconName;
        if (QFileInfo(icon).isAbsolute())
            browser->iconImage = QIcon(icon);
        else if (!icon.isEmpty())
            browser->iconImage = QIcon::fromTheme(icon);
        if (browser->iconImage.isNull())
            browser->iconImage = picture(QStringLiteral("ic_internet"));
        for (const BrowerObjPtr& category : browser->chrArr) {
            const QString name = getIconWithKey(category->name);
            category->iconImage = name.isEmpty() ? QIcon() : picture(name);
        }
    }
}

void selectBrower(BrowerObj& node)
{
    const int tick = node.isSelect == 1 ? 0 : 1;
    node.isSelect = tick;
    if (node.isBrowser()) {
        for (const BrowerObjPtr& category : node.chrArr)
            category->isSelect = tick;
        return;
    }
    BrowerObj* browser = node.parObj;
    qsizetype ticked = 0;
    for (const BrowerObjPtr& category : browser->chrArr)
        ticked += category->isSelect == 1 ? 1 : 0;
    browser->isSelect = ticked == browser->chrArr.size() ? 1 : ticked > 0 ? 2 : 0;
}

bool anyBrowserTicked(const BrowerObjList& browsers)
{
    for (const BrowerObjPtr& browser : browsers)
        if (browser->isSelect != 0)
            return true;
    return false;
}

}  // namespace BrowserTree
