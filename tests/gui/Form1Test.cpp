#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "core/Settings.h"
#include "gui/GuiSupport.h"
#include "support/FakeServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/Dialogs.h"
#include "ui/WindowSetup.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"

namespace {

using Shape = WindowPointer::Shape;

const QString kCouldNotConnect = QStringLiteral(
    "Could not connect. Please check with your administrator. Make sure you are allowed to connect "
    "to your database remotely and not just through web-based control panels.");

class Form1Test : public ::testing::Test {
protected:
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
};

TEST_F(Form1Test, FirstStartShowsTheDefaultsAndStoresOnlyServerAndPort) {
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    EXPECT_EQ(TextBox(form, "Text1")->text(), "localhost");
    EXPECT_EQ(TextBox(form, "Text2")->text(), "");
    EXPECT_EQ(TextBox(form, "Text3")->text(), "");
    EXPECT_EQ(TextBox(form, "Text4")->text(), "");
    EXPECT_EQ(TextBox(form, "Text5")->text(), "3306");
    const QMap<QString, QString> want{{"MyServer", "localhost"}, {"MyPort", "3306"}};
    EXPECT_EQ(settings.storedValues(), want);
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_FALSE(form.handedOver());
    EXPECT_EQ(form.windowTitle(), "Vantrelle");
}

TEST_F(Form1Test, EveryEditIsStoredAndAClearedBoxComesBackEmpty) {
    {
        Form1 form(dialogs, folder.environment());
        form.Form_Load();
        TextBox(form, "Text1")->clear();
        TextBox(form, "Text5")->clear();
        TextBox(form, "Text2")->setText("ann");
        TextBox(form, "Text3")->setText("se;cret");
        TextBox(form, "Text4")->insert("shop");
        EXPECT_EQ(Settings::read("MyServer", "unset"), "");
        EXPECT_EQ(Settings::read("MyDatabase"), "shop");
    }
    Form1 again(dialogs, folder.environment());
    again.Form_Load();
    const ConnectionProfile p = again.profile();
    EXPECT_EQ(p.server, "");
    EXPECT_EQ(p.user, "ann");
    EXPECT_EQ(p.password, "se;cret");
    EXPECT_EQ(p.database, "shop");
    EXPECT_EQ(p.port, "");
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(Form1Test, TheHomePageOpensOnlyOnASevenWithAnAddress) {
    struct Case {
        int draw;
        QString homePage;
        bool opens;
    };
    const Case cases[] = {{7, "https://kestrom.example/", true},
                          {7, "", false},
                          {8, "https://kestrom.example/", false},
                          {1, "https://kestrom.example/", false}};
    for (const Case& c : cases) {
        dialogs.clear();
        Form1 form(dialogs, folder.environment(c.draw, c.homePage));
        form.Form_Load();
        QStringList opened;
        for (const auto& call : dialogs.calls)
            if (call.kind == "openInBrowser") opened << call.text;
        EXPECT_EQ(opened, c.opens ? QStringList{c.homePage} : QStringList{}) << c.draw;
    }
}

TEST_F(Form1Test, AFailingLoadStepIsReportedWithItsLineAndTheLoadGoesOn) {
    StartEnvironment environment = folder.environment();
    environment.greetingDraw = []() -> int { throw Failure(6, "Overflow"); };
    Form1 form(dialogs, environment);
    form.Form_Load();
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].startsWith(
        "Overflow\r\nin Tarnwick2021/08/31.Form1.Form_Load at line 106\r\r"));
    EXPECT_EQ(TextBox(form, "Text1")->text(), "localhost");
    EXPECT_EQ(TextBox(form, "Text5")->text(), "3306");
}

