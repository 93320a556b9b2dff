#pragma once
#include <array>
#include <cstdint>

// Fixed-size unsigned multi-precision integers: 132 words of 32 bits, least
// significant word first. Every routine takes an explicit word count and
// touches only that many words; nothing allocates. Temporaries are wiped
// before a routine returns, since they may hold key material.

inline constexpr int kBigWords = 132;
using BigWord = std::uint32_t;
using BigNum = std::array<BigWord, kBigWords>;
using BigDouble = std::array<BigWord, 2 * kBigWords>; // room for a product

// Overwrites memory in a way the optimiser may not drop.
void SecureWipe(void* p, std::size_t bytes);

void BigZero(BigWord* a, int n);
void BigCopy(BigWord* dst, const BigWord* src, int n);
void BigSetWord(BigWord* a, int n, BigWord value); // a = value
bool BigIsZero(const BigWord* a, int n);
int BigDigits(const BigWord* a, int n);                // significant word count
int BigBitLength(const BigWord* a, int n);             // significant bit count
int BigCmp(const BigWord* a, const BigWord* b, int n); // -1, 0, 1

BigWord BigAdd(BigWord* r, const BigWord* a, const BigWord* b, int n); // carry out
BigWord BigSub(BigWord* r, const BigWord* a, const BigWord* b, int n); // borrow out
BigWord BigAddWord(BigWord* r, const BigWord* a, BigWord w, int n);
BigWord BigSubWord(BigWord* r, const BigWord* a, BigWord w, int n);

// Shift in place by fewer than 32 bits; returns the bits shifted out
// (aligned at the low end). 32 or more does nothing and returns 0.
BigWord BigShiftLeft(BigWord* a, int n, int bits);
BigWord BigShiftRight(BigWord* a, int n, int bits);

// r (2n words) = a × b (n words each). r must not overlap a or b.
void BigMul(BigWord* r, const BigWord* a, const BigWord* b, int n);

// a (na words) divided by b (nb words): quot gets na words, rem nb words;
// either may be null. A zero divisor returns without writing. na, nb ≤ 2·132.
void BigDivMod(BigWord* quot, BigWord* rem, const BigWord* a, int na, const BigWord* b, int nb);
BigWord BigModWord(const BigWord* a, int n, BigWord divisor); // a mod a single word
void BigMod(BigWord* rem, const BigWord* a, int na, const BigWord* m, int nm);

// r = a × b mod m, all n words.
void BigModMul(BigWord* r, const BigWord* a, const BigWord* b, const BigWord* m, int n);
// r = b^e mod m, all n words. Montgomery arithmetic for odd m.
void BigModExp(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n);
// r = b⁻¹ mod m (extended Euclid), all n words.
void BigModInv(BigWord* r, const BigWord* b, const BigWord* m, int n);
// r = gcd(a, b), all n words.
void BigGcd(BigWord* r, const BigWord* a, const BigWord* b, int n);
