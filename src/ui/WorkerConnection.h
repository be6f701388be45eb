#pragma once

#include <functional>
#include <memory>
#include <type_traits>

#include "db/Connection.h"
#include "ui/WorkerThread.h"

// The connection of one user action, opened, used and given up on a worker thread of the action's
// own (WorkerThread), so the windows keep painting while the server is waited for. However the
// action ends, the connection is given up on that thread, never on the calling one.
class WorkerConnection {
public:
    WorkerConnection() {
        worker_.atEnd([this] { connection_.reset(); });
    }

    // Opens the connection with `open` on the worker, giving up one that is already open; throws
    // what `open` throws, and then there is no connection.
    void open(const std::function<std::unique_ptr<Connection>()>& opener) {
        worker_.run([&] {
            connection_.reset();
            connection_ = opener();
        });
    }

    // Runs work(connection) on the worker and waits for it; its result is returned, its failure
    // thrown, here.
    template <class F>
    auto run(F&& work) -> std::invoke_result_t<F&, Connection&> {
        return worker_.run([&]() -> decltype(auto) { return work(*connection_); });
    }
    // Closes the connection on the worker; a failure to close is thrown here.
    void close() {
        worker_.run([&] {
            if (connection_) connection_->close();
        });
    }

private:
    std::unique_ptr<Connection> connection_;
    WorkerThread worker_;  // last: it gives up the connection above on its own thread as it ends
};
