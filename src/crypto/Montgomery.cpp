#include "crypto/Montgomery.h"

namespace {
using u64 = std::uint64_t;
using u128 = unsigned __int128;
constexpr int kMaxLimbs = kBigWords / 2; // 66 limbs of 64 bits
constexpr int kMaxWindow = 6;

struct MontContext {
    u64 m[kMaxLimbs];
    u64 mprime; // -m⁻¹ mod 2^64
    int k;      // limbs
};

// t[0..n) += a[0..n) × w; returns the carry word. Portable form: the
// compiler keeps the 128-bit sums in register pairs.
struct PortableRow {
    static inline u64 AddMul(u64* t, const u64* a, u64 w, int n) {
        u64 carry = 0;
        int j = 0;
        for (; j + 2 <= n; j += 2) {
            u128 s0 = static_cast<u128>(a[j]) * w + t[j] + carry;
            t[j] = static_cast<u64>(s0);
            u128 s1 = static_cast<u128>(a[j + 1]) * w + t[j + 1] + static_cast<u64>(s0 >> 64);
            t[j + 1] = static_cast<u64>(s1);
            carry = static_cast<u64>(s1 >> 64);
        }
        for (; j < n; ++j) {
            u128 s = static_cast<u128>(a[j]) * w + t[j] + carry;
            t[j] = static_cast<u64>(s);
            carry = static_cast<u64>(s >> 64);
        }
        return carry;
    }
};

#if defined(__x86_64__) && defined(__GNUC__)
// The same row with MULX and two independent carry chains (ADCX adds the
// old limb, ADOX the previous high word), on processors that have them.
// Two limbs per turn; the loop counter moves with LEA and JRCXZ, which leave
// both carry flags alone.
struct AdxRow {
    __attribute__((target("bmi2,adx"))) static inline u64 AddMul(u64* t, const u64* a, u64 w,
                                                                 int n) {
        u64 carry = 0;
        if (n & 1) {
            const u128 s = static_cast<u128>(a[0]) * w + t[0];
            t[0] = static_cast<u64>(s);
            carry = static_cast<u64>(s >> 64);
            ++a;
            ++t;
        }
        long pairs = n >> 1;
        if (pairs == 0)
            return carry;
        u64 lo0, hi0, lo1, zero = 0;
        asm("xor %k[lo0], %k[lo0]\n\t" // clears CF and OF
            "1:\n\t"
            "mulx (%[a]), %[lo0], %[hi0]\n\t"
            "adcx (%[t]), %[lo0]\n\t"
            "adox %[c], %[lo0]\n\t"
            "mov %[lo0], (%[t])\n\t"
            "mulx 8(%[a]), %[lo1], %[c]\n\t"
            "adcx 8(%[t]), %[lo1]\n\t"
            "adox %[hi0], %[lo1]\n\t"
            "mov %[lo1], 8(%[t])\n\t"
            "lea 16(%[a]), %[a]\n\t"
            "lea 16(%[t]), %[t]\n\t"
            "lea -1(%[n]), %[n]\n\t"
            "jrcxz 2f\n\t"
            "jmp 1b\n\t"
            "2:\n\t"
            "adcx %[z], %[c]\n\t"
            "adox %[z], %[c]\n\t"
            : [c] "+&r"(carry), [lo0] "=&r"(lo0), [hi0] "=&r"(hi0), [lo1] "=&r"(lo1), [a] "+&r"(a),
              [t] "+&r"(t), [n] "+&c"(pairs)
            : "d"(w), [z] "r"(zero)
            : "cc", "memory");
        return carry;
    }
};

bool HaveAdx() {
    static const bool have = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("adx");
    return have;
}
#endif

// r = hi − m when hi (k limbs plus the overflow word) is at least m, else hi.
inline void FinalSubtract(u64* r, const u64* hi, u64 overflow, const MontContext& c) {
    u64 d[kMaxLimbs];
    u64 borrow = 0;
    for (int j = 0; j < c.k; ++j) {
        u128 diff = static_cast<u128>(hi[j]) - c.m[j] - borrow;
        d[j] = static_cast<u64>(diff);
        borrow = static_cast<u64>(diff >> 64) & 1;
    }
    const bool useDiff = overflow != 0 || borrow == 0;
    for (int j = 0; j < c.k; ++j)
        r[j] = useDiff ? d[j] : hi[j];
    SecureWipe(d, sizeof(d));
}

// Montgomery reduction of t (2k limbs plus t[2k]): each row makes one more
// low limb zero; r = t × 2^(-64k) mod m.
template <class Row> inline void Reduce(u64* r, u64* t, const MontContext& c) {
    const int k = c.k;
    u64 overflow = 0;
    for (int i = 0; i < k; ++i) {
        const u64 u = t[i] * c.mprime;
        const u64 cy = Row::AddMul(t + i, c.m, u, k);
        const u128 s = static_cast<u128>(t[i + k]) + cy + overflow;
        t[i + k] = static_cast<u64>(s);
        overflow = static_cast<u64>(s >> 64);
    }
    FinalSubtract(r, t + k, overflow + t[2 * k], c);
}

// r = a × b × 2^(-64k) mod m; a, b < m. r may alias a or b: the product
// row by row, then the reduction.
template <class Row> void MontMul(u64* r, const u64* a, const u64* b, const MontContext& c) {
    const int k = c.k;
    u64 t[2 * kMaxLimbs + 1];
    for (int i = 0; i < k; ++i)
        t[i] = 0;
    for (int i = 0; i < k; ++i)
        t[i + k] = Row::AddMul(t + i, b, a[i], k);
    t[2 * k] = 0;
    Reduce<Row>(r, t, c);
    SecureWipe(t, sizeof(t));
}

// r = a² × 2^(-64k) mod m: the full square with each cross product counted
// once and doubled, then the reduction.
template <class Row> void MontSqr(u64* r, const u64* a, const MontContext& c) {
    const int k = c.k;
    u64 t[2 * kMaxLimbs + 1];
    for (int i = 0; i < 2 * k + 1; ++i)
        t[i] = 0;
    for (int i = 0; i < k - 1; ++i)
        t[i + k] = Row::AddMul(t + 2 * i + 1, a + i + 1, a[i], k - i - 1);
    // double the cross products
    u64 top = 0;
    for (int i = 0; i < 2 * k; ++i) {
        u64 next = t[i] >> 63;
        t[i] = (t[i] << 1) | top;
        top = next;
    }
    // add the diagonal
    u64 carry = 0;
    for (int i = 0; i < k; ++i) {
        u128 sq = static_cast<u128>(a[i]) * a[i];
        u128 s = static_cast<u128>(t[2 * i]) + static_cast<u64>(sq) + carry;
        t[2 * i] = static_cast<u64>(s);
        s = static_cast<u128>(t[2 * i + 1]) + static_cast<u64>(sq >> 64) +
            static_cast<u64>(s >> 64);
        t[2 * i + 1] = static_cast<u64>(s);
        carry = static_cast<u64>(s >> 64);
    }
    t[2 * k] = carry;
    Reduce<Row>(r, t, c);
    SecureWipe(t, sizeof(t));
}

void ToLimbs(u64* out, const BigWord* words, int n, int k) {
    for (int i = 0; i < k; ++i) {
        u64 lo = 2 * i < n ? words[2 * i] : 0;
        u64 hi = 2 * i + 1 < n ? words[2 * i + 1] : 0;
        out[i] = lo | (hi << 32);
    }
}

// x × 2^(64k) mod m, as limbs: the entry into Montgomery form.
void ToMont(u64* out, const BigWord* x, int nx, const BigWord* m, int dm, int k) {
    BigWord wide[2 * kBigWords + 2];
    BigWord rem[kBigWords];
    const int shiftWords = 2 * k;
    BigZero(wide, shiftWords);
    int dx = BigDigits(x, nx);
    BigCopy(wide + shiftWords, x, dx);
    BigMod(rem, wide, shiftWords + dx, m, dm);
    ToLimbs(out, rem, dm, k);
    SecureWipe(wide, sizeof(wide));
    SecureWipe(rem, sizeof(rem));
}

int WindowBits(int exponentBits) {
    if (exponentBits > 671)
        return 6;
    if (exponentBits > 239)
        return 5;
    if (exponentBits > 79)
        return 4;
    if (exponentBits > 23)
        return 3;
    return 1;
}

inline int ExponentBit(const BigWord* e, int bit) {
    return (e[bit >> 5] >> (bit & 31)) & 1;
}
template <class Row>
void ModExpWith(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n) {
    const int dm = BigDigits(m, n);
    MontContext c;
    c.k = (dm + 1) / 2;
    ToLimbs(c.m, m, dm, c.k);
    u64 inv = c.m[0]; // Newton iteration doubles the correct low bits each step
    for (int i = 0; i < 6; ++i)
        inv *= 2 - c.m[0] * inv;
    c.mprime = ~inv + 1;

    const int k = c.k;
    u64 table[1 << (kMaxWindow - 1)][kMaxLimbs];
    u64 acc[kMaxLimbs];
    u64 base2[kMaxLimbs];
    BigWord out[kBigWords];

    const int ebits = BigBitLength(e, n);
    const BigWord oneWord[1] = {1};
    ToMont(acc, oneWord, 1, m, dm, k); // acc = R mod m, the Montgomery form of 1
    if (ebits > 0) {
        const int w = WindowBits(ebits);
        ToMont(table[0], b, n, m, dm, k);
        if (w > 1) {
            MontSqr<Row>(base2, table[0], c);
            for (int i = 1; i < (1 << (w - 1)); ++i)
                MontMul<Row>(table[i], table[i - 1], base2, c);
        }
        bool started = false;
        int bit = ebits - 1;
        while (bit >= 0) {
            if (!ExponentBit(e, bit)) {
                if (started)
                    MontSqr<Row>(acc, acc, c);
                --bit;
                continue;
            }
            // The longest window of at most w bits that ends in a one bit.
            int low = bit - w + 1 < 0 ? 0 : bit - w + 1;
            while (!ExponentBit(e, low))
                ++low;
            int value = 0;
            for (int i = bit; i >= low; --i)
                value = (value << 1) | ExponentBit(e, i);
            if (started) {
                for (int i = bit; i >= low; --i)
                    MontSqr<Row>(acc, acc, c);
                MontMul<Row>(acc, acc, table[value >> 1], c);
            } else {
                for (int j = 0; j < k; ++j)
                    acc[j] = table[value >> 1][j];
                started = true;
            }
            bit = low - 1;
        }
    }
    // Leave Montgomery form: multiply by plain 1.
    u64 one[kMaxLimbs] = {};
    one[0] = 1;
    MontMul<Row>(acc, acc, one, c);
    BigZero(out, n);
    for (int i = 0; i < k; ++i) {
        if (2 * i < n)
            out[2 * i] = static_cast<BigWord>(acc[i]);
        if (2 * i + 1 < n)
            out[2 * i + 1] = static_cast<BigWord>(acc[i] >> 32);
    }
    BigCopy(r, out, n);
    SecureWipe(table, sizeof(table));
    SecureWipe(acc, sizeof(acc));
    SecureWipe(base2, sizeof(base2));
    SecureWipe(out, sizeof(out));
}
} // namespace

void MontgomeryModExp(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (HaveAdx()) {
        ModExpWith<AdxRow>(r, b, e, m, n);
        return;
    }
#endif
    ModExpWith<PortableRow>(r, b, e, m, n);
}

void MontgomeryModExpPortable(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m,
                              int n) {
    ModExpWith<PortableRow>(r, b, e, m, n);
}
