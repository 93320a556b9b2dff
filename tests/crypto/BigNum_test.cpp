// The big-integer routines against Python's integers.
#include "CryptoTestHelpers.h"
#include "crypto/BigNum.h"
#include "crypto/Montgomery.h"
#include <gtest/gtest.h>

using namespace crypto_test;

namespace {
struct Case {
    std::string op;
    int n;
    BigDouble a{}, b{}, m{};
};

std::string Line(const Case& c, int na, int nb, int nm) {
    return c.op + " " + ToHex(c.a.data(), na) + " " + ToHex(c.b.data(), nb) + " " +
           ToHex(c.m.data(), nm) + "\n";
}
} // namespace

TEST(BigNum, ArithmeticAgreesWithPythonIntegers) {
    std::mt19937 gen(2024);
    std::vector<Case> cases;
    std::string input;
    const int sizes[] = {1, 2, 3, 8, 16, 17, 32, 64, 131, 132};

    for (int n : sizes) {
        for (int rep = 0; rep < 4; ++rep) {
            // a × b, n words each
            Case mul{"mul", n};
            FillWords(mul.a.data(), n, gen);
            FillWords(mul.b.data(), n, gen);
            cases.push_back(mul);

            // a (2n words) divmod b (n or fewer words, never zero)
            Case div{"divmod", n};
            FillWords(div.a.data(), 2 * n, gen);
            int nb = 1 + static_cast<int>(gen() % n);
            FillWords(div.b.data(), nb, gen);
            if (rep == 0)
                div.b[nb - 1] = 0xFFFFFFFFu; // top divisor word all ones
            if (BigIsZero(div.b.data(), n))
                div.b[0] = 7;
            cases.push_back(div);

            // a × b mod m and b^e mod m for an odd and an even modulus
            for (bool odd : {true, false}) {
                Case mm{"modmul", n};
                FillWords(mm.m.data(), n, gen);
                mm.m[n - 1] |= 1u << (gen() % 32);
                mm.m[0] = odd ? (mm.m[0] | 1u) : (mm.m[0] & ~1u);
                FillWords(mm.a.data(), n, gen);
                BigMod(mm.a.data(), mm.a.data(), n, mm.m.data(), n);
                FillWords(mm.b.data(), n, gen);
                BigMod(mm.b.data(), mm.b.data(), n, mm.m.data(), n);
                cases.push_back(mm);

                Case ex = mm;
                ex.op = "modexp";
                FillWords(ex.a.data(), n, gen); // base may exceed the modulus
                FillWords(ex.b.data(), n, gen);
                if (rep == 1)
                    BigZero(ex.b.data(), n); // exponent 0
                if (rep == 2)
                    BigSetWord(ex.b.data(), n, 50001);
                if (odd || n <= 32)
                    cases.push_back(ex);
            }

            // modular inverse modulo an odd m of an odd-sized value, and gcd
            Case inv{"modinv", n};
            FillWords(inv.m.data(), n, gen);
            inv.m[n - 1] |= 0x80000000u;
            inv.m[0] |= 1u;
            BigSetWord(inv.a.data(), n, 2); // 2 is invertible modulo an odd number
            if (rep > 0) {
                FillWords(inv.a.data(), n, gen);
                BigMod(inv.a.data(), inv.a.data(), n, inv.m.data(), n);
                // keep only cases Python can invert: gcd 1
                BigNum g{};
                BigGcd(g.data(), inv.a.data(), inv.m.data(), n);
                if (BigDigits(g.data(), n) != 1 || g[0] != 1)
                    BigSetWord(inv.a.data(), n, 2);
            }
            cases.push_back(inv);

            Case gcd{"gcd", n};
            FillWords(gcd.a.data(), n, gen);
            FillWords(gcd.b.data(), n, gen);
            // a common factor
            BigWord f = 3 * 5 * 7 * 11 * 13;
            BigDouble t{};
            BigNum fw{};
            fw[0] = f;
            BigMul(t.data(), gcd.a.data(), fw.data(), n);
            BigCopy(gcd.a.data(), t.data(), n);
            BigMul(t.data(), gcd.b.data(), fw.data(), n);
            BigCopy(gcd.b.data(), t.data(), n);
            cases.push_back(gcd);
        }
    }
    for (const Case& c : cases) {
        if (c.op == "divmod")
            input += Line(c, 2 * c.n, c.n, 1);
        else
            input += Line(c, c.n, c.n, c.n);
    }
    std::vector<std::string> expected = RunReference("bignum_reference.py", input);
    ASSERT_EQ(expected.size(), cases.size());

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const int n = c.n;
        SCOPED_TRACE(c.op + " at " + std::to_string(n) + " words, case " + std::to_string(i));
        if (c.op == "mul") {
            BigDouble r;
            r.fill(0xAAAAAAAAu);
            BigMul(r.data(), c.a.data(), c.b.data(), n);
            EXPECT_EQ(ToHex(r.data(), 2 * n), expected[i]);
        } else if (c.op == "divmod") {
            BigDouble q{}, r{};
            BigDivMod(q.data(), r.data(), c.a.data(), 2 * n, c.b.data(), n);
            EXPECT_EQ(ToHex(q.data(), 2 * n) + " " + ToHex(r.data(), n), expected[i]);
        } else {
            BigNum r;
            r.fill(0xAAAAAAAAu);
            if (c.op == "modmul")
                BigModMul(r.data(), c.a.data(), c.b.data(), c.m.data(), n);
            else if (c.op == "modexp")
                BigModExp(r.data(), c.a.data(), c.b.data(), c.m.data(), n);
            else if (c.op == "modinv")
                BigModInv(r.data(), c.a.data(), c.m.data(), n);
            else
                BigGcd(r.data(), c.a.data(), c.b.data(), n);
            EXPECT_EQ(ToHex(r.data(), n), expected[i]);
        }
    }
}

