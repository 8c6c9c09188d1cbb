#include "Main/Tools/ListIcons.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>

namespace {

// Themes installed with the system, in the order they are tried.
constexpr const char* kStandIns[] = {"Adwaita", "hicolor"};

bool themeInstalled(const QString& name)
{
    for (const QString& root : QIcon::themeSearchPaths())
        if (QFileInfo::exists(root + QLatin1Char('/') + name + QStringLiteral("/index.theme")))
            return true;
    return false;
}

void chooseTheme()
{
    static bool chosen = false;
    if (chosen)
        return;
    chosen = true;
    // Some platforms (the offscreen one among them) look only in the
    // program's own resources: add the system's icon folders.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = data + QStringLiteral("/icons");
        if (!paths.contains(icons) && QFileInfo(icons).isDir())
            paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);
    // A desktop theme that really has a folder icon is kept as it is.
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != QLatin1String("hicolor")
        && QIcon::hasThemeIcon(QStringLiteral("folder")))
        return;
    for (const char* name : kStandIns) {
        if (themeInstalled(QLatin1String(name))) {
            QIcon::setThemeName(QLatin1String(name));
            break;
        }
    }
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

QIcon themed(const QStringList& names)
{
    static QHash<QString, QIcon> cache;
    const QString key = names.join(QLatin1Char('|'));
    const auto hit = cache.constFind(key);
    if (hit != cache.cend())
        return *hit;
    QIcon icon;
    for (const QString& name : names) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    cache.insert(key, icon);
    return icon;
}

}  // namespace

namespace ListIcons {

QIcon iconFor(const QString& path, bool isDir)
{
    chooseTheme();
    QIcon icon;
    if (isDir) {
        icon = themed({QStringLiteral("folder")});
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        return icon;
    }
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(QFileInfo(path).fileName(), QMimeDatabase::MatchExtension);
    icon = themed({type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")});
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

QString themeName()
{
    chooseTheme();
    return QIcon::themeName();
}

}  // namespace ListIcons
