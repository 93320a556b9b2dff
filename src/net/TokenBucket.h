#pragma once
// A speed limit as a token bucket: bytes may go while the bucket holds
// tokens, and it refills at the limit's rate up to a tenth of a second's
// worth, so a transfer that waited never bursts far beyond the limit.
#include <cstdint>

class TokenBucket {
public:
    // Smallest bucket, so a low limit still moves whole blocks.
    static constexpr std::int64_t kMinimumCapacity = 4096;

    // Bytes per second, 0 for no limit. A changed rate applies from now on;
    // the tokens held stay, within the new bucket's size.
    void SetRate(std::int64_t bytesPerSecond, std::int64_t nowMs);
    std::int64_t Rate() const { return rate_; }
    bool Limited() const { return rate_ > 0; }
    std::int64_t Capacity() const;
    // Bytes that may go at nowMs, at most want (want itself without a limit).
    std::int64_t Allowance(std::int64_t want, std::int64_t nowMs);
    // Takes bytes sent or received; the bucket never goes below empty.
    void Spend(std::int64_t bytes);
    // Milliseconds from nowMs until want bytes (at most a bucketful) may go.
    std::int64_t WaitMs(std::int64_t want, std::int64_t nowMs);

private:
    void Refill(std::int64_t nowMs);

    std::int64_t rate_ = 0;
    double tokens_ = 0;
    std::int64_t lastMs_ = 0;
};
