#pragma once
#include "platform/ExternalCommand.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace platform {

class DiskToolStream;

// The one way the program runs our diskutil: an argument vector (never a
// shell line), output read from the pipe, the exit status returned. The
// command words and keys are the tool's; this class only carries them.
class DiskTool
{
public:
    static constexpr int kDefaultTimeoutMs = 10 * 60 * 1000;

    // Process-wide defaults that a default-constructed runner takes: the
    // tool's path (empty: the layout's libexec tool) and whether loop
    // devices are to be listed as removable USB volumes (tests only).
    static void setDefaultProgram(const QString& path);
    static void setShowLoopAsUsb(bool show);

    DiskTool();
    explicit DiskTool(QString program, bool showLoopAsUsb = false);

    QString program() const { return m_program; }
    bool showsLoopAsUsb() const { return m_showLoopAsUsb; }
    // The argument vector handed to the tool for `args`.
    QStringList arguments(const QStringList& args) const;

    // Blocks until the tool ends; usable on any thread.
    CommandResult run(const QStringList& args, int timeoutMs = kDefaultTimeoutMs) const;

    // The tool's standard output as a dictionary; nothing when the tool
    // failed or printed no property list. The reason goes to the log.
    std::optional<QVariantMap> runPlist(const QStringList& args, int timeoutMs = 60 * 1000) const;

    // A running tool whose output lines arrive on the caller's thread as
    // they are printed (verify, repair). Not started yet: connect, then start().
    DiskToolStream* stream(const QStringList& args, QObject* parent = nullptr) const;

private:
    QString m_program;
    bool m_showLoopAsUsb = false;
};

// One streamed run. Lives on the thread that created it, which needs an
// event loop; its signals arrive there.
class DiskToolStream : public QObject
{
    Q_OBJECT
public:
    DiskToolStream(const QString& program, const QStringList& arguments, QObject* parent = nullptr);
    ~DiskToolStream() override;

    void start();
    void cancel();  // ends the tool; finished() still follows
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

signals:
    // One line of standard output, without its line feed; a last line without
    // one is delivered when the tool ends.
    void lineRead(const QString& line);
    // -1 when the tool could not start or did not exit normally.
    void finished(int exitCode, const QString& errors);

private:
    void readLines(bool flushAll);
    void finish(int exitCode);

    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_errors;
    bool m_finished = false;
};

}  // namespace platform
