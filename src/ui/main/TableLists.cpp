#include "ui/main/TableLists.h"

#include <QListWidget>
#include <exception>

#include "core/Steps.h"
#include "db/Discovery.h"
#include "db/Openers.h"
#include "ui/Dialogs.h"
#include "ui/WorkerConnection.h"

void AddMySQLToList1(Dialogs& dialogs, QListWidget& list, const ConnectionProfile& profile) {
    Steps steps(dialogs, Location::of(QStringLiteral("MySQL"), QStringLiteral("AddMySQLToList1")));
    // The server is waited for on a thread of the listing's own, which also owns the connection;
    // the list is filled here.
    WorkerConnection db;
    if (!steps.runOrStop(104, [&] { db.open([&] { return OpenTableListConnection(profile); }); })) {
        // Whatever the list held came from an earlier database; it must not stand for this one.
        // One report says why: every later statement would only fail the same way.
        list.clear();
        return;
    }
    steps.run(106, [&] {
        list.clear();
        // The names read before a failure are listed all the same.
        QStringList names;
        std::exception_ptr failure;
        db.run([&](Connection& connection) {
            try {
                ForEachTableName(connection, [&](const QString& name) { names.append(name); });
            } catch (...) {
                failure = std::current_exception();
            }
        });
        for (const QString& name : std::as_const(names))
            if (IsListedTable(name)) list.addItem(name);
        if (failure) std::rethrow_exception(failure);
    });
    steps.run(112, [&] {
        if (list.count() > 0) list.setCurrentRow(0);
    });
    steps.run(114, [&] { db.close(); });
}
