#include "net/TransferPacer.h"

#include <algorithm>

void TransferPacer::Use(LoopClock* clock, QObject* context) {
    clock_ = clock;
    context_ = context;
}

void TransferPacer::SetBuckets(std::initializer_list<TokenBucket*> buckets) {
    buckets_.clear();
    for (TokenBucket* bucket : buckets)
        if (bucket != nullptr)
            buckets_.push_back(bucket);
}

std::int64_t TransferPacer::NowMs() const {
    return (clock_ != nullptr ? *clock_ : LoopClock::System()).SteadyMs();
}

bool TransferPacer::Limited() const {
    return std::any_of(buckets_.begin(), buckets_.end(),
                       [](const TokenBucket* b) { return b->Limited(); });
}

std::int64_t TransferPacer::Allowance(std::int64_t want) {
    const std::int64_t now = NowMs();
    for (TokenBucket* bucket : buckets_)
        want = std::min(want, bucket->Allowance(want, now));
    return want;
}

void TransferPacer::Spend(std::int64_t bytes) {
    for (TokenBucket* bucket : buckets_)
        bucket->Spend(bytes);
}

void TransferPacer::WhenReady(std::int64_t want, std::function<void()> ready) {
    const std::int64_t now = NowMs();
    std::int64_t wait = 0;
    for (TokenBucket* bucket : buckets_)
        wait = std::max(wait, bucket->WaitMs(want, now));
    wait = std::clamp<std::int64_t>(wait, 1, kLongestWaitMs);
    const unsigned generation = ++generation_;
    waiting_ = true;
    LoopClock& clock = clock_ != nullptr ? *clock_ : LoopClock::System();
    clock.After(wait, context_, [this, generation, ready = std::move(ready)] {
        if (generation != generation_)
            return;
        waiting_ = false;
        ready();
    });
}
