// main() for test binaries without widgets: one QCoreApplication around the
// whole GoogleTest run, so sockets and timers have their event loop.
#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