#ifndef Q_OS_WIN  // a settings file can be made unusable, the registry branch cannot
TEST_F(Form1Test, AnUnusableStoreIsReportedAtEachStepAndTypingStillWorks) {
    // The settings file is a folder, so the store can be neither read nor written.
    QDir(settings.folder()).mkpath("Kestrom.ini");
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    const QStringList reports = dialogs.reports();
    ASSERT_EQ(reports.size(), 5) << reports.join("\n").toStdString();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(reports[i].contains(QString("Form1.Form_Load at line %1\r\r").arg(130 + 2 * i)))
            << reports[i].toStdString();
    // A failing save while the user types is reported under the box's own handler, and the box
    // keeps what was typed.
    dialogs.clear();
    TextBox(form, "Text2")->setText("ann");
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].contains("in Tarnwick2021/08/31.Form1.Text2_Change at line"));
    EXPECT_EQ(TextBox(form, "Text2")->text(), "ann");
}
#endif

TEST_F(Form1Test, TheHelpTextIsExactWithCarriageReturnsOnly) {
    Form1 form(dialogs, folder.environment());
    Button(form, "PushButton4")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    const auto& call = dialogs.calls[0];
    EXPECT_EQ(call.kind, "message");
    EXPECT_EQ(call.icon, Dialogs::Icon::None);
    EXPECT_EQ(call.title, "");
    EXPECT_EQ(
        call.text,
        "If you cannot establish connection to your database with this program, please go "
        "to: \r\rhttps://dev.mysql.com/downloads/workbench/\r\rDownload and install the MySQL "
        "Workbench. Try to connect to the same database (with the same login information "
        "you are using here). This will determine if the login you are using is "
        "correct.\r\rFinally, make sure your host allows a direct connection to your MySQL "
        "database -- not a web based connection, for example.");
    EXPECT_EQ(call.text.count(u'\r'), 6);
    EXPECT_FALSE(call.text.contains(u'\n'));
}

TEST_F(Form1Test, TheWindowHasItsFixedLayoutAndTabOrder) {
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    EXPECT_EQ(form.size(), QSize(536, 246));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(FrameOf(form, "Frame1")->geometry(), QRect(8, 8, 520, 193));
    EXPECT_EQ(TextBox(form, "Text5")->geometry(), QRect(432, 24, 73, 23));
    EXPECT_EQ(Button(form, "PushButton3")->geometry(), QRect(8, 210, 520, 27));
    EXPECT_EQ(Button(form, "PushButton3")->font().pointSizeF(), 11.25);
    EXPECT_TRUE(Button(form, "PushButton3")->font().bold());
    EXPECT_TRUE(LabelOf(form, "Label2")->font().bold());
    EXPECT_EQ(LabelOf(form, "Label2")->font().family(), "Arial");
    EXPECT_EQ(
        TextBox(form, "Text3")
            ->style()
            ->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, TextBox(form, "Text3")),
        '*');
    const QWidget* order[] = {TextBox(form, "Text1"),      TextBox(form, "Text5"),
                              TextBox(form, "Text2"),      TextBox(form, "Text3"),
                              TextBox(form, "Text4"),      Button(form, "PushButton5"),
                              Button(form, "PushButton4"), Button(form, "PushButton3")};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        const QWidget* next = order[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << i;
    }
}

TEST_F(Form1Test, ABoxThatGetsTheFocusSelectsItsWholeText) {
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    form.show();
    QApplication::setActiveWindow(&form);
    TextBox(form, "Text5")->setFocus(Qt::TabFocusReason);
    TextBox(form, "Text1")->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(TextBox(form, "Text1")->selectedText(), "localhost");
    TextBox(form, "Text5")->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(TextBox(form, "Text5")->selectedText(), "3306");
}

