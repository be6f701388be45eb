#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/TableLists.h"
#include "ui/main/UploadList.h"

namespace {

class NextTest : public DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec("CREATE TABLE sys_users (a INT)");
        exec("CREATE TABLE SYSLOG (a INT)");
        exec("CREATE TABLE orders (id INT, `my data` BLOB, note TEXT)");
        exec("CREATE TABLE sy (b INT)");
        exec("CREATE TABLE `big pictures` (pic LONGBLOB, name VARCHAR(10))");
    }
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
};

TEST_F(NextTest, NextFillsBothTableListsAndTheFirstTablesColumnsThenSwapsWindows) {
    Form1 login(dialogs, folder.environment());
    login.show();
    TypeProfile(login, profile());
    Button(login, "PushButton3")->click();
    ASSERT_NE(login.loadedMainWindow(), nullptr);
    Form2& form = *login.loadedMainWindow();
    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.shownTexts().join("\n").toStdString();
    QStringList tables = Items(ListBox(form, "List1"));
    EXPECT_EQ(Items(ListBox(form, "List4")), tables);
    tables.sort(Qt::CaseInsensitive);
    EXPECT_EQ(tables, (QStringList{"big pictures", "orders", "sy"}));
    EXPECT_EQ(ListBox(form, "List1")->currentRow(), 0);
    EXPECT_EQ(ListBox(form, "List4")->currentRow(), 0);
    const QString first = ListBox(form, "List1")->item(0)->text();
    const QStringList columns = first == "orders" ? QStringList{"id", "my data", "note"}
                                : first == "sy"   ? QStringList{"b"}
                                                  : QStringList{"pic", "name"};
    EXPECT_EQ(Items(ListBox(form, "List2")), columns);
    EXPECT_EQ(Items(ListBox(form, "List3")), columns);
    EXPECT_TRUE(ListBox(form, "List2")->selectedItems().isEmpty());
    EXPECT_TRUE(ListBox(form, "List3")->selectedItems().isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(form.pointer().shape(), WindowPointer::Shape::Default);
    // A click lists the clicked table's columns; the name is quoted, spaces and all.
    ListBox(form, "List4")->setCurrentRow(Items(ListBox(form, "List4")).indexOf("big pictures"));
    EXPECT_EQ(Items(ListBox(form, "List3")), (QStringList{"pic", "name"}));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(NextTest, AFailedFieldListingIsReportedUnderTheClickAndThePointerComesBack) {
    Form1 login(dialogs, folder.environment());
    Form2& form = PressNext(login, profile());
    const QStringList before = Items(ListBox(form, "List2"));
    exec("DROP TABLE orders");
    ListBox(form, "List1")->setCurrentRow(Items(ListBox(form, "List1")).indexOf("orders"));
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(
        dialogs.reports()[0].contains("in Tarnwick2021/08/31.Form2.List1_Click at line 108"))
        << dialogs.reports()[0].toStdString();
    EXPECT_EQ(Items(ListBox(form, "List2")), before);
    EXPECT_EQ(form.pointer().shape(), WindowPointer::Shape::Default);
}

TEST_F(NextTest, EveryClickOnATableListsItsColumnsTheSelectedOneIncluded) {
    Form1 login(dialogs, folder.environment());
    Form2& form = PressNext(login, profile());
    const struct {
        QListWidget* tables;
        QListWidget* fields;
        const char* added;
    } lists[] = {{ListBox(form, "List1"), ListBox(form, "List2"), "added_down"},
                 {ListBox(form, "List4"), ListBox(form, "List3"), "added_up"}};
    for (const auto& l : lists) {
        ASSERT_EQ(l.tables->currentRow(), 0);
        const QString table = l.tables->item(0)->text();
        // A column added meanwhile shows at the next click on the selected table.
        exec(QString("ALTER TABLE `%1` ADD COLUMN %2 INT").arg(table, l.added));
        ClickRow(l.tables, 0);
        EXPECT_TRUE(Items(l.fields).contains(l.added)) << Items(l.fields).join(',').toStdString();
        // A click on another table lists that table's columns.
        const int sy = Items(l.tables).indexOf("sy");
        ClickRow(l.tables, sy);
        EXPECT_EQ(l.tables->currentRow(), sy);
        EXPECT_EQ(Items(l.fields), QStringList{"b"});
    }
    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.shownTexts().join("\n").toStdString();
}

TEST_F(NextTest, BothWindowsAreCentredWhenTheyFirstAppearAlsoAfterTheAutomaticNext) {
    StoreProfile(profile());
    Form1 login(dialogs, folder.environment());
    login.start();
    ASSERT_TRUE(login.handedOver());
    Form2& form = *login.loadedMainWindow();
    EXPECT_TRUE(IsCentred(form));
    ASSERT_FALSE(IsCentred(login)) << "never shown yet";
    Button(form, "PushButton5")->click();
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(IsCentred(login));
}

TEST_F(NextTest, ACompleteStoredProfileOpensTheMainWindowAtStart) {
    StoreProfile(profile());
    Form1 login(dialogs, folder.environment());
    login.start();
    EXPECT_TRUE(login.handedOver());
    EXPECT_FALSE(login.isVisible());
    ASSERT_NE(login.loadedMainWindow(), nullptr);
    EXPECT_TRUE(login.loadedMainWindow()->isVisible());
    EXPECT_EQ(ListBox(*login.loadedMainWindow(), "List1")->count(), 3);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(NextTest, NextWithARefusedProfileDoesNothingAtAll) {
    Form1 login(dialogs, folder.environment());
    login.show();
    ConnectionProfile p = profile();
    p.password = "wrong";
    TypeProfile(login, p);
    Button(login, "PushButton3")->click();
    EXPECT_EQ(login.loadedMainWindow(), nullptr);
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(NextTest, NextAfterSwitchingRefillsTheTablesAndKeepsTheRest) {
    const QString other = database_ + "_b";
    exec(QString("CREATE DATABASE `%1`").arg(other));
    Form1 login(dialogs, folder.environment());
    Form2& form = PressNext(login, profile());
    const QStringList fields = Items(ListBox(form, "List2"));
    FileList(form, "ListView1")->appendPath("/tmp/kept.bin");
    Button(form, "PushButton5")->click();
    EXPECT_TRUE(login.isVisible());

    TextBox(login, "Text4")->setText(other);  // a database without tables
    Button(login, "PushButton3")->click();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(ListBox(form, "List1")->count(), 0);
    EXPECT_EQ(ListBox(form, "List4")->count(), 0);
    EXPECT_EQ(Items(ListBox(form, "List2")), fields);
    EXPECT_EQ(FileList(form, "ListView1")->paths(), QStringList{"/tmp/kept.bin"});
    EXPECT_TRUE(form.isVisible());

    exec(QString("CREATE TABLE `%1`.photos (jpeg BLOB)").arg(other));
    Button(form, "PushButton5")->click();
    Button(login, "PushButton3")->click();
    EXPECT_EQ(Items(ListBox(form, "List1")), QStringList{"photos"});
    EXPECT_EQ(Items(ListBox(form, "List3")), QStringList{"jpeg"});
    exec(QString("DROP DATABASE `%1`").arg(other));
}

TEST_F(NextTest, ATableListingThatCannotConnectIsReportedOnceAndEmptiesTheList) {
    QListWidget list;
    list.addItems({"stale", "tables"});
    ConnectionProfile p = profile();
    p.password = "wrong";
    AddMySQLToList1(dialogs, list, p);
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(
        dialogs.reports()[0].contains("in Tarnwick2021/08/31.MySQL.AddMySQLToList1 at line 104"));
    EXPECT_EQ(list.count(), 0);
}

}  // namespace
