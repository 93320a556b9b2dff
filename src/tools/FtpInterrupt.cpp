#include "tools/FtpInterrupt.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int wakePipe[2] = {-1, -1};

extern "C" void WakeOnSignal(int signal) {
    const unsigned char number = static_cast<unsigned char>(signal);
    // Only async-signal-safe work here: one byte into the pipe.
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &number, 1);
}
} // namespace

FtpInterrupt::FtpInterrupt(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char number = 0;
        if (::read(wakePipe[0], &number, 1) == 1 && onSignal_)
            onSignal_(number);
    });
    std::signal(SIGINT, WakeOnSignal);
    std::signal(SIGTERM, WakeOnSignal);
}

FtpInterrupt::~FtpInterrupt() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    for (int& fd : wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
