#include "tools/FtpToolWaiter.h"

#include "ftpclient/TFtpClient.h"
#include "tools/FtpTexts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {
// The engine times the greeting and each reply itself and says what did not
// come; this wait comes a little after it and guards everything else.
constexpr std::chrono::seconds kGrace{1};
} // namespace

void FtpToolWaiter::Wake() {
    if (loop_ && finished_ && finished_())
        loop_->quit();
}

bool FtpToolWaiter::Until(const std::function<bool()>& finished) {
    if (finished())
        return true;
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    auto arm = [&] {
        using namespace std::chrono;
        const auto left = lastActivity_ + seconds(timeout_) + kGrace - Clock::now();
        silence.start(
            static_cast<int>(std::max<std::int64_t>(0, duration_cast<milliseconds>(left).count())));
    };
    bool silent = false;
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        // Activity moves the time-out on; the timer looks again when it fires early.
        if (Clock::now() - lastActivity_ < std::chrono::seconds(timeout_) + kGrace) {
            arm();
            return;
        }
        silent = true;
        loop.quit();
    });
    if (timeout_ > 0)
        arm();
    QEventLoop* outerLoop = loop_;
    std::function<bool()> outerFinished = std::move(finished_);
    loop_ = &loop;
    finished_ = finished;
    while (!finished() && !silent)
        loop.exec();
    loop_ = outerLoop;
    finished_ = std::move(outerFinished);
    if (silent && !finished()) {
        timedOut_ = true;
        if (BeforeAbort)
            BeforeAbort();
        client_.Abort();
        QCoreApplication::processEvents();
        return false;
    }
    return true;
}

TransferResult FtpToolWaiter::Run(const std::function<void(TransferDone)>& start) {
    TransferResult result;
    bool done = false;
    lastActivity_ = Clock::now();
    start([&](const TransferResult& r) {
        result = r;
        done = true;
        Wake();
    });
    if (!Until([&] { return done; })) {
        // The abort ends the operation; its report is the time-out's.
        Until([&] { return done; });
        result.Error = 426;
        result.ErrorMessage = ftptool_texts::kTimedOut;
    }
    return result;
}

void FtpToolWaiter::SuperviseAlone(bool alone) {
    if (alone == alone_)
        return;
    alone_ = alone;
    if (alone) {
        engineTimeout_ = client_.Timeout;
        client_.Timeout = 0;
    } else {
        client_.Timeout = engineTimeout_;
    }
}
