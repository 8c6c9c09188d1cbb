#include "platform/StartUp.h"

#include <QList>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace platform {

namespace {

struct Waiting
{
    QPointer<QObject> context;
    std::function<void()> work;
};

// Main thread only, like the windows whose start they wait for.
bool underWay = false;
QList<Waiting>& waiting()
{
    static QList<Waiting> list;
    return list;
}

}  // namespace

void afterStartUp(QObject* context, std::function<void()> work)
{
    if (underWay) {
        waiting().append({context, std::move(work)});
        return;
    }
    QTimer::singleShot(0, context, std::move(work));
}

void startUpBegins()
{
    underWay = true;
}

void startUpEnded()
{
    underWay = false;
    const QList<Waiting> ready = std::exchange(waiting(), {});
    for (const Waiting& w : ready)
        if (w.context)
            QTimer::singleShot(0, w.context.data(), w.work);
}

bool startUpUnderWay()
{
    return underWay;
}

}  // namespace platform
