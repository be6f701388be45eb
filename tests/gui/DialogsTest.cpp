#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "core/AppInfo.h"
#include "gui/GuiSupport.h"
#include "gui/RealBoxes.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/Dialogs.h"
#include "ui/login/Form1.h"

namespace {

// The program's real boxes and dialogs beside its login window, each answered from the event loop
// while it shows.
class RealDialogsOnDisplay : public RealBoxes {
protected:
    // Runs `act` on the dialog of the kind that shows while `show` waits for its answer; a dialog
    // that `act` leaves open is cancelled then, and so is any other, so that no test waits.
    template <class Window>
    static void WhileShown(const std::function<void()>& show,
                           const std::function<void(Window*)>& act) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            Window* shown = Shown<Window>();
            seen = shown != nullptr;
            if (shown) act(shown);
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* open = qobject_cast<QDialog*>(w); open && open->isVisible())
                    open->reject();
        });
        show();
        EXPECT_TRUE(seen);
    }

    Dialogs& dialogs = real;
};

// A box is at least as wide as its caption needs, as a Windows message box is: the caption's text
// in the title bar's font, and beside it the frame's icon, its close button and its borders, which
// take several times the font's height. Its frame offers the close button only.
TEST_F(RealDialogsOnDisplay, EveryBoxShowsItsWholeCaptionAndOnlyACloseButtonInItsFrame) {
    const QString longTitle = QStringLiteral("Vantrelle Blob Transfer For Every Table");
    struct Case {
        const char* box;
        QString caption;
        std::function<void()> show;
    };
    const Case cases[] = {
        {"Done.", AppTitle(), [&] { dialogs.message(QStringLiteral("Done.")); }},
        {"File Stored", AppTitle(), [&] { dialogs.message(QStringLiteral("File Stored")); }},
        {"error report", QStringLiteral("Application Error"),
         [&] { dialogs.errorReport(QStringLiteral("x")); }},
        {"long caption", longTitle,
         [&] { dialogs.message(QStringLiteral("x"), Dialogs::Icon::Warning, longTitle); }},
        {"input box", AppTitle(), [&] { dialogs.inputBox(QStringLiteral("?"), QString(), "*"); }},
    };
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        WhileShown<QDialog>(c.show, [&](QDialog* box) {
            EXPECT_EQ(box->windowTitle(), c.caption);
            EXPECT_GE(box->width(), title.horizontalAdvance(c.caption) + 4 * title.height());
            EXPECT_GE(box->width(), CaptionWidth(c.caption));
            const Qt::WindowFlags flags = box->windowFlags();
            EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
            EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                  Qt::WindowContextHelpButtonHint));
            box->reject();
        });
    }
}

// Escape closes a box as its cancel; Return, or Enter on the keypad, presses the box's focused
// button.
TEST_F(RealDialogsOnDisplay, EscapeCancelsABoxAndReturnPressesItsFocusedButton) {
    struct Case {
        const char* keys;
        std::function<QWidget*(QDialog*)> focus;  // the control that takes the key
        Qt::Key key;
        QString answer;  // the input box's answer
    };
    const auto edit = [](QDialog* box) -> QWidget* { return box->findChild<QLineEdit*>(); };
    const auto button = [](QDialogButtonBox::StandardButton which) {
        return [which](QDialog* box) -> QWidget* {
            QPushButton* b = box->findChild<QDialogButtonBox*>()->button(which);
            b->setFocus();
            return b;
        };
    };
    const Case cases[] = {
        {"Escape in the text", edit, Qt::Key_Escape, ""},
        {"Return in the text", edit, Qt::Key_Return, "jpg"},
        {"Return on OK", button(QDialogButtonBox::Ok), Qt::Key_Return, "jpg"},
        {"Enter on OK", button(QDialogButtonBox::Ok), Qt::Key_Enter, "jpg"},
        {"Return on Cancel", button(QDialogButtonBox::Cancel), Qt::Key_Return, ""},
        {"Enter on Cancel", button(QDialogButtonBox::Cancel), Qt::Key_Enter, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        QString answer = QStringLiteral("unanswered");
        bool closedByKey = false;
        WhileShown<QDialog>([&] { answer = dialogs.inputBox("Extension?", "", "jpg"); },
                            [&](QDialog* box) {
                                Press(c.focus(box), c.key);
                                closedByKey = !box->isVisible();
                            });
        EXPECT_TRUE(closedByKey);
        EXPECT_EQ(answer, c.answer);
    }
    // A message box's one button is its cancel too.
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        bool closedByKey = false;
        WhileShown<QDialog>([&] { dialogs.message(QStringLiteral("Done.")); },
                            [&](QDialog* box) {
                                QPushButton* ok = box->findChild<QPushButton*>();
                                ok->setFocus();
                                Press(ok, key);
                                closedByKey = !box->isVisible();
                            });
        EXPECT_TRUE(closedByKey) << key;
    }
}

