#pragma once
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <type_traits>
#include <utility>

namespace platform {

// Runs `work` on the shared pool and hands its result to `done` on the thread
// of `context` (the main thread for widgets). When `context` is destroyed
// first, `done` is dropped: a closed screen is never called back.
template <typename Work, typename Done>
void runInBackground(QObject* context, Work work, Done done)
{
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
            work();
            if (!guard)
                return;
            QMetaObject::invokeMethod(guard.data(), [guard, done]() mutable {
                if (guard)
                    done();
            }, Qt::QueuedConnection);
        } else {
            auto result = work();
            if (!guard)
                return;
            QMetaObject::invokeMethod(guard.data(), [guard, done, result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            }, Qt::QueuedConnection);
        }
    });
}

}  // namespace platform
