#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

// One thread that does the blocking work of one user action (opening its connection, the
// transfer, closing the connection) while the user-interface thread keeps painting. Every job
// runs on the same thread, so that thread owns the action's connection for as long as it lives.
//
// While a job runs the user-interface thread waits in an event loop of its own that delivers
// paint, timer and window events, but no input: clicks, keys, wheel turns, shortcuts and drops
// on any window are dropped, so no list or box changes and no setting is written meanwhile.
// Closing a window still arrives, and ends the program.
//
// The wait is a nested event loop rather than a chain of signals because every handler is a
// numbered list of steps, each reported and gone on from where it failed: a nested loop keeps a
// handler one straight function whose steps read in order, where signals would cut it into pieces
// at every wait and scatter its step numbers across them.
class WorkerThread {
public:
    WorkerThread();
    // Runs the end actions on the worker thread, waiting as run does, then ends the thread; a job
    // must not be running.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs the job on the worker thread and waits for it as described above. Its result is
    // returned, and its failure thrown, on the calling thread.
    template <class F>
    auto run(F&& job) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>) {
            runJob([&] { job(); });
        } else {
            std::optional<R> result;
            runJob([&] { result.emplace(job()); });
            return std::move(*result);
        }
    }

    // Runs the action on the worker thread when the worker goes, however the user action ends:
    // closing a connection may wait on the network, so it never happens on the calling thread.
    // Actions run last added, first.
    void atEnd(std::function<void()> action) { atEnd_.push_back(std::move(action)); }

private:
    void runJob(const std::function<void()>& job);
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* job_ = nullptr;
    std::function<void()> finished_;
    std::exception_ptr failure_;
    bool quit_ = false;
    std::vector<std::function<void()>> atEnd_;
    std::thread thread_;  // last, so that it starts once every member above is ready
};