// The file and folder dialogs wait modal to their window, as the system's own do, and take the
// user's keys meanwhile. They open in the remembered folder when it still exists, and otherwise
// Qt's in the user's home folder and the system's where the system places it, never in the
// program's working folder.
TEST_F(RealDialogsOnDisplay,
       FileAndFolderDialogsAreModalToTheirWindowAndStartAtHomeOrTheRememberedFolder) {
    QTemporaryDir working, remembered;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    const QString home = QDir::homePath();
    // On Windows the dialogs are the system's own, which Qt shows natively.
    const bool system = QGuiApplication::platformName() == QLatin1String("windows");
    const QStringList filters = {QStringLiteral("All Pictures (*.png *.jpg)"),
                                 QStringLiteral("All Files(*.* *)")};
    struct Case {
        const char* dialog;
        std::function<void()> show;
        QString title;
        QString start;
        QStringList filters;
    };
    const Case cases[] = {
        {"file dialog", [&] { dialogs.openFiles(&login, "Add File(s)", filters); }, "Add File(s)",
         home, filters},
        {"folder dialog, nothing remembered",
         [&] { dialogs.browseForFolder(&login, "Please select folder:", ""); },
         "Please select folder:",
         home,
         {}},
        {"folder dialog, a remembered folder",
         [&] { dialogs.browseForFolder(&login, "Please select folder:", remembered.path()); },
         "Please select folder:",
         remembered.path(),
         {}},
        {"folder dialog, the remembered folder gone",
         [&] {
             dialogs.browseForFolder(&login, "Please select folder:", remembered.filePath("gone"));
         },
         "Please select folder:",
         home,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        WhileShown<QFileDialog>(c.show, [&](QFileDialog* dialog) {
            EXPECT_EQ(QGuiApplication::modalWindow(), dialog->windowHandle());
            EXPECT_EQ(dialog->parentWidget(), &login);
            EXPECT_EQ(dialog->windowTitle(), c.title);
            if (!c.filters.isEmpty()) {
                EXPECT_EQ(dialog->nameFilters(), c.filters);
            }
            const QString shows = dialog->directory().canonicalPath();
            EXPECT_NE(shows, QDir(working.path()).canonicalPath());
            // The system's own dialog opens where the system places it.
            if (system && c.start == home) return;
            EXPECT_EQ(shows, QDir(c.start).canonicalPath());
            if (system) return;
            // No guard is left holding the input: the dialog takes the user's keys.
            QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setFocus();
            Press(name, Qt::Key_Z, "z");
            EXPECT_TRUE(name->text().endsWith(u'z'));
        });
        // And the window takes them again once it has closed.
        TextBox(login, "Text2")->setText(QString());
        Press(TextBox(login, "Text2"), Qt::Key_Z, "z");
        EXPECT_EQ(TextBox(login, "Text2")->text(), "z");
    }
    QDir::setCurrent(previous);
}

}  // namespace
