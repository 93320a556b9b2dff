#include "net/TokenBucket.h"

#include <algorithm>
#include <cmath>

std::int64_t TokenBucket::Capacity() const {
    return std::max(rate_ / 10, kMinimumCapacity);
}

void TokenBucket::SetRate(std::int64_t bytesPerSecond, std::int64_t nowMs) {
    bytesPerSecond = std::max<std::int64_t>(bytesPerSecond, 0);
    if (bytesPerSecond == rate_)
        return;
    Refill(nowMs);
    // A limit set where there was none starts with a full bucket.
    const bool fresh = rate_ == 0;
    rate_ = bytesPerSecond;
    lastMs_ = nowMs;
    const double capacity = static_cast<double>(Capacity());
    tokens_ = fresh ? capacity : std::min(tokens_, capacity);
}

void TokenBucket::Refill(std::int64_t nowMs) {
    if (rate_ == 0) {
        lastMs_ = nowMs;
        return;
    }
    if (nowMs > lastMs_) {
        tokens_ += static_cast<double>(nowMs - lastMs_) * static_cast<double>(rate_) / 1000.0;
        tokens_ = std::min(tokens_, static_cast<double>(Capacity()));
    }
    lastMs_ = std::max(lastMs_, nowMs);
}

std::int64_t TokenBucket::Allowance(std::int64_t want, std::int64_t nowMs) {
    if (rate_ == 0)
        return want;
    Refill(nowMs);
    return std::min(want, static_cast<std::int64_t>(std::floor(tokens_)));
}

void TokenBucket::Spend(std::int64_t bytes) {
    if (rate_ == 0)
        return;
    tokens_ = std::max(0.0, tokens_ - static_cast<double>(bytes));
}

std::int64_t TokenBucket::WaitMs(std::int64_t want, std::int64_t nowMs) {
    if (rate_ == 0)
        return 0;
    Refill(nowMs);
    const double need = static_cast<double>(std::min(want, Capacity())) - tokens_;
    if (need <= 0)
        return 0;
    return static_cast<std::int64_t>(std::ceil(need * 1000.0 / static_cast<double>(rate_)));
}
