#pragma once
#include <QSocketNotifier>

#include <functional>
#include <memory>

// Ctrl-C (SIGINT) and SIGTERM while vexa2-ftp runs: the signal only wakes
// the event loop, and onSignal runs there, where the engine can be stopped
// cleanly. One at a time; the default handling returns when it goes.
class FtpInterrupt {
public:
    explicit FtpInterrupt(std::function<void(int signal)> onSignal);
    ~FtpInterrupt();
    FtpInterrupt(const FtpInterrupt&) = delete;
    FtpInterrupt& operator=(const FtpInterrupt&) = delete;

private:
    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
