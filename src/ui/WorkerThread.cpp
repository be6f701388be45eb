#include "ui/WorkerThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <atomic>

#include "ui/InputBlocker.h"

WorkerThread::WorkerThread() : thread_([this] { loop(); }) {}

WorkerThread::~WorkerThread() {
    if (!atEnd_.empty()) {
        runJob([this] {
            for (auto it = atEnd_.rbegin(); it != atEnd_.rend(); ++it) {
                try {
                    (*it)();
                } catch (...) {
                    // Giving up what the action used has nobody left to tell.
                }
            }
        });
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WorkerThread::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return job_ || quit_; });
        if (!job_) return;
        const std::function<void()>& job = *job_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        job_ = nullptr;
        // Wakes the waiting event loop on its own thread.
        finished_();
    }
}

void WorkerThread::runJob(const std::function<void()>& job) {
    QEventLoop waiting;
    InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(&blocker);
    std::atomic<bool> done = false;
    {
        std::lock_guard lock(mutex_);
        finished_ = [&] {
            done = true;
            QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
        };
        job_ = &job;
    }
    changed_.notify_all();
    // The loop takes every event, input included, and the blocker drops the input: Qt counts a
    // window manager's close request as user input, so a loop that excluded input would hold the
    // close back until the job ends.
    while (!done) waiting.exec();
    QCoreApplication::instance()->removeEventFilter(&blocker);

    std::lock_guard lock(mutex_);
    finished_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}
