#pragma once
// Paces one transfer's bytes through the event loop: before each block the
// transfer asks how much may go under its limits (a limit of its own and any
// shared ones); when nothing may, it is called back from the loop later.
// Nothing sleeps and no thread waits.
#include "net/LoopClock.h"
#include "net/TokenBucket.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class TransferPacer {
public:
    // A waiting transfer looks again at least this often, so a limit that
    // was changed or lifted applies within a fraction of a second.
    static constexpr std::int64_t kLongestWaitMs = 250;

    // The clock and the object whose life bounds the callbacks.
    void Use(LoopClock* clock, QObject* context);
    // The limits the coming bytes count against; null entries are skipped.
    void SetBuckets(std::initializer_list<TokenBucket*> buckets);
    bool Limited() const;
    // Bytes that may go now, at most want.
    std::int64_t Allowance(std::int64_t want);
    void Spend(std::int64_t bytes);
    // Calls ready once from the loop when want bytes (at most a bucketful of
    // the smallest limit) may go, or after kLongestWaitMs.
    void WhenReady(std::int64_t want, std::function<void()> ready);
    // A callback still waiting will not be called.
    void Cancel() {
        ++generation_;
        waiting_ = false;
    }
    bool Waiting() const { return waiting_; }
    std::int64_t NowMs() const;

private:
    LoopClock* clock_ = nullptr;
    QObject* context_ = nullptr;
    std::vector<TokenBucket*> buckets_;
    unsigned generation_ = 0;
    bool waiting_ = false;
};
