#pragma once
#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

namespace platform {

// Runs `work` on the shared pool and hands its result to `done` on the thread
// of `context` (the main thread for widgets). When `context` is destroyed
// first, `done` is dropped: a closed screen is never called back. Whether
// `context` still lives is decided on its own thread, when the result
// arrives there, never by the worker looking at it from outside.
template <typename Work, typename Done>
void runInBackground(QObject* context, Work work, Done done)
{
    auto future = QtConcurrent::run(QThreadPool::globalInstance(), std::move(work));
    if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
        future.then(context, [done = std::move(done)]() mutable { done(); });
    } else {
        using Result = std::invoke_result_t<Work>;
        future.then(context, [done = std::move(done)](Result result) mutable { done(std::move(result)); });
    }
}

}  // namespace platform
