#include "mainwindow/TableLists.h"

#include <QListWidget>
#include <memory>

#include "app/Dialogs.h"
#include "app/Steps.h"
#include "app/WindowSetup.h"
#include "db/Discovery.h"
#include "db/Openers.h"

void AddMySQLToList1(Dialogs& dialogs, QListWidget& list, const ConnectionProfile& profile) {
    Steps steps(dialogs, Location::of(QStringLiteral("MySQL"), QStringLiteral("AddMySQLToList1")));
    std::unique_ptr<Connection> connection;
    if (!steps.runOrStop(104, [&] { connection = OpenTableListConnection(profile); })) {
        // Whatever the list held came from an earlier database; it must not stand for this one.
        // One report says why: every later statement would only fail the same way.
        list.clear();
        return;
    }
    steps.run(106, [&] {
        list.clear();
        ForEachTableName(*connection, [&](const QString& name) {
            DoEvents();
            if (IsListedTable(name)) list.addItem(name);
        });
    });
    steps.run(112, [&] {
        if (list.count() > 0) list.setCurrentRow(0);
    });
    steps.run(114, [&] { connection->close(); });
}
