#include "crypto/RsaCrt.h"
#include "crypto/PseudoRandom.h"
#include "crypto/SystemRandom.h"
#include "crypto/TPrimeFactory.h"

namespace {
constexpr int kFactorBases = 40; // each finds a factor with probability ≥ 1/2

template <typename T> struct Wiped {
    T value{};
    ~Wiped() { SecureWipe(&value, sizeof(value)); }
    BigWord* data() { return value.data(); }
    BigWord& operator[](std::size_t i) { return value[i]; }
};

// a = a >> bits for any bit count (a of n words).
void ShiftRightBits(BigWord* a, int n, int bits) {
    const int wordsOff = bits / 32;
    for (int i = 0; i < n; ++i)
        a[i] = i + wordsOff < n ? a[i + wordsOff] : 0;
    if (bits % 32)
        BigShiftRight(a, n, bits % 32);
}

int TrailingZeroBits(const BigWord* a, int n) {
    for (int i = 0; i < n; ++i)
        if (a[i] != 0)
            return 32 * i + __builtin_ctz(a[i]);
    return 0;
}
} // namespace

void RsaCrtKey::Clear() {
    SecureWipe(p.data(), sizeof(p));
    SecureWipe(q.data(), sizeof(q));
    SecureWipe(dp.data(), sizeof(dp));
    SecureWipe(dq.data(), sizeof(dq));
    SecureWipe(qInv.data(), sizeof(qInv));
    words = 0;
}

bool RsaCrtFactor(RsaCrtKey& key, const BigWord* e, const BigWord* d, const BigWord* n, int words) {
    key.Clear();
    const int w2 = 2 * words; // e·d − 1 needs up to twice the words
    if (w2 > kBigWords || (n[0] & 1u) == 0 || BigIsZero(d, words) || BigIsZero(e, words))
        return false;
    Wiped<BigNum> ee, dd, nn, r, g, x, y, one, nMinus1, f, qq;
    Wiped<BigDouble> product;
    BigCopy(ee.data(), e, words);
    BigCopy(dd.data(), d, words);
    BigCopy(nn.data(), n, words);
    BigMul(product.data(), ee.data(), dd.data(), words);
    BigSubWord(product.data(), product.data(), 1, w2);
    // k = e·d − 1 = 2^t · r with r odd; a multiple of λ(n) for a matching pair
    const int t = TrailingZeroBits(product.data(), w2);
    if (t == 0)
        return false;
    BigCopy(r.data(), product.data(), w2);
    ShiftRightBits(r.data(), w2, t);
    BigSetWord(one.data(), w2, 1);
    BigSubWord(nMinus1.data(), nn.data(), 1, w2);

    bool found = false;
    for (int attempt = 0; attempt < kFactorBases && !found; ++attempt) {
        std::vector<std::uint32_t> draw = SystemRandomWords(static_cast<std::size_t>(words));
        BigZero(g.data(), kBigWords);
        BigCopy(g.data(), draw.data(), words);
        SecureWipe(draw.data(), draw.size() * sizeof(std::uint32_t));
        BigMod(g.data(), g.data(), words, nn.data(), words);
        if (BigDigits(g.data(), words) <= 1 && g[0] <= 1)
            continue;
        // x = g^r; square up to t times looking for a square root of 1 other than ±1
        BigModExp(x.data(), g.data(), r.data(), nn.data(), w2);
        for (int i = 0; i < t; ++i) {
            if (BigCmp(x.data(), one.data(), w2) == 0 || BigCmp(x.data(), nMinus1.data(), w2) == 0)
                break;
            BigModMul(y.data(), x.data(), x.data(), nn.data(), w2);
            if (BigCmp(y.data(), one.data(), w2) == 0) {
                BigSubWord(x.data(), x.data(), 1, w2);
                BigGcd(f.data(), x.data(), nn.data(), w2);
                found = BigCmp(f.data(), one.data(), w2) != 0;
                break;
            }
            x.value = y.value;
        }
    }
    if (!found)
        return false;
    // n = f × q exactly, both prime: only then does reducing the exponent
    // modulo p − 1 and q − 1 give the same power as the plain method.
    Wiped<BigDouble> wideN;
    BigCopy(wideN.data(), nn.data(), words);
    Wiped<BigDouble> quot, rem;
    BigDivMod(quot.data(), rem.data(), wideN.data(), words, f.data(), words);
    if (!BigIsZero(rem.data(), words))
        return false;
    BigCopy(qq.data(), quot.data(), words);
    TPseudoRandom random(SystemRandomWords(1)[0]);
    TPrimeFactory factory(random);
    if (!factory.IsProbablePrime(f.data(), words) || !factory.IsProbablePrime(qq.data(), words) ||
        BigCmp(f.data(), qq.data(), words) == 0)
        return false;

    BigCopy(key.p.data(), f.data(), words);
    BigCopy(key.q.data(), qq.data(), words);
    Wiped<BigNum> pm1, qm1;
    BigSubWord(pm1.data(), key.p.data(), 1, words);
    BigSubWord(qm1.data(), key.q.data(), 1, words);
    BigMod(key.dp.data(), dd.data(), words, pm1.data(), words);
    BigMod(key.dq.data(), dd.data(), words, qm1.data(), words);
    Wiped<BigNum> qModP;
    BigMod(qModP.data(), key.q.data(), words, key.p.data(), words);
    BigModInv(key.qInv.data(), qModP.data(), key.p.data(), words);
    // A zero reduced exponent would turn c^d ≡ 0 into 1 for c divisible by
    // the prime; it cannot occur for a matching pair, so leave such keys alone.
    if (BigIsZero(key.dp.data(), words) || BigIsZero(key.dq.data(), words)) {
        key.Clear();
        return false;
    }
    key.words = words;
    return true;
}

void RsaCrtPower(BigWord* m, const BigWord* c, const RsaCrtKey& key) {
    const int words = key.words;
    Wiped<BigNum> cp, cq, m1, m2, m2p, diff, h;
    Wiped<BigDouble> hq;
    BigMod(cp.data(), c, words, key.p.data(), words);
    BigMod(cq.data(), c, words, key.q.data(), words);
    BigModExp(m1.data(), cp.data(), key.dp.data(), key.p.data(), words);
    BigModExp(m2.data(), cq.data(), key.dq.data(), key.q.data(), words);
    // Garner: m = m2 + q × (q⁻¹ (m1 − m2) mod p)
    BigMod(m2p.data(), m2.data(), words, key.p.data(), words);
    if (BigSub(diff.data(), m1.data(), m2p.data(), words) != 0)
        BigAdd(diff.data(), diff.data(), key.p.data(), words);
    BigModMul(h.data(), key.qInv.data(), diff.data(), key.p.data(), words);
    BigMul(hq.data(), h.data(), key.q.data(), words);
    BigAdd(hq.data(), hq.data(), m2.data(), words);
    BigCopy(m, hq.data(), words);
}
