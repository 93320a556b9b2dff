#include "ftpclient/TFtpClient.h"

#include "ftpclient/ClientTexts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

using enum TFtpState;

namespace {
std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

TFtpClient::TFtpClient(QObject* parent) : TCustomFtpCli(parent) {}

bool TFtpClient::TriggerProgress() {
    // Progress proves the transfer is alive: the time-out starts again.
    if (Timeout >= 1)
        deadline_ = Now() + static_cast<std::int64_t>(Timeout) * 1000;
    return TCustomFtpCli::TriggerProgress();
}

bool TFtpClient::Synchronize(const std::function<void()>& request) {
    // Completion is watched through the request's own OnRequestDone, wrapped
    // around the owner's handler so the owner still sees it.
    auto ownerHandler = OnRequestDone;
    done_ = false;
    lastError_ = 0;
    OnRequestDone = [this, ownerHandler](TCustomFtpCli* sender, TFtpRequest rq, int error) {
        done_ = true;
        lastError_ = error;
        if (ownerHandler)
            ownerHandler(sender, rq, error);
    };
    bool ok = false;
    try {
        request();
        ok = WaitUntilReady();
    } catch (const std::exception& e) {
        // A request started wrongly: its text is the failure to report.
        SetFailure(e.what(), StatusCode());
        ok = false;
        done_ = true;
        lastError_ = -1;
    }
    OnRequestDone = ownerHandler;
    return ok && lastError_ == 0;
}

bool TFtpClient::WaitUntilReady() {
    deadline_ = Now() + static_cast<std::int64_t>(Timeout) * 1000;
    QTimer tick; // wakes the wait below regularly, so the deadline is seen
    tick.start(50);
    while (true) {
        if (done_ && (State() == ftpcReady || State() == ftpcClosed))
            return true;
        if (QCoreApplication::closingDown())
            break;
        if (Timeout > 0 && Now() > deadline_)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    Abort();
    // The abort posts 426 for the running request; that is the timeout's own.
    QCoreApplication::processEvents();
    lastError_ = 426;
    done_ = true;
    SetFailure(ftpclient_texts::kTimeout, 426);
    return false;
}
