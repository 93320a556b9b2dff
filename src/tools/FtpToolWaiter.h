#pragma once
#include "client/SessionTransfers.h"

#include <chrono>
#include <functional>

class QEventLoop;
class TFtpClient;

// Sleeps in the event loop until a condition holds: whoever changes what
// the condition reads calls Wake(), and a timer wakes it at the time-out.
// Silence (no log line, no data) longer than the time-out aborts the
// engine; lastActivity is moved on by the caller's log and progress.
class FtpToolWaiter {
public:
    using Clock = std::chrono::steady_clock;
    FtpToolWaiter(TFtpClient& client, Clock::time_point& lastActivity, int timeoutSeconds)
        : client_(client), lastActivity_(lastActivity), timeout_(timeoutSeconds) {}

    bool TimedOut() const { return timedOut_; }
    // A new connection after a time-out: waits are judged afresh.
    void ClearTimedOut() { timedOut_ = false; }
    // Runs just before a time-out aborts the engine (which closes the
    // connection and empties the queue).
    std::function<void()> BeforeAbort;
    // Something changed: a running wait looks again.
    void Wake();
    // False when the server went silent (the engine has then been aborted).
    bool Until(const std::function<bool()>& finished);
    // Runs one operation of the session's transfer API to its end; a
    // time-out ends it with 426 and the time-out's reason.
    TransferResult Run(const std::function<void(TransferDone)>& start);
    // While a queue runs, silence is judged here alone: the engine's own
    // time-out would drop the connection and empty the queue before the
    // entries still to run could be kept for a new connection.
    void SuperviseAlone(bool alone);

private:
    TFtpClient& client_;
    Clock::time_point& lastActivity_;
    int timeout_;
    bool timedOut_ = false;
    int engineTimeout_ = 0;
    bool alone_ = false;
    QEventLoop* loop_ = nullptr;
    std::function<bool()> finished_;
};
