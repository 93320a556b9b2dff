// TPrimeFactory: the small primes, the probable-prime test and the search.
#include "CryptoTestHelpers.h"
#include "crypto/TPrimeFactory.h"
#include <gtest/gtest.h>

using namespace crypto_test;

TEST(TPrimeFactory, SmallPrimesAreThe783BelowSixThousand) {
    TPseudoRandom random(1);
    TPrimeFactory factory(random);
    const auto& primes = factory.SmallPrimes();
    EXPECT_EQ(primes.size(), 783u);
    EXPECT_EQ(primes.front(), 2u);
    EXPECT_EQ(primes[1], 3u);
    EXPECT_EQ(primes.back(), 5987u); // the largest prime below 6000
    for (std::size_t i = 1; i < primes.size(); ++i)
        EXPECT_LT(primes[i - 1], primes[i]);
}

TEST(TPrimeFactory, ProbablePrimeTellsKnownPrimesFromComposites) {
    TPseudoRandom random(12345);
    TPrimeFactory factory(random);
    auto check = [&](std::initializer_list<BigWord> words, bool prime) {
        BigNum x{};
        int n = 0;
        for (BigWord w : words)
            x[n++] = w;
        EXPECT_EQ(factory.IsProbablePrime(x.data(), n), prime) << ToHex(x, n);
    };
    check({0xFFFFFFFBu}, true);                                        // 2^32 − 5
    check({0xFFFFFFFFu, 0xFFFFFFFFu}, false);                          // 2^64 − 1
    check({0xFFFFFFC5u, 0xFFFFFFFFu}, true);                           // 2^64 − 59
    check({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x7FFFFFFFu}, true); // 2^127 − 1
    check({561}, false);                                               // Carmichael number
    check({65537u * 65521u}, false);                                   // product of two primes
    check({1105}, false);
}

TEST(TPrimeFactory, FindPrimeReturnsTheFirstProbablePrimeFromTheStart) {
    TPseudoRandom random(7);
    TPrimeFactory factory(random);
    // Below 2^32 the answer can be checked by trial division.
    auto isPrime = [](std::uint64_t v) {
        if (v < 2)
            return false;
        for (std::uint64_t d = 2; d * d <= v; ++d)
            if (v % d == 0)
                return false;
        return true;
    };
    for (BigWord start : {1000001u, 0x80000001u, 0xFFF00001u}) {
        BigNum s{}, r{};
        s[0] = start;
        factory.FindPrime(r.data(), s.data(), 1);
        std::uint64_t expected = start;
        while (!isPrime(expected))
            ++expected;
        EXPECT_EQ(r[0], expected) << start;
    }
    // A 512-bit search in a window beyond the first one.
    BigNum s{}, r{};
    std::mt19937 gen(3);
    FillWords(s.data(), 16, gen);
    s[15] |= 0x80000000u;
    factory.FindPrime(r.data(), s.data(), 16);
    EXPECT_GE(BigCmp(r.data(), s.data(), 16), 0);
    EXPECT_TRUE(factory.IsProbablePrime(r.data(), 16));
}