TEST_F(Form1Test, HoveringFollowsTheRulesAndNeverReplacesTheHourglass) {
    folder.addPointerImage();
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    ASSERT_TRUE(form.pointer().hasCustomImage());
    struct Step {
        QWidget* over;
        Shape want;
    };
    const Step walk[] = {
        {Button(form, "PushButton5"), Shape::Custom}, {LabelOf(form, "Label2"), Shape::Custom},
        {TextBox(form, "Text5"), Shape::Custom},      {FrameOf(form, "Frame1"), Shape::Default},
        {Button(form, "PushButton3"), Shape::Custom}, {TextBox(form, "Text2"), Shape::Default},
        {Button(form, "PushButton4"), Shape::Custom}, {&form, Shape::Default},
        {LabelOf(form, "Label1"), Shape::Default},    {TextBox(form, "Text4"), Shape::Default},
    };
    for (const Step& s : walk) {
        MoveOver(s.over);
        EXPECT_EQ(form.pointer().shape(), s.want) << s.over->metaObject()->className();
    }
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    MoveOver(Button(form, "PushButton3"));
    EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
    form.pointer().setHourglass();
    for (QWidget* w : {static_cast<QWidget*>(Button(form, "PushButton5")),
                       static_cast<QWidget*>(&form), static_cast<QWidget*>(FrameOf(form, "Frame1")),
                       static_cast<QWidget*>(TextBox(form, "Text1"))}) {
        MoveOver(w);
        EXPECT_EQ(form.pointer().shape(), Shape::Hourglass);
    }
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
}

