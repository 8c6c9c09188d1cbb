#pragma once
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

// An X server of `size` ("1920x1080") for one test, on a display number of
// its own; display() is empty when none can be started here.
class ScratchDisplay
{
public:
    explicit ScratchDisplay(const QString& size)
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        m_server.setProgram(xvfb);
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), size + QStringLiteral("x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp")});
        m_server.start();
        if (!m_server.waitForStarted(5000))
            return;
        QByteArray number;
        QElapsedTimer waited;
        waited.start();
        while (!number.contains('\n') && waited.elapsed() < 10000 && m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(200);
            number += m_server.readAllStandardOutput();
        }
        if (!number.trimmed().isEmpty())
            m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~ScratchDisplay()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    ScratchDisplay(const ScratchDisplay&) = delete;
    ScratchDisplay& operator=(const ScratchDisplay&) = delete;

    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};
