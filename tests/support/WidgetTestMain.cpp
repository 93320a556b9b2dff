// main() for widget test binaries. Discovery (--gtest_list_tests) runs without
// the test environment, so it must not create a QApplication.
#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
