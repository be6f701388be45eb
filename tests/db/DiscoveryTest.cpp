#include <gtest/gtest.h>

#include "db/Discovery.h"
#include "db/Openers.h"
#include "support/ExpectFailure.h"
#include "support/TestServer.h"

namespace {

class DiscoveryTest : public DatabaseTest {
protected:
    QStringList tableNames() {
        auto c = OpenTableListConnection(profile());
        QStringList names;
        ForEachTableName(*c, [&](const QString& name) { names.append(name); });
        return names;
    }

    qint64 bytesSentBy(Connection& c) {
        ResultPtr r = QueryBuffered(c, "SHOW SESSION STATUS LIKE 'Bytes_sent'");
        MYSQL_ROW row = mysql_fetch_row(r.get());
        return row ? QByteArray(row[1]).toLongLong() : -1;
    }
};

TEST_F(DiscoveryTest, ListsEveryTableAndTheFilterKeepsOnlyNonSysNames) {
    for (const char* name : {"sys_users", "SYSLOG", "orders", "sy", "mysys", "System_log"})
        exec(QStringLiteral("CREATE TABLE `%1` (id INT)").arg(name));

    const QStringList all = tableNames();
    EXPECT_EQ(all.size(), 6);
    QStringList listed;
    for (const QString& name : all)
        if (IsListedTable(name)) listed.append(name);
    listed.sort();
    EXPECT_EQ(listed, QStringList({"mysys", "orders", "sy"}));
}

TEST_F(DiscoveryTest, EmptyDatabaseGivesNoNames) {
    EXPECT_TRUE(tableNames().isEmpty());
}

TEST_F(DiscoveryTest, FieldNamesComeInColumnOrderWhateverTheTableIsCalled) {
    struct Case {
        QString table;
        QStringList columns;
    };
    const Case cases[] = {
        {"orders", {"id", "picture", "note", "when"}},
        {"my table", {"my data", "x"}},
        {"order", {"group", "select"}},
        {"a`b", {"c`d"}},
        {"Ünïcode", {"naïve"}},
    };
    for (const Case& c : cases) {
        QStringList defs;
        for (const QString& col : c.columns) defs.append(QuoteIdentifier(col) + " LONGBLOB");
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteIdentifier(c.table), defs.join(",")));
        auto connection = OpenFieldListConnection(profile());
        EXPECT_EQ(FieldNames(*connection, c.table), c.columns) << c.table.toStdString();
    }
}

TEST_F(DiscoveryTest, FieldNamesOfAMissingTableFailWithTheServerText) {
    auto c = OpenFieldListConnection(profile());
    const Failure f = ExpectFailure([&] { FieldNames(*c, "gone"); }, "listed a missing table");
    EXPECT_TRUE(f.description.contains("gone")) << f.description.toStdString();
    EXPECT_EQ(f.number, 1146);  // no such table
}

TEST_F(DiscoveryTest, FieldListingOfALargeTableSendsAlmostNothing) {
    exec("CREATE TABLE big (id INT PRIMARY KEY, data LONGBLOB)");
    exec("INSERT INTO big SELECT seq, REPEAT('x', 1048576) FROM seq_1_to_32");
    auto c = OpenFieldListConnection(profile());

    const qint64 before = bytesSentBy(*c);
    EXPECT_EQ(FieldNames(*c, "big"), QStringList({"id", "data"}));
    const qint64 after = bytesSentBy(*c);

    ASSERT_GT(before, 0);
    // The table holds 32 MiB; the metadata and the status query itself are a few hundred bytes.
    EXPECT_LT(after - before, 4096);
}

}  // namespace
