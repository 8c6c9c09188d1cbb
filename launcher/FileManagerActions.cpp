#include "FileManagerActions.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace FileManagerActions {

namespace {

const QString kPlaceholder = QStringLiteral("@BRISKLAUNCH@");

bool existsAsEntry(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString shellWord(const QString& s)
{
    QString out = s;
    out.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

// A key-file string value: backslashes and line breaks are escaped.
QString keyFileString(const QString& s)
{
    QString out;
    for (const QChar c : s) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

// A desktop entry's Exec argument: double-quoted with ", `, $ and \ escaped,
// % doubled (field codes), then escaped once more as a string value.
QString desktopExecArgument(const QString& s)
{
    QString arg;
    for (const QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            arg += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            arg += QLatin1Char('%');
        arg += c;
    }
    return keyFileString(QLatin1Char('"') + arg + QLatin1Char('"'));
}

}  // namespace

const QList<Action>& actions()
{
    static const QList<Action> list{
        {QStringLiteral("erase-with-tarnwick-vantoly.servicemenu.desktop"),
         QStringLiteral(".local/share/kio/servicemenus/erase-with-tarnwick-vantoly.desktop"), Quoting::DesktopExec,
         true},  // Dolphin runs a user's service menu only when it is executable
        {QStringLiteral("erase-with-tarnwick-vantoly.nautilus-script"),
         QStringLiteral(".local/share/nautilus/scripts/Erase with Tarnwick Vantoly"), Quoting::ShellWord, true},
        {QStringLiteral("erase-with-tarnwick-vantoly.nemo_action"),
         QStringLiteral(".local/share/nemo/actions/erase-with-tarnwick-vantoly.nemo_action"),
         Quoting::ShellWordInKeyFile, false},
        {QStringLiteral("erase-with-tarnwick-vantoly.fm-action.desktop"),
         QStringLiteral(".local/share/file-manager/actions/erase-with-tarnwick-vantoly.desktop"),
         Quoting::ShellWordInKeyFile, false},
    };
    return list;
}

QString quoted(const QString& launcherPath, Quoting quoting)
{
    switch (quoting) {
    case Quoting::DesktopExec:
        return desktopExecArgument(launcherPath);
    case Quoting::ShellWord:
        return shellWord(launcherPath);
    case Quoting::ShellWordInKeyFile:
        return keyFileString(shellWord(launcherPath));
    }
    return QString();
}

namespace {

// What lies at an action's place: nothing, our action naming this launcher,
// our action naming another one (an install that moved or was replaced), or
// something that is not ours (the user's own, a link), which stays.
enum class Found { Nothing, Current, OursElsewhere, NotOurs };

Found judge(const QString& dest, const QString& templ, const QString& current)
{
    struct stat st{};
    if (::lstat(QFile::encodeName(dest).constData(), &st) != 0)
        return Found::Nothing;
    if (!S_ISREG(st.st_mode) || st.st_size > 64 * 1024)
        return Found::NotOurs;
    QFile f(dest);
    if (!f.open(QIODevice::ReadOnly))
        return Found::NotOurs;
    const QString text = QString::fromUtf8(f.readAll());
    if (text == current)
        return Found::Current;
    // Ours when it is the template with some launcher's path in its place.
    const qsizetype at = templ.indexOf(kPlaceholder);
    if (at < 0)
        return Found::NotOurs;
    const QString head = templ.left(at);
    const QString tail = templ.mid(at + kPlaceholder.size());
    if (templ.indexOf(kPlaceholder, at + 1) >= 0 || text.size() <= head.size() + tail.size() ||
        !text.startsWith(head) || !text.endsWith(tail))
        return Found::NotOurs;
    const QString path = text.mid(head.size(), text.size() - head.size() - tail.size());
    return path.contains(QLatin1Char('\n')) ? Found::NotOurs : Found::OursElsewhere;
}

}  // namespace

QStringList install(const QString& home, const QString& templatesDir, const QString& launcherPath)
{
    QStringList written;
    if (home.isEmpty() || home == QLatin1String("/") || !QFileInfo(home).isDir())
        return written;
    for (const Action& action : actions()) {
        const QString dest = home + QLatin1Char('/') + action.destination;
        QFile source(templatesDir + QLatin1Char('/') + action.templateName);
        if (!source.open(QIODevice::ReadOnly)) {
            platform::log(QStringLiteral("action template %1 missing").arg(source.fileName()));
            continue;
        }
        const QString templ = QString::fromUtf8(source.readAll());
        QString text = templ;
        text.replace(kPlaceholder, quoted(launcherPath, action.quoting));

        const Found found = judge(dest, templ, text);
        if (found == Found::Current || found == Found::NotOurs)
            continue;
        if (!QDir().mkpath(QFileInfo(dest).absolutePath()))
            continue;
        const QByteArray bytes = text.toUtf8();
        QFileDevice::Permissions perms =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        if (action.executable)
            perms |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        if (found == Found::OursElsewhere) {
            // Replaced whole, by a rename: a file manager never reads half of it.
            QSaveFile out(dest);
            out.setDirectWriteFallback(false);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
                continue;
            QFile::setPermissions(dest, perms);
            written << dest;
            continue;
        }
        QFile out(dest);
        // NewOnly: a file that appeared meanwhile is still never replaced.
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            continue;
        }
        const bool ok = out.write(bytes) == bytes.size() && out.flush();
        out.setPermissions(perms);
        out.close();
        if (!ok) {
            out.remove();  // a half-written action would never be repaired
            continue;
        }
        written << dest;
    }
    return written;
}

}  // namespace FileManagerActions
