#include <gtest/gtest.h>

#include <QApplication>

// The tests that need a real X server share one application object on Qt's xcb platform; they run
// through tests/program/on-xvfb.sh, which gives them a virtual display of their own.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
