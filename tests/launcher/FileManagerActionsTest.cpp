#include "FileManagerActions.h"

#include "FakeTool.h"
#include "TempTree.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

const QString kTemplates = QStringLiteral(TV_SOURCE_DIR "/resources/share");

QString lineStarting(const QString& text, const QString& prefix)
{
    for (const QString& line : text.split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return QString();
}

// A key-file string value as GLib and KConfig read it.
QString unescapeKeyFile(const QString& v)
{
    QString out;
    for (int i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const QChar n = v[++i];
            out += n == 'n' ? QChar('\n') : n == 't' ? QChar('\t') : n == 'r' ? QChar('\r') : n == 's' ? QChar(' ') : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

// A quoted word as a POSIX shell reads it; for the quotes we write, the
// formats' rules are the shell's.
QString wordAsShellReadsIt(const QString& word)
{
    QProcess sh;
    sh.start("/bin/sh", {"-c", "printf '%s' " + word});
    sh.waitForFinished();
    return QString::fromUtf8(sh.readAllStandardOutput());
}

}  // namespace

TEST(FileManagerActions, MissingActionsAreInstalledWithTheLauncherPathQuoted)
{
    TempTree home;
    // Quotes, dollars, backquotes, percent and backslash must all survive,
    // and none may be interpreted.
    const QString launcher = "/opt/it's \"odd\"/$HOME `id` 50%/back\\slash/brisklaunch";
    const QStringList written = FileManagerActions::install(home.path(), kTemplates, launcher);
    ASSERT_EQ(written.size(), FileManagerActions::actions().size());

    for (const auto& action : FileManagerActions::actions()) {
        const QString dest = home.path() + '/' + action.destination;
        const QString text = QString::fromUtf8(TempTree::read(dest));
        ASSERT_FALSE(text.isEmpty()) << dest.toStdString();
        EXPECT_FALSE(text.contains("@BRISKLAUNCH@")) << dest.toStdString();
        EXPECT_EQ(QFileInfo(dest).isExecutable(), action.executable) << dest.toStdString();
        EXPECT_TRUE(text.contains("--service")) << dest.toStdString();
    }

    const QString menu = QString::fromUtf8(TempTree::read(home / ".local/share/kio/servicemenus/erase-with-tarnwick-vantoly.desktop"));
    QString exec = unescapeKeyFile(lineStarting(menu, "Exec="));
    exec.replace("%%", "%");
    EXPECT_EQ(wordAsShellReadsIt(exec.left(exec.lastIndexOf(" %f"))), launcher);

    for (const QString rel : {".local/share/nemo/actions/erase-with-tarnwick-vantoly.nemo_action",
                              ".local/share/file-manager/actions/erase-with-tarnwick-vantoly.desktop"}) {
        const QString text = QString::fromUtf8(TempTree::read(home / rel));
        const QString cmd = unescapeKeyFile(lineStarting(text, "Exec="));
        EXPECT_EQ(wordAsShellReadsIt(cmd.left(cmd.lastIndexOf(" %"))), launcher) << rel.toStdString();
    }
}

TEST(FileManagerActions, AFileThatIsNotOursIsNeverReplaced)
{
    TempTree home;
    const auto& dolphin = FileManagerActions::actions().at(0);
    const QString mine = home.file(dolphin.destination, "my own older menu");

    const QStringList written = FileManagerActions::install(home.path(), kTemplates, "/usr/bin/brisklaunch");
    EXPECT_FALSE(written.contains(mine));
    EXPECT_EQ(written.size(), FileManagerActions::actions().size() - 1);
    EXPECT_EQ(TempTree::read(mine), "my own older menu");

    // A second start finds everything in place.
    EXPECT_TRUE(FileManagerActions::install(home.path(), kTemplates, "/usr/bin/brisklaunch").isEmpty());
}

// An install that moved or was updated: each action of ours names the
// launcher as it is installed now; what is not ours stays as it is.
TEST(FileManagerActions, OurActionsFollowTheInstallAndNothingElseIsTouched)
{
    TempTree home;
    const QString oldLauncher = "/opt/old place/bin/brisklaunch";
    const QString newLauncher = "/usr/bin/brisklaunch";
    ASSERT_EQ(FileManagerActions::install(home.path(), kTemplates, oldLauncher).size(),
              FileManagerActions::actions().size());

    const auto& nemo = FileManagerActions::actions().at(2);
    const QString nemoPath = home / nemo.destination;
    const QByteArray edited = TempTree::read(nemoPath) + "\n# my own line\n";
    QFile::remove(nemoPath);
    home.file(nemo.destination, edited);  // the user's own changes make it theirs
    const auto& fm = FileManagerActions::actions().at(3);
    const QString fmPath = home / fm.destination;
    QFile::remove(fmPath);
    const QString elsewhere = home.file("elsewhere.desktop", "not an action");
    ASSERT_TRUE(QFile::link(elsewhere, fmPath));

    const QStringList written = FileManagerActions::install(home.path(), kTemplates, newLauncher);
    EXPECT_EQ(written.size(), 2) << written.join(", ").toStdString();
    for (int i : {0, 1}) {
        const auto& action = FileManagerActions::actions().at(i);
        const QString dest = home / action.destination;
        EXPECT_TRUE(written.contains(dest)) << dest.toStdString();
        const QString text = QString::fromUtf8(TempTree::read(dest));
        EXPECT_TRUE(text.contains(FileManagerActions::quoted(newLauncher, action.quoting))) << dest.toStdString();
        EXPECT_FALSE(text.contains("old place")) << dest.toStdString();
        EXPECT_EQ(QFileInfo(dest).isExecutable(), action.executable) << dest.toStdString();
    }
    EXPECT_EQ(TempTree::read(nemoPath), edited);
    EXPECT_TRUE(QFileInfo(fmPath).isSymLink());
    EXPECT_EQ(TempTree::read(elsewhere), "not an action");

    // Nothing changed since: nothing is written.
    EXPECT_TRUE(FileManagerActions::install(home.path(), kTemplates, newLauncher).isEmpty());
}

TEST(FileManagerActions, NautilusScriptHandsEveryChosenPathOverVerbatim)
{
    TempTree home;
    FakeTool fake("brisklaunch", R"(for a in "$@"; do printf '[%s]' "$a" >> "$LOG"; done; echo >> "$LOG")");
    // The launcher itself in a folder whose name needs quoting.
    const QString launcher = home.link("it's $(x)/brisklaunch", fake.path());
    FileManagerActions::install(home.path(), kTemplates, launcher);
    const QString script = home / ".local/share/nautilus/scripts/Erase with Tarnwick Vantoly";

    const QString a = home.file("a b.txt");
    const QString b = home.file("$(touch pwned); 'x'");
    QProcess run;
    run.setWorkingDirectory(home.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", a + '\n' + b + '\n');
    run.setProcessEnvironment(env);
    run.start(script, {});
    ASSERT_TRUE(run.waitForFinished());
    EXPECT_EQ(fake.log(), "[" + a + "][--service]\n[" + b + "][--service]\n");
    EXPECT_FALSE(QFileInfo::exists(home / "pwned"));

    // Without the list, the arguments Nautilus gives.
    QFile::remove(fake.logPath());
    env.remove("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS");
    run.setProcessEnvironment(env);
    run.start(script, {"a b.txt"});
    ASSERT_TRUE(run.waitForFinished());
    EXPECT_EQ(fake.log(), "[a b.txt][--service]\n");
}

TEST(FileManagerActions, NautilusScriptKeepsANameWithALineBreakWhole)
{
    TempTree home;
    FakeTool fake("brisklaunch", R"(for a in "$@"; do printf '[%s]' "$a" >> "$LOG"; done; echo >> "$LOG")");
    FileManagerActions::install(home.path(), kTemplates, fake.path());
    const QString script = home / ".local/share/nautilus/scripts/Erase with Tarnwick Vantoly";

    // Chosen: the one file "report\nbudget"; "report" and "budget" are others.
    home.file("report");
    home.file("budget");
    const QString chosen = home.file("report\nbudget");
    QProcess run;
    run.setWorkingDirectory(home.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", chosen + '\n');
    run.setProcessEnvironment(env);
    run.start(script, {"report\nbudget"});
    ASSERT_TRUE(run.waitForFinished());
    EXPECT_EQ(fake.log(), "[report\nbudget][--service]\n");
}
