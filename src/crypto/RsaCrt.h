#pragma once
#include "crypto/BigNum.h"

// The private-key operation by the Chinese remainder theorem. A private key
// text holds only the modulus and the private exponent; with the public
// exponent of the same pair the modulus is factored once (the randomized
// method from e·d − 1), and each operation then works on the two halves,
// about four times faster than the plain exponentiation, with the same
// result. All numbers are `words` words; everything is wiped on Clear.
struct RsaCrtKey {
    BigNum p{}, q{};   // n = p × q, both probable primes
    BigNum dp{}, dq{}; // d mod (p − 1), d mod (q − 1)
    BigNum qInv{};     // q⁻¹ mod p
    int words = 0;     // 0: not factored; the plain method applies
    void Clear();
};

// Factors n from e·d − 1. False (key cleared) when that fails: e and d of
// different pairs, a modulus that is not the product of two primes, or no
// base found a factor; the caller then uses the plain method.
bool RsaCrtFactor(RsaCrtKey& key, const BigWord* e, const BigWord* d, const BigWord* n, int words);

// m = c^d mod n through the factored key (c may exceed n).
void RsaCrtPower(BigWord* m, const BigWord* c, const RsaCrtKey& key);