TEST_F(Form1Test, WithoutThePointerFileTheButtonsShowTheArrowAndNothingIsSaid) {
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    EXPECT_FALSE(form.pointer().hasCustomImage());
    MoveOver(Button(form, "PushButton5"));
    EXPECT_EQ(form.pointer().shape(), Shape::Custom);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Form1Test, TheSkinFileDecidesBetweenWhiteAndTheSkinnedSystemColours) {
    {
        Form1 plain(dialogs, folder.environment());
        plain.Form_Load();
        EXPECT_EQ(LabelOf(plain, "Label3")->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_TRUE(plain.styleSheet().isEmpty());
        // White as painted, inside the frame and behind a label, not only in the palette.
        const QImage shot = plain.grab().toImage();
        for (QWidget* w : {static_cast<QWidget*>(FrameOf(plain, "Frame1")),
                           static_cast<QWidget*>(LabelOf(plain, "Label3"))})
            EXPECT_EQ(shot.pixelColor(w->mapTo(&plain, QPoint(w->width() - 4, w->height() - 4))),
                      QColor(Qt::white))
                << w->objectName().toStdString();
    }
    const QByteArray sheet = "QPushButton { color: rgb(200, 0, 0); }";
    folder.addSkin(sheet);
    Form1 form(dialogs, folder.environment());
    form.Form_Load();
    const QColor face = SystemFaceColour();
    for (QWidget* w : {static_cast<QWidget*>(&form), static_cast<QWidget*>(FrameOf(form, "Frame1")),
                       static_cast<QWidget*>(LabelOf(form, "Label3"))})
        EXPECT_EQ(w->palette().color(QPalette::Window), face);
    EXPECT_EQ(TextBox(form, "Text1")->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(form.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST(PointerFile, TheHandKeepsItsHotSpotAndUnreadableFilesGiveNothing) {
    const std::optional<QCursor> hand = LoadPointerFile(BuiltResource("HAND-M.CUR"));
    ASSERT_TRUE(hand.has_value());
    EXPECT_EQ(hand->hotSpot(), QPoint(6, 0));
    EXPECT_EQ(hand->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(LoadPointerFile(BuiltResource("drag.ico"))->hotSpot(), QPoint(16, 16));
    EXPECT_FALSE(LoadPointerFile(BuiltResource("CMakeCache.txt")).has_value());
    EXPECT_FALSE(LoadPointerFile(BuiltResource("missing.cur")).has_value());
}

class Form1ServerTest : public DatabaseTest {
protected:
    std::vector<Shape> shapesWhileShown(Form1& form) {
        std::vector<Shape> shapes;
        dialogs.whileShown = [&](const ScriptedDialogs::Call&) {
            shapes.push_back(form.pointer().shape());
        };
        Button(form, "PushButton5")->click();
        dialogs.whileShown = nullptr;
        return shapes;
    }
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
};

TEST_F(Form1ServerTest, TestConnectionSaysWhetherTheServerTakesTheProfile) {
    Form1 form(dialogs, folder.environment());
    TypeProfile(form, profile());
    EXPECT_EQ(shapesWhileShown(form), std::vector<Shape>{Shape::Hourglass});
    EXPECT_EQ(dialogs.shownTexts(), QStringList{"Connection successful."});
    EXPECT_EQ(form.pointer().shape(), Shape::Default);

    dialogs.clear();
    TextBox(form, "Text3")->setText("wrong password");
    EXPECT_EQ(shapesWhileShown(form), std::vector<Shape>{Shape::Hourglass});
    EXPECT_EQ(dialogs.shownTexts(), QStringList{kCouldNotConnect});
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::None);
    EXPECT_EQ(form.pointer().shape(), Shape::Default);
}

TEST_F(Form1ServerTest, AnIncompleteOrRefusedStoredProfileLeavesTheWindowUpWithoutAMessage) {
    // An account without a password, which the server takes: the stored profile is still never
    // tried, because its password box is empty.
    const QString user = database_.right(24) + "_np";
    exec(QStringLiteral("CREATE USER '%1'@'%' IDENTIFIED BY ''").arg(user));
    exec(QStringLiteral("GRANT ALL ON `%1`.* TO '%2'@'%'").arg(database_, user));
    ConnectionProfile noPassword = profile();
    noPassword.user = user;
    noPassword.password.clear();
    EXPECT_TRUE(CanConnectToMySQL(noPassword));
    ConnectionProfile refused = profile();
    refused.password = "not the password";
    for (const ConnectionProfile& p : {noPassword, refused}) {
        StoreProfile(p);
        Form1 form(dialogs, folder.environment());
        form.start();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.handedOver());
        EXPECT_EQ(form.loadedMainWindow(), nullptr);
        EXPECT_TRUE(dialogs.calls.empty());
    }
    exec(QStringLiteral("DROP USER '%1'@'%'").arg(user));
}

TEST_F(Form1Test, AServerAskingForThePasswordWithoutTlsGetsNothingAtStartOrOnTest) {
    // Servers without TLS that ask for the password as text, or for the password itself.
    const QByteArray methods[] = {"mysql_clear_password", "caching_sha2_password",
                                  "sha256_password"};
    for (const QByteArray& method : methods) {
        ScriptedDialogs scripted;
        FakeServer server("mysql_native_password", method);
        const ConnectionProfile p{"127.0.0.1", "someone", "Secret-Pa55word-XYZ", "db",
                                  QString::number(server.port())};
        StoreProfile(p);
        Form1 form(scripted, folder.environment());
        form.start();  // the stored profile is complete, so it is probed without a click
        EXPECT_FALSE(form.handedOver()) << method.constData();
        EXPECT_TRUE(scripted.calls.empty()) << method.constData();

        Button(form, "PushButton5")->click();
        EXPECT_EQ(scripted.shownTexts(), QStringList{kCouldNotConnect}) << method.constData();
        EXPECT_EQ(server.connections(), 2) << method.constData();
        EXPECT_FALSE(server.received().contains(p.password.toUtf8())) << method.constData();
    }
}

#if VANTRELLE_FAKE_SERVER_TLS
// "Test Connection" is where a user learns that the server's certificate has changed since it was
// first seen, and what to remove to accept the new one.
TEST_F(Form1Test, TestConnectionTellsOfAChangedCertificate) {
    FakeServer::Script script{.greetingMethod = "caching_sha2_password",
                              .method = "caching_sha2_password",
                              .password = "Secret-Pa55word-XYZ",
                              .tls = true};
    FakeServer server(script);
    ScriptedDialogs scripted;
    Form1 form(scripted, folder.environment());
    TypeProfile(
        form, {"127.0.0.1", "someone", "Secret-Pa55word-XYZ", "", QString::number(server.port())});
    Button(form, "PushButton5")->click();
    script.certificate = FakeServer::Certificate::Second;
    server.setScript(script);
    Button(form, "PushButton5")->click();
    const QStringList shown = scripted.shownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], "Connection successful.");
    EXPECT_TRUE(
        shown[1].startsWith(kCouldNotConnect + "\r\rThe certificate of the server 127.0.0.1"))
        << shown[1].toStdString();
    EXPECT_TRUE(shown[1].endsWith("; the next login remembers it.")) << shown[1].toStdString();
}
#endif

}  // namespace
