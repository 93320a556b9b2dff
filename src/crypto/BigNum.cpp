#include "crypto/BigNum.h"
#include "crypto/Montgomery.h"
#include <cstring>
#include <string.h>

namespace {
using u64 = std::uint64_t;
constexpr int kMaxWide = 2 * kBigWords + 2; // dividend plus normalisation word

// Wipes a stack array when it goes out of scope.
template <typename T> struct WipeOnExit {
    T& object;
    ~WipeOnExit() { SecureWipe(&object, sizeof(object)); }
};
} // namespace

void SecureWipe(void* p, std::size_t bytes) {
    explicit_bzero(p, bytes);
}

void BigZero(BigWord* a, int n) {
    for (int i = 0; i < n; ++i)
        a[i] = 0;
}

void BigCopy(BigWord* dst, const BigWord* src, int n) {
    if (dst != src)
        std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(BigWord));
}

void BigSetWord(BigWord* a, int n, BigWord value) {
    BigZero(a, n);
    if (n > 0)
        a[0] = value;
}

bool BigIsZero(const BigWord* a, int n) {
    for (int i = 0; i < n; ++i)
        if (a[i])
            return false;
    return true;
}

int BigDigits(const BigWord* a, int n) {
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}

int BigBitLength(const BigWord* a, int n) {
    int d = BigDigits(a, n);
    if (d == 0)
        return 0;
    return (d - 1) * 32 + (32 - __builtin_clz(a[d - 1]));
}

