// main() of every GUI test binary: a QApplication on the offscreen platform
// (also when ctest runs the binary to list its tests, without the test
// environment), with run-time errors recorded instead of shown.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace testing_support {
void installRecorder();
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing_support::installRecorder();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
