#pragma once
#include <QObject>
#include <QString>

// Keeps the display from sleeping while the program runs: a logind "idle"
// inhibitor (a file descriptor held open), or else the session's screen-saver
// inhibition. Taken without waiting, so a slow or missing bus never delays
// the window; released when this object goes away. A failure is logged only.
class PreventSleep : public QObject
{
    Q_OBJECT
public:
    explicit PreventSleep(QString name, QObject* parent = nullptr);
    ~PreventSleep() override;

    bool isHeld() const { return m_fd >= 0 || m_cookie != 0; }

signals:
    void finished(bool held);

private:
    void tryScreenSaver();

    QString m_name;
    int m_fd = -1;
    uint m_cookie = 0;
};
