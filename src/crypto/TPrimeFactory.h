#pragma once
#include "crypto/BigNum.h"
#include "crypto/PseudoRandom.h"
#include <array>
#include <cstdint>

// Finds probable primes near a start value: windows of 2000 consecutive
// integers sieved by the primes below 6000, then Fermat (bases 2, 3) and
// 10 Miller-Rabin rounds with bases from the shared pseudo-random generator.
class TPrimeFactory {
public:
    static constexpr int kSmallPrimeCount = 783; // the primes below 6000
    static constexpr int kWindow = 2000;

    explicit TPrimeFactory(TPseudoRandom& random);

    const std::array<std::uint32_t, kSmallPrimeCount>& SmallPrimes() const { return smallPrimes_; }

    // result (n words) = the first probable prime ≥ start (n words), searched
    // window by window in order.
    void FindPrime(BigWord* result, const BigWord* start, int n);
    bool IsProbablePrime(const BigWord* x, int n);

private:
    TPseudoRandom& random_;
    std::array<std::uint32_t, kSmallPrimeCount> smallPrimes_{};
};