TEST(BigNum, AddSubShiftCompareAndDigits) {
    BigNum a{}, b{}, r{};
    a[0] = 0xFFFFFFFFu;
    a[1] = 0xFFFFFFFFu;
    b[0] = 1;
    EXPECT_EQ(BigAdd(r.data(), a.data(), b.data(), 2), 1u); // carry out
    EXPECT_TRUE(BigIsZero(r.data(), 2));
    EXPECT_EQ(BigSub(r.data(), b.data(), a.data(), 2), 1u); // borrow out
    EXPECT_EQ(r[0], 2u);
    EXPECT_EQ(r[1], 0u);

    EXPECT_EQ(BigDigits(a.data(), 8), 2);
    EXPECT_EQ(BigDigits(r.data(), 0), 0);
    EXPECT_EQ(BigCmp(a.data(), b.data(), 2), 1);
    EXPECT_EQ(BigCmp(b.data(), a.data(), 2), -1);
    EXPECT_EQ(BigCmp(a.data(), a.data(), 2), 0);

    BigNum s{};
    s[0] = 0x80000001u;
    s[1] = 0x00000003u;
    EXPECT_EQ(BigShiftLeft(s.data(), 2, 1), 0u);
    EXPECT_EQ(s[0], 0x00000002u);
    EXPECT_EQ(s[1], 0x00000007u);
    EXPECT_EQ(BigShiftRight(s.data(), 2, 2), 2u); // the two low bits "10"
    EXPECT_EQ(s[0], 0xC0000000u);
    EXPECT_EQ(s[1], 0x00000001u);
    // 32 or more does nothing
    EXPECT_EQ(BigShiftLeft(s.data(), 2, 32), 0u);
    EXPECT_EQ(BigShiftRight(s.data(), 2, 40), 0u);
    EXPECT_EQ(s[0], 0xC0000000u);
}

TEST(BigNum, ZeroDivisorWritesNothing) {
    BigNum a{}, zero{}, q, r;
    a[0] = 12345;
    q.fill(0x5A5A5A5Au);
    r.fill(0x5A5A5A5Au);
    BigDivMod(q.data(), r.data(), a.data(), 4, zero.data(), 4);
    EXPECT_EQ(q[0], 0x5A5A5A5Au);
    EXPECT_EQ(r[0], 0x5A5A5A5Au);
}

TEST(BigNum, OperandsMayBeTheResult) {
    BigNum a{}, m{};
    a[0] = 10;
    m[0] = 97;
    BigModMul(a.data(), a.data(), a.data(), m.data(), 4); // 100 mod 97
    EXPECT_EQ(a[0], 3u);
    BigNum e{};
    e[0] = 5;
    BigModExp(a.data(), a.data(), e.data(), m.data(), 4); // 3^5 = 243 mod 97
    EXPECT_EQ(a[0], 49u);
}

// The processor-specific and the portable word loops give the same powers,
// for every limb count (odd and even), moduli of all ones, bases at or above
// the modulus and short exponents.
TEST(BigNum, MontgomeryWordLoopsAgree) {
    std::mt19937 gen(77);
    for (int rep = 0; rep < 400; ++rep) {
        const int n = 1 + static_cast<int>(gen() % 64);
        BigNum b{}, e{}, m{}, fast{}, portable{};
        FillWords(m.data(), n, gen);
        FillWords(b.data(), n, gen);
        const int ew = 1 + static_cast<int>(gen() % n);
        FillWords(e.data(), ew, gen);
        if (rep % 7 == 0)
            m.fill(0xFFFFFFFFu);
        if (rep % 5 == 0)
            b = m;
        m[0] |= 1;
        MontgomeryModExp(fast.data(), b.data(), e.data(), m.data(), n);
        MontgomeryModExpPortable(portable.data(), b.data(), e.data(), m.data(), n);
        ASSERT_EQ(ToHex(fast.data(), n), ToHex(portable.data(), n)) << "words " << n;
    }
}
