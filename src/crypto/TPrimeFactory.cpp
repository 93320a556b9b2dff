#include "crypto/TPrimeFactory.h"
#include <vector>

namespace {
template <typename T> struct WipeOnExit {
    T& object;
    ~WipeOnExit() { SecureWipe(&object, sizeof(object)); }
};
} // namespace

TPrimeFactory::TPrimeFactory(TPseudoRandom& random) : random_(random) {
    constexpr int limit = 6000;
    std::array<bool, limit> composite{};
    int count = 0;
    for (int i = 2; i < limit; ++i) {
        if (composite[i])
            continue;
        smallPrimes_[count++] = static_cast<std::uint32_t>(i);
        for (int j = i * i; j < limit; j += i)
            composite[j] = true;
    }
}

void TPrimeFactory::FindPrime(BigWord* result, const BigWord* start, int n) {
    BigNum base, candidate;
    WipeOnExit<BigNum> wb{base}, wc{candidate};
    BigCopy(base.data(), start, n);
    std::array<bool, kWindow> struck;
    for (;;) {
        struck.fill(false);
        for (std::uint32_t q : smallPrimes_) {
            std::uint32_t r = BigModWord(base.data(), n, q);
            for (std::uint32_t i = r == 0 ? 0 : q - r; i < kWindow; i += q)
                struck[i] = true;
        }
        for (int i = 0; i < kWindow; ++i) {
            if (struck[i])
                continue;
            BigAddWord(candidate.data(), base.data(), static_cast<BigWord>(i), n);
            if (IsProbablePrime(candidate.data(), n)) {
                BigCopy(result, candidate.data(), n);
                return;
            }
        }
        BigAddWord(base.data(), base.data(), kWindow, n);
    }
}

bool TPrimeFactory::IsProbablePrime(const BigWord* x, int n) {
    BigNum a, y, xm1, t, one;
    WipeOnExit<BigNum> w1{a}, w2{y}, w3{xm1}, w4{t};
    BigSetWord(one.data(), n, 1);
    BigSubWord(xm1.data(), x, 1, n);

    // Fermat with bases 2 and 3.
    for (BigWord fermatBase : {2u, 3u}) {
        BigSetWord(a.data(), n, fermatBase);
        BigModExp(y.data(), a.data(), xm1.data(), x, n);
        if (BigCmp(y.data(), one.data(), n) != 0)
            return false;
    }

    // x − 1 = 2^s · t with t odd.
    int s = 0;
    BigCopy(t.data(), xm1.data(), n);
    if (BigIsZero(t.data(), n))
        return false;
    while ((t[0] & 1) == 0) {
        int zeros = t[0] == 0 ? 31 : __builtin_ctz(t[0]);
        BigShiftRight(t.data(), n, zeros);
        s += zeros;
    }

    for (int round = 0; round < 10; ++round) {
        BigNum draw;
        WipeOnExit<BigNum> wd{draw};
        for (int i = 0; i < kBigWords; ++i)
            draw[i] = random_.RandomWord();
        // Halve until it does not exceed x: shifting by the bit-length
        // difference at once gives the same value as single halvings.
        BigNum wide{};
        BigCopy(wide.data(), x, n);
        int excess = BigBitLength(draw.data(), kBigWords) - BigBitLength(x, n);
        while (excess > 0) {
            int step = excess > 31 ? 31 : excess;
            BigShiftRight(draw.data(), kBigWords, step);
            excess -= step;
        }
        if (BigCmp(draw.data(), wide.data(), kBigWords) > 0)
            BigShiftRight(draw.data(), kBigWords, 1);
        BigAddWord(draw.data(), draw.data(), 1, kBigWords);
        BigMod(a.data(), draw.data(), kBigWords, x, n);

        BigModExp(y.data(), a.data(), t.data(), x, n);
        if (BigCmp(y.data(), one.data(), n) == 0 || BigCmp(y.data(), xm1.data(), n) == 0)
            continue;
        bool passed = false;
        for (int i = 1; i < s; ++i) {
            BigModMul(y.data(), y.data(), y.data(), x, n);
            if (BigCmp(y.data(), xm1.data(), n) == 0) {
                passed = true;
                break;
            }
            if (BigCmp(y.data(), one.data(), n) == 0)
                break;
        }
        if (!passed)
            return false;
    }
    return true;
}
