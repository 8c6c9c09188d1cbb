#pragma once
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

namespace platform {

namespace detail {

// Where a background result goes: a small child of the context, living on
// its thread. Its end (alone, or with the context) is guarded by the same
// mutex the worker holds while it posts, so the worker never posts to an
// object that is gone, and a result posted before the end is dropped with
// the object's pending events.
struct Handoff
{
    QMutex mutex;
    QObject* receiver = nullptr;
};

class HandoffReceiver : public QObject
{
public:
    HandoffReceiver(QObject* context, std::shared_ptr<Handoff> handoff) : QObject(context), m_handoff(std::move(handoff))
    {
        m_handoff->receiver = this;
    }
    ~HandoffReceiver() override
    {
        QMutexLocker lock(&m_handoff->mutex);
        m_handoff->receiver = nullptr;
    }

private:
    std::shared_ptr<Handoff> m_handoff;
};

template <typename Fn>
void deliver(const std::shared_ptr<Handoff>& handoff, Fn fn)
{
    QMutexLocker lock(&handoff->mutex);
    QObject* receiver = handoff->receiver;
    if (!receiver)
        return;
    QMetaObject::invokeMethod(
        receiver,
        [receiver, fn = std::move(fn)]() mutable {
            QPointer<QObject> self(receiver);
            fn();
            if (self)
                self->deleteLater();  // `fn` may have ended the context, and this with it
        },
        Qt::QueuedConnection);
}

}  // namespace detail

// Runs `work` on the shared pool and hands its result to `done` on the thread
// of `context` (the main thread for widgets), which must be the calling
// thread. When `context` is destroyed first, `done` is dropped: a closed
// screen is never called back.
template <typename Work, typename Done>
void runInBackground(QObject* context, Work work, Done done)
{
    auto handoff = std::make_shared<detail::Handoff>();
    new detail::HandoffReceiver(context, handoff);
    QThreadPool::globalInstance()->start([handoff, work = std::move(work), done = std::move(done)]() mutable {
        if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
            work();
            detail::deliver(handoff, [done = std::move(done)]() mutable { done(); });
        } else {
            auto result = work();
            detail::deliver(handoff, [done = std::move(done), result = std::move(result)]() mutable {
                done(std::move(result));
            });
        }
    });
}

}  // namespace platform
