#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/Dialogs.h"
#include "ui/login/Form1.h"

// The login window beside the program's real boxes and dialogs.
class RealBoxes : public ::testing::Test {
protected:
    RealBoxes() { login.show(); }
    // The top-level window of the kind that shows now, if any.
    template <class Window>
    static Window* Shown() {
        Window* shown = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* t = qobject_cast<Window*>(w); t && t->isVisible()) shown = t;
        return shown;
    }
    static void Press(QWidget* target, Qt::Key key, const QString& text = QString()) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &event);
    }

    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs scripted;
    Form1 login{scripted, folder.environment()};
    QtDialogs real;
};
