#include <QApplication>
#include <cstdio>

#include "core/CommandLine.h"
#include "ui/Dialogs.h"
#include "ui/login/Form1.h"

int main(int argc, char** argv) {
    // "--version" and "--help" are answered before the application object exists, so that they
    // work without a display and open no window.
    if (const std::optional<QString> answer = CommandLineAnswer(argc, argv)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    // Desktops match the running windows to the menu entry, and so to its icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.kestrom.Vantrelle"));
    // Closing either window ends the program itself; a hidden window left over is no reason to
    // keep running, and the last one closing is no reason to end another way.
    QApplication::setQuitOnLastWindowClosed(false);
    QtDialogs dialogs;
    Form1 form1(dialogs, StartEnvironment::ofThisProgram());
    form1.start();
    return QApplication::exec();
}
