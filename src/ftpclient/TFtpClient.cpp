#include "ftpclient/TFtpClient.h"

#include "ftpclient/ClientTexts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>

using enum TFtpState;

namespace {
std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
// The engine's own time-out says what did not arrive; the wait's deadline
// comes after it and only guards what the engine does not time.
constexpr std::int64_t kGraceMs = 1000;
} // namespace

TFtpClient::TFtpClient(QObject* parent) : TCustomFtpCli(parent) {}

bool TFtpClient::TriggerProgress() {
    // Progress proves the transfer is alive: the time-out starts again.
    if (Timeout >= 1)
        deadline_ = Now() + static_cast<std::int64_t>(Timeout) * 1000 + kGraceMs;
    return TCustomFtpCli::TriggerProgress();
}

void TFtpClient::TriggerRequestDone(TFtpRequest request, int error) {
    if (wait_) {
        if (!wait_->request || *wait_->request == request) {
            wait_->done = true;
            wait_->error = error;
        }
        // The wait looks again once this event is over (the owner's handler
        // may start the next request first).
        wait_->loop->quit();
    }
    TCustomFtpCli::TriggerRequestDone(request, error);
}

bool TFtpClient::Synchronize(const std::function<void()>& request) {
    Wait wait;
    bool ok = false;
    try {
        request();
        wait.request = RequestType();
        ok = RunWait(wait);
    } catch (const std::exception& e) {
        // A request started wrongly: its text is the failure to report.
        SetFailure(e.what(), StatusCode());
        lastError_ = -1;
        return false;
    }
    lastError_ = ok ? wait.error : 426;
    return ok && lastError_ == 0;
}

bool TFtpClient::WaitUntilReady() {
    Wait wait;
    wait.done = State() == ftpcReady;
    const bool ok = RunWait(wait);
    lastError_ = ok ? wait.error : 426;
    return ok;
}

bool TFtpClient::RunWait(Wait& wait) {
    deadline_ = Now() + static_cast<std::int64_t>(Timeout) * 1000 + kGraceMs;
    QEventLoop loop;
    wait.loop = &loop;
    Wait* const outer = wait_;
    wait_ = &wait;
    bool timedOut = false;
    // Sleeps until the deadline; progress moves the deadline, so the timer
    // looks again when it fires early.
    QTimer deadline;
    deadline.setSingleShot(true);
    auto armDeadline = [&] {
        const std::int64_t left = std::max<std::int64_t>(0, deadline_ - Now());
        deadline.start(static_cast<int>(std::min<std::int64_t>(left, INT_MAX)));
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        if (deadline_ - Now() > 0) {
            armDeadline();
            return;
        }
        timedOut = true;
        loop.quit();
    });
    bool quitting = false;
    if (auto* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &loop, [&] {
            quitting = true;
            loop.quit();
        });
    bool ready = false;
    while (true) {
        if (wait.done && (State() == ftpcReady || State() == ftpcClosed)) {
            ready = true;
            break;
        }
        if (timedOut || quitting || QCoreApplication::closingDown())
            break;
        if (Timeout > 0 && !deadline.isActive())
            armDeadline();
        loop.exec();
    }
    wait_ = outer;
    if (ready)
        return true;
    Abort();
    // The abort posts 426 for the running request; that is the timeout's own.
    QCoreApplication::processEvents();
    SetFailure(ftpclient_texts::kTimeout, 426);
    return false;
}