int BigCmp(const BigWord* a, const BigWord* b, int n) {
    for (int i = n - 1; i >= 0; --i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

BigWord BigAdd(BigWord* r, const BigWord* a, const BigWord* b, int n) {
    u64 carry = 0;
    for (int i = 0; i < n; ++i) {
        u64 s = static_cast<u64>(a[i]) + b[i] + carry;
        r[i] = static_cast<BigWord>(s);
        carry = s >> 32;
    }
    return static_cast<BigWord>(carry);
}

BigWord BigSub(BigWord* r, const BigWord* a, const BigWord* b, int n) {
    u64 borrow = 0;
    for (int i = 0; i < n; ++i) {
        u64 d = static_cast<u64>(a[i]) - b[i] - borrow;
        r[i] = static_cast<BigWord>(d);
        borrow = (d >> 32) & 1;
    }
    return static_cast<BigWord>(borrow);
}

BigWord BigAddWord(BigWord* r, const BigWord* a, BigWord w, int n) {
    u64 carry = w;
    for (int i = 0; i < n; ++i) {
        u64 s = static_cast<u64>(a[i]) + carry;
        r[i] = static_cast<BigWord>(s);
        carry = s >> 32;
    }
    return static_cast<BigWord>(carry);
}

BigWord BigSubWord(BigWord* r, const BigWord* a, BigWord w, int n) {
    u64 borrow = w;
    for (int i = 0; i < n; ++i) {
        u64 d = static_cast<u64>(a[i]) - borrow;
        r[i] = static_cast<BigWord>(d);
        borrow = (d >> 32) & 1;
    }
    return static_cast<BigWord>(borrow);
}

BigWord BigShiftLeft(BigWord* a, int n, int bits) {
    if (bits <= 0 || bits >= 32)
        return 0;
    BigWord carry = 0;
    for (int i = 0; i < n; ++i) {
        BigWord next = a[i] >> (32 - bits);
        a[i] = (a[i] << bits) | carry;
        carry = next;
    }
    return carry;
}

BigWord BigShiftRight(BigWord* a, int n, int bits) {
    if (bits <= 0 || bits >= 32)
        return 0;
    BigWord carry = 0;
    for (int i = n - 1; i >= 0; --i) {
        BigWord next = a[i] & ((1u << bits) - 1);
        a[i] = (a[i] >> bits) | (carry << (32 - bits));
        carry = next;
    }
    return carry;
}

void BigMul(BigWord* r, const BigWord* a, const BigWord* b, int n) {
    BigZero(r, 2 * n);
    int da = BigDigits(a, n);
    int db = BigDigits(b, n);
    for (int i = 0; i < da; ++i) {
        u64 carry = 0;
        u64 ai = a[i];
        if (ai == 0)
            continue;
        for (int j = 0; j < db; ++j) {
            u64 t = ai * b[j] + r[i + j] + carry;
            r[i + j] = static_cast<BigWord>(t);
            carry = t >> 32;
        }
        r[i + db] = static_cast<BigWord>(carry);
    }
}

BigWord BigModWord(const BigWord* a, int n, BigWord divisor) {
    if (divisor == 0)
        return 0;
    u64 r = 0;
    for (int i = n - 1; i >= 0; --i)
        r = ((r << 32) | a[i]) % divisor;
    return static_cast<BigWord>(r);
}

// Long division on normalised words (Knuth's algorithm D): each quotient
// word is estimated from the top two remainder words and corrected at most
// twice, so quotient and remainder are exact.
void BigDivMod(BigWord* quot, BigWord* rem, const BigWord* a, int na, const BigWord* b, int nb) {
    int db = BigDigits(b, nb);
    if (db == 0)
        return;
    int da = BigDigits(a, na);
    if (da < db) {
        BigWord r[kMaxWide];
        WipeOnExit<decltype(r)> wr{r};
        BigZero(r, nb);
        BigCopy(r, a, da);
        if (quot)
            BigZero(quot, na);
        if (rem)
            BigCopy(rem, r, nb);
        return;
    }
    BigWord q[kMaxWide];
    BigWord an[kMaxWide + 1];
    BigWord bn[kMaxWide];
    WipeOnExit<decltype(q)> wq{q};
    WipeOnExit<decltype(an)> wan{an};
    WipeOnExit<decltype(bn)> wbn{bn};
    BigZero(q, na);

    if (db == 1) {
        u64 d = b[0];
        u64 r = 0;
        for (int i = da - 1; i >= 0; --i) {
            u64 cur = (r << 32) | a[i];
            q[i] = static_cast<BigWord>(cur / d);
            r = cur % d;
        }
        if (quot)
            BigCopy(quot, q, na);
        if (rem)
            BigSetWord(rem, nb, static_cast<BigWord>(r));
        return;
    }

    int shift = __builtin_clz(b[db - 1]);
    BigCopy(bn, b, db);
    BigCopy(an, a, da);
    an[da] = 0;
    if (shift) {
        BigShiftLeft(bn, db, shift);
        an[da] = BigShiftLeft(an, da, shift);
    }
    const u64 top = bn[db - 1];
    const u64 next = bn[db - 2];
    for (int j = da - db; j >= 0; --j) {
        u64 numerator = (static_cast<u64>(an[j + db]) << 32) | an[j + db - 1];
        u64 qhat = numerator / top;
        u64 rhat = numerator % top;
        while (qhat > 0xFFFFFFFFull || qhat * next > ((rhat << 32) | an[j + db - 2])) {
            --qhat;
            rhat += top;
            if (rhat > 0xFFFFFFFFull)
                break;
        }
        // an[j .. j+db] -= qhat × bn
        u64 carry = 0;
        u64 borrow = 0;
        for (int i = 0; i < db; ++i) {
            u64 p = qhat * bn[i] + carry;
            carry = p >> 32;
            u64 d = static_cast<u64>(an[i + j]) - static_cast<BigWord>(p) - borrow;
            an[i + j] = static_cast<BigWord>(d);
            borrow = (d >> 32) & 1;
        }
        u64 d = static_cast<u64>(an[j + db]) - carry - borrow;
        an[j + db] = static_cast<BigWord>(d);
        if ((d >> 32) & 1) {
            // The estimate was one too large: add the divisor back.
            --qhat;
            an[j + db] += BigAdd(an + j, an + j, bn, db);
        }
        q[j] = static_cast<BigWord>(qhat);
    }
    if (shift)
        BigShiftRight(an, db, shift);
    if (quot)
        BigCopy(quot, q, na);
    if (rem) {
        BigZero(rem, nb);
        BigCopy(rem, an, db);
    }
}

void BigMod(BigWord* rem, const BigWord* a, int na, const BigWord* m, int nm) {
    BigDivMod(nullptr, rem, a, na, m, nm);
}

void BigModMul(BigWord* r, const BigWord* a, const BigWord* b, const BigWord* m, int n) {
    BigDouble t;
    WipeOnExit<BigDouble> wt{t};
    BigMul(t.data(), a, b, n);
    BigMod(r, t.data(), 2 * n, m, n);
}

namespace {
// Left-to-right binary exponentiation for an even modulus (never used by
// the key operations, whose moduli are odd).
void PlainModExp(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n) {
    BigNum base, acc;
    WipeOnExit<BigNum> wb{base};
    WipeOnExit<BigNum> wa{acc};
    BigMod(base.data(), b, n, m, n);
    BigSetWord(acc.data(), n, 1);
    BigMod(acc.data(), acc.data(), n, m, n);
    for (int bit = BigBitLength(e, n) - 1; bit >= 0; --bit) {
        BigModMul(acc.data(), acc.data(), acc.data(), m, n);
        if ((e[bit / 32] >> (bit % 32)) & 1)
            BigModMul(acc.data(), acc.data(), base.data(), m, n);
    }
    BigCopy(r, acc.data(), n);
}
} // namespace

void BigModExp(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n) {
    int dm = BigDigits(m, n);
    if (dm == 0) {
        BigZero(r, n);
        return;
    }
    if ((m[0] & 1) == 0) {
        PlainModExp(r, b, e, m, n);
        return;
    }
    MontgomeryModExp(r, b, e, m, n);
}

void BigModInv(BigWord* r, const BigWord* b, const BigWord* m, int n) {
    BigNum x, y, rr, s, q, t, z;
    BigDouble qy;
    WipeOnExit<BigNum> w1{x}, w2{y}, w3{rr}, w4{s}, w5{q}, w6{t}, w7{z};
    WipeOnExit<BigDouble> w8{qy};
    BigSetWord(x.data(), n, 1);
    BigZero(y.data(), n);
    BigCopy(rr.data(), b, n);
    BigCopy(s.data(), m, n);
    bool positive = true;
    while (!BigIsZero(s.data(), n)) {
        BigDivMod(q.data(), t.data(), rr.data(), n, s.data(), n);
        BigMul(qy.data(), q.data(), y.data(), n);
        BigAdd(z.data(), x.data(), qy.data(), n);
        BigCopy(x.data(), y.data(), n);
        BigCopy(y.data(), z.data(), n);
        BigCopy(rr.data(), s.data(), n);
        BigCopy(s.data(), t.data(), n);
        positive = !positive;
    }
    if (positive)
        BigCopy(r, x.data(), n);
    else
        BigSub(r, m, x.data(), n);
}

void BigGcd(BigWord* r, const BigWord* a, const BigWord* b, int n) {
    BigNum x, y, t;
    WipeOnExit<BigNum> w1{x}, w2{y}, w3{t};
    BigCopy(x.data(), a, n);
    BigCopy(y.data(), b, n);
    while (!BigIsZero(y.data(), n)) {
        BigMod(t.data(), x.data(), n, y.data(), n);
        BigCopy(x.data(), y.data(), n);
        BigCopy(y.data(), t.data(), n);
    }
    BigCopy(r, x.data(), n);
}
