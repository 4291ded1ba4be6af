#pragma once
// Long work (a backup, a restore) on a thread of its own while the window
// stays live: the caller's event loop runs until the work is done.  The work
// opens its own database connections in its thread.
#include <QEventLoop>
#include <QThread>

#include <optional>
#include <utility>

namespace velmor::ui {

template <typename F>
auto runAside(F work) -> decltype(work())
{
    std::optional<decltype(work())> result;
    QEventLoop loop;
    QThread *thread = QThread::create([&] { result.emplace(work()); });
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    return std::move(*result);
}

} // namespace velmor::ui
