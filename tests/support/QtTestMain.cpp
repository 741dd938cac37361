// main() of the window tests: a QApplication on the offscreen platform unless the environment names
// another (test discovery runs the binary without the tests' environment), and a watch that fails a test
// which leaves a modal window unanswered.

#include "support/UnansweredModals.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    vorlaxen::test::UnansweredModalWatch watch;
    return RUN_ALL_TESTS();
}
