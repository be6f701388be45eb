#include "ui/login/Form1.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTime>
#include <QTimer>

#include "core/AppInfo.h"
#include "core/PathUtils.h"
#include "core/Settings.h"
#include "core/Steps.h"
#include "db/Connection.h"
#include "ui/ChangeHandlers.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/WindowSetup.h"
#include "ui/WorkerThread.h"
#include "ui/main/Form2.h"
#include "ui/main/TableLists.h"

namespace {
constexpr int kGreetingNumber = 7;
constexpr int kSlowStartMilliseconds = 1000;

}  // namespace

int DrawGreetingNumber() {
    QRandomGenerator generator(static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay()));
    return static_cast<int>(generator.generateDouble() * 100) + 1;
}

StartEnvironment StartEnvironment::ofThisProgram() {
    return {ProgramFolder(), HomePage(), &DrawGreetingNumber};
}

Form1::Form1(Dialogs& dialogs, StartEnvironment environment, QWidget* parent)
    : ProgramWindow(parent), dialogs_(dialogs), environment_(std::move(environment)) {
    setObjectName(QStringLiteral("Form1"));
    MakeFixedWindow(*this, QSize(Twips(8040), Twips(3690)));
    setFont(ArialFont(9, false));
    // The design colours: white throughout, until a skin asks for the system colours.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    Frame1 =
        MakeFrame(this, "Frame1", QStringLiteral("MySQL Login"), TwipsRect(120, 120, 7800, 2895));

    Label2 = MakeLabel(Frame1, "Label2", QStringLiteral("Server:"), TwipsRect(240, 405, 1095, 255));
    Text1 = MakeTextBox(Frame1, "Text1", TwipsRect(1320, 360, 4575, 345));
    Label9 = MakeLabel(Frame1, "Label9", QStringLiteral("Port:"), TwipsRect(6000, 405, 495, 255));
    Text5 = MakeTextBox(Frame1, "Text5", TwipsRect(6480, 360, 1095, 345));
    Label1 =
        MakeLabel(Frame1, "Label1", QStringLiteral("Username:"), TwipsRect(240, 885, 1095, 255));
    Text2 = MakeTextBox(Frame1, "Text2", TwipsRect(1320, 840, 6255, 345));
    Label4 =
        MakeLabel(Frame1, "Label4", QStringLiteral("Password:"), TwipsRect(240, 1365, 1095, 255));
    Text3 = MakeTextBox(Frame1, "Text3", TwipsRect(1320, 1320, 6255, 345));
    Text3->setEchoMode(QLineEdit::Password);
    // Every character of the password shows as "*", whatever the style's own choice.
    Text3->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Label3 =
        MakeLabel(Frame1, "Label3", QStringLiteral("Database:"), TwipsRect(240, 1845, 975, 255));
    Text4 = MakeTextBox(Frame1, "Text4", TwipsRect(1320, 1800, 6255, 345));
    PushButton5 = MakePushButton(Frame1, "PushButton5", QStringLiteral("Test Connection"),
                                 TwipsRect(240, 2280, 3600, 405));
    PushButton4 = MakePushButton(Frame1, "PushButton4", QStringLiteral("Help"),
                                 TwipsRect(3960, 2280, 3600, 405));
    PushButton3 = MakePushButton(this, "PushButton3", QStringLiteral("Next >"),
                                 TwipsRect(120, 3150, 7800, 405));

    setTabOrder({Text1, Text5, Text2, Text3, Text4, PushButton5, PushButton4, PushButton3});

    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });

    changes_ = new ChangeHandlers(dialogs_, QStringLiteral("Form1"), this);
    const struct {
        QLineEdit* box;
        const char* procedure;
        const char* key;
    } remembered[] = {{Text1, "Text1_Change", "MyServer"},
                      {Text2, "Text2_Change", "MyUser"},
                      {Text3, "Text3_Change", "MyPassword"},
                      {Text4, "Text4_Change", "MyDatabase"},
                      {Text5, "Text5_Change", "MyPort"}};
    for (const auto& r : remembered) {
        QLineEdit* box = r.box;
        const QString key = QString::fromLatin1(r.key);
        changes_->connect(box, QString::fromLatin1(r.procedure),
                          [box, key] { Settings::write(key, box->text()); });
        box->installEventFilter(this);
    }

    hover_ = new HoverRules(pointer(), this);
    hover_->addWindow(this);
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Text1, Text2, Text3, Text4})
        hover_->add(w, HoverRules::Rule::Background);
    for (QWidget* w : std::initializer_list<QWidget*>{PushButton3, PushButton4, PushButton5})
        hover_->add(w, HoverRules::Rule::Button);
    for (QWidget* w :
         std::initializer_list<QWidget*>{Text5, Label1, Label2, Label3, Label4, Label9})
        hover_->add(w, HoverRules::Rule::None);
}

Form2& Form1::mainWindow() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(dialogs_, *this);
        form2_->Form_Load();
    }
    return *form2_;
}

