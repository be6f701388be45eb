#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <cstring>

// Widget tests need one application object for the whole run. Listing the tests needs no window
// system; a test that needs a real one is given the private display's number in a file
// (tests/program/display.sh).
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    if (const QString file = qEnvironmentVariable("VANTRELLE_DISPLAY_FILE"); !file.isEmpty()) {
        QFile number(file);
        if (!number.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "no private display: %s cannot be read\n", qPrintable(file));
            return 1;
        }
        qputenv("DISPLAY", ":" + number.readAll().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        qunsetenv("WAYLAND_DISPLAY");
        // No session bus belongs to the private display: with none named, the bus library would
        // try to start one for it, which would outlive the display.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
