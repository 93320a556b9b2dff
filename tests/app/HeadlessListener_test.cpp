// The headless server ends with an error when its listening socket fails on
// its own, so a service manager sees the failure and can start it again.
#include "AppTestEnv.h"
#include "Peers.h"
#include "app/HeadlessServer.h"

#include <QTimer>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace {

// The listening socket of this process, or -1.
int ListeningDescriptor() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        int listening = 0;
        socklen_t len = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening)
            return fd;
    }
    return -1;
}

class HeadlessListener : public AppTestEnv {};

TEST_F(HeadlessListener, AFailedListenerEndsTheServerWithAnError) {
    const std::string data = root.File("served/");
    std::filesystem::create_directories(data);
    testing_support::WriteFile(data + "vexa2.ini", "[Server Options]\r\nServerPort=0\r\n");
    bool shutDown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int fd = ListeningDescriptor();
        if (fd >= 0 && !shutDown) {
            // Its next accept fails with EINVAL: the listener itself is gone.
            shutDown = ::shutdown(fd, SHUT_RD) == 0;
        }
    });
    poll.start(20);
    // A watchdog: a server that never notices ends by the stop signal (0).
    QTimer::singleShot(20000, [] { ::raise(SIGTERM); });
    const int status = RunHeadlessServer({"--data-dir", data}, data);
    poll.stop();
    EXPECT_TRUE(shutDown);
    EXPECT_EQ(status, 1);
}

} // namespace