void Form1::start() {
    // A server that is slow to answer the start-up probe still leaves a window on screen, and a
    // close box: after a second the login window shows, with the hourglass, until the load is
    // done. A server that answers at once takes the user to the main window without it.
    QTimer slowStart;
    slowStart.setSingleShot(true);
    connect(&slowStart, &QTimer::timeout, this, [this] {
        if (handedOver_) return;
        pointer().setHourglass();
        showWindow();
    });
    slowStart.start(kSlowStartMilliseconds);
    Form_Load();
    slowStart.stop();
    if (pointer().shape() == WindowPointer::Shape::Hourglass) pointer().setDefault();
    if (handedOver_) return;
    showWindow();
}

void Form1::Form_Load() {
    Steps steps(dialogs_, Location::of(QStringLiteral("Form1"), QStringLiteral("Form_Load")));
    steps.run(100, [&] { ApplySkin(*this, SkinFramework1, environment_.programFolder); });
    steps.run(104, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(AppIcon());
        SetAppTitle();
    });
    steps.run(106, [&] {
        if (environment_.greetingDraw() == kGreetingNumber && !environment_.homePage.isEmpty())
            dialogs_.openInBrowser(environment_.homePage);
    });
    loadPointerImage(steps, 126, 128, environment_.programFolder);
    steps.run(130, [&] { changes_->setText(Text1, Settings::read("MyServer", "localhost")); });
    steps.run(132, [&] { changes_->setText(Text2, Settings::read("MyUser")); });
    steps.run(134, [&] { changes_->setText(Text3, Settings::read("MyPassword")); });
    steps.run(136, [&] { changes_->setText(Text4, Settings::read("MyDatabase")); });
    steps.run(138, [&] { changes_->setText(Text5, Settings::read("MyPort", "3306")); });
    if (!steps.passes(140, [&] { return profileIsComplete(); })) return;
    if (!steps.passes(142, [&] { return probe(); })) return;
    steps.run(144, [&] { PushButton3_Click(); });
}

bool Form1::profileIsComplete() const {
    // The port may be empty: the driver then takes the standard one.
    return !Text1->text().isEmpty() && !Text2->text().isEmpty() && !Text3->text().isEmpty() &&
           !Text4->text().isEmpty();
}

ConnectionProfile Form1::profile() const {
    return {Text1->text(), Text2->text(), Text3->text(), Text4->text(), Text5->text()};
}

std::optional<Failure> Form1::probeFailure() const {
    // The profile is read here, on this thread; only the wait for the server runs off it, so the
    // windows keep painting and their close boxes keep working.
    const ConnectionProfile current = profile();
    WorkerThread worker;
    return worker.run([&] { return ConnectionFailure(current); });
}

bool Form1::probe() const {
    return !probeFailure();
}

void Form1::PushButton3_Click() {
    Steps steps(dialogs_,
                Location::of(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click")));
    if (!steps.passes(100, [&] { return probe(); })) return;
    // The first use of the main window loads it, before either list is filled.
    steps.run(102, [&] { AddMySQLToList1(dialogs_, mainWindow().downloadTables(), profile()); });
    steps.run(104, [&] { AddMySQLToList1(dialogs_, mainWindow().uploadTables(), profile()); });
    steps.run(106, [&] { mainWindow().showWindow(); });
    steps.run(108, [&] {
        hide();
        handedOver_ = true;
    });
}

void Form1::PushButton4_Click() {
    Steps steps(dialogs_,
                Location::of(QStringLiteral("Form1"), QStringLiteral("PushButton4_Click")));
    QString text;
    steps.run(104, [&] {
        text = QStringLiteral(
            "If you cannot establish connection to your database with this "
            "program, please go to: \r\r");
    });
    steps.run(106,
              [&] { text += QStringLiteral("https://dev.mysql.com/downloads/workbench/\r\r"); });
    steps.run(108, [&] {
        text += QStringLiteral(
            "Download and install the MySQL Workbench. Try to connect to the "
            "same database (with the same login information you are using "
            "here). This will determine if the login you are using is "
            "correct.\r\r");
    });
    steps.run(110, [&] {
        text += QStringLiteral(
            "Finally, make sure your host allows a direct connection to your "
            "MySQL database -- not a web based connection, for example.");
    });
    steps.run(112, [&] { dialogs_.message(text); });
}

void Form1::PushButton5_Click() {
    // A connection that cannot open is answered with the could-not-connect message, never with a
    // report; the hourglass stays up while either message shows.
    pointer().setHourglass();
    DoEvents();
    const std::optional<Failure> failure = probeFailure();
    if (!failure) {
        dialogs_.message(QStringLiteral("Connection successful."));
    } else {
        QString text = QStringLiteral(
            "Could not connect. Please check with your administrator. Make sure you are allowed to "
            "connect to your database remotely and not just through web-based control panels.");
        // A changed certificate is the one cause the user can only learn here, with what to do.
        if (failure->number == kCertificateChangedFailure)
            text += QStringLiteral("\r\r") + ReadableDescription(failure->description);
        dialogs_.message(text);
    }
    pointer().setDefault();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        // Select the whole text once the focus has arrived, so that typing replaces it; a click
        // that brought the focus would otherwise place the caret instead.
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}
