#include "platform/DiskTool.h"

#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/PlistFile.h"

#include <mutex>

namespace platform {

namespace {

std::mutex g_mutex;
QString g_defaultProgram;
bool g_showLoopAsUsb = false;

const QString kShowLoopAsUsbOption = QStringLiteral("--show-loop-as-usb");

}  // namespace

void DiskTool::setDefaultProgram(const QString& path)
{
    std::lock_guard lock(g_mutex);
    g_defaultProgram = path;
}

void DiskTool::setShowLoopAsUsb(bool show)
{
    std::lock_guard lock(g_mutex);
    g_showLoopAsUsb = show;
}

DiskTool::DiskTool()
{
    std::lock_guard lock(g_mutex);
    m_program = g_defaultProgram;
    m_showLoopAsUsb = g_showLoopAsUsb;
    if (m_program.isEmpty())
        m_program = Layout::current().tool(QStringLiteral("diskutil"));
}

DiskTool::DiskTool(QString program, bool showLoopAsUsb)
    : m_program(std::move(program)), m_showLoopAsUsb(showLoopAsUsb)
{
}

QStringList DiskTool::arguments(const QStringList& args) const
{
    // The global option goes before the command word, where the tool looks for it.
    QStringList all;
    if (m_showLoopAsUsb)
        all << kShowLoopAsUsbOption;
    all << args;
    return all;
}

CommandResult DiskTool::run(const QStringList& args, int timeoutMs) const
{
    CommandResult result = runCommand(m_program, arguments(args), timeoutMs);
    if (!result.started)
        log(QStringLiteral("diskutil could not be started: %1").arg(m_program));
    else if (result.timedOut)
        log(QStringLiteral("diskutil %1 timed out").arg(args.join(' ')));
    return result;
}

std::optional<QVariantMap> DiskTool::runPlist(const QStringList& args, int timeoutMs) const
{
    const CommandResult result = run(args, timeoutMs);
    if (!result.ok()) {
        log(QStringLiteral("diskutil %1 failed (%2): %3")
                .arg(args.join(' '))
                .arg(result.exitCode)
                .arg(QString::fromUtf8(result.errors).trimmed()));
        return std::nullopt;
    }
    const std::optional<QVariant> parsed = plist::parse(result.output);
    if (!parsed || parsed->typeId() != QMetaType::QVariantMap) {
        log(QStringLiteral("diskutil %1 printed no property list").arg(args.join(' ')));
        return std::nullopt;
    }
    return parsed->toMap();
}

DiskToolStream* DiskTool::stream(const QStringList& args, QObject* parent) const
{
    return new DiskToolStream(m_program, arguments(args), parent);
}

DiskToolStream::DiskToolStream(const QString& program, const QStringList& arguments, QObject* parent)
    : QObject(parent)
{
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] { readLines(false); });
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { m_errors += m_process.readAllStandardError(); });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit ? code : -1);
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_errors += QByteArrayLiteral("diskutil could not be started");
            finish(-1);
        }
    });
}

DiskToolStream::~DiskToolStream()
{
    // Never leave the tool running behind a destroyed owner.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void DiskToolStream::start()
{
    m_process.start();
}

void DiskToolStream::cancel()
{
    if (m_process.state() != QProcess::NotRunning)
        m_process.terminate();
}

void DiskToolStream::readLines(bool flushAll)
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype nl = m_pending.indexOf('\n'); nl >= 0; nl = m_pending.indexOf('\n', start)) {
        // Lines are decoded whole, so a character split across two reads stays intact.
        emit lineRead(QString::fromUtf8(m_pending.constData() + start, nl - start));
        start = nl + 1;
    }
    m_pending.remove(0, start);
    if (flushAll && !m_pending.isEmpty()) {
        emit lineRead(QString::fromUtf8(m_pending));
        m_pending.clear();
    }
}

void DiskToolStream::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    readLines(true);
    m_errors += m_process.readAllStandardError();
    emit finished(exitCode, QString::fromUtf8(m_errors).trimmed());
}

}  // namespace platform
