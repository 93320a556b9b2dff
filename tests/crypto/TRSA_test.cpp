// TRSA: key generation at every size, key texts, encipherment, the failure
// table, and agreement with an independent RSA written in Python.
#include "CryptoTestHelpers.h"
#include "crypto/SystemRandom.h"
#include "crypto/TRSA.h"
#include "support/KeyCases.h"
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <thread>

using namespace crypto_test;
using testing_support::DegenerateKeys;
using testing_support::KeyCase;
using testing_support::OneBitShortPair;

namespace {
// What a generation showed through the test seam, before the primes were wiped.
struct GeneratedPair {
    std::unique_ptr<TRSA> rsa;
    BigNum p{}, q{};
    int primeWords = 0;
    std::vector<std::string> statuses;
};

TKeyBits kSizes[] = {kb0512, kb1024, kb2048};

// One pair per size for the whole binary: generation is the slow part.
GeneratedPair& Pair(TKeyBits bits) {
    static std::map<TKeyBits, GeneratedPair> pairs;
    auto it = pairs.find(bits);
    if (it != pairs.end())
        return it->second;
    GeneratedPair& g = pairs[bits];
    g.rsa = std::make_unique<TRSA>();
    g.rsa->SetKeyBits(bits);
    g.rsa->OnPrimesFound = [&g](const BigNum& p, const BigNum& q, int words) {
        g.p = p;
        g.q = q;
        g.primeWords = words;
    };
    g.rsa->OnStatusUpdate = [&g](TRSA& sender) { g.statuses.push_back(sender.Status()); };
    g.rsa->GenerateKeys();
    g.rsa->OnPrimesFound = nullptr;
    g.rsa->OnStatusUpdate = nullptr;
    return g;
}

std::string RandomText(std::size_t size, std::mt19937& gen) {
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

template <typename E> std::string Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong exception: ") + e.what();
    }
    return "(no exception)";
}

bool IsOne(const BigWord* a, int n) {
    return BigDigits(a, n) == 1 && a[0] == 1;
}
} // namespace

TEST(Base64, KnownTextsAndRoundTrips) {
    EXPECT_EQ(Base64Encode("abc"), "MK7X");
    EXPECT_EQ(Base64Encode(std::string("\x00\x00\xC3\x51", 4)), "++11IE");
    EXPECT_EQ(Base64Decode("MK7X"), "abc");
    EXPECT_EQ(Base64Encode(""), "");
    std::mt19937 gen(5);
    for (std::size_t size = 0; size < 40; ++size) {
        std::string bytes = RandomText(size, gen);
        std::string text = Base64Encode(bytes);
        EXPECT_EQ(text.size(), (size * 4 + 2) / 3);
        EXPECT_EQ(text.find('='), std::string::npos);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
    // One byte gives two characters and decodes back to exactly that byte.
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        ASSERT_EQ(Base64Encode(one).size(), 2u);
        EXPECT_EQ(Base64Decode(Base64Encode(one)), one);
    }
    // A lone trailing character yields no byte.
    EXPECT_EQ(Base64Decode("MK7XM"), "abc");
}

TEST(Base64, BadCharacterIsAConversionError) {
    for (const char* text : {"MK7X=", "ab c", "/abc", "abc\n"}) {
        EXPECT_EQ(Raised<EConvertError>([&] { Base64Decode(text); }),
                  "Error converting from Base64 - invalid character");
    }
}

TEST(TRSA, InitialStateAndKeyBits) {
    TRSA rsa;
    EXPECT_EQ(rsa.KeyBits(), kb0512);
    EXPECT_EQ(rsa.SymKeyLength(), sk64);
    EXPECT_EQ(rsa.KeyWords(), 16);
    EXPECT_EQ(rsa.Status(), "TRSA using 512 bit key");
    EXPECT_FALSE(rsa.PublicKeyLoaded());
    EXPECT_FALSE(rsa.PrivateKeyLoaded());
    std::vector<std::string> seen;
    rsa.OnStatusUpdate = [&](TRSA& sender) { seen.push_back(sender.Status()); };
    rsa.SetKeyBits(kb1024);
    EXPECT_EQ(rsa.KeyWords(), 32);
    rsa.SetKeyBits(kb2048);
    EXPECT_EQ(rsa.KeyWords(), 64);
    rsa.SetKeyBits(kb0512);
    EXPECT_EQ(seen, (std::vector<std::string>{"TRSA using 1024 bit key", "TRSA using 2048 bit key",
                                              "TRSA using 512 bit key"}));
    rsa.SetSymKeyLength(sk256);
    EXPECT_EQ(rsa.SymKeyLength(), sk256);
}

TEST(TRSA, GeneratedKeysHoldTheirMathematics) {
    for (TKeyBits bits : kSizes) {
        GeneratedPair& g = Pair(bits);
        TRSA& rsa = *g.rsa;
        const int words = rsa.KeyWords();
        const int h = g.primeWords;
        SCOPED_TRACE(words * 32);
        ASSERT_EQ(h, words / 2);
        EXPECT_TRUE(rsa.PublicKeyLoaded());
        EXPECT_TRUE(rsa.PrivateKeyLoaded());
        EXPECT_EQ(g.statuses, (std::vector<std::string>{"Finding first random prime",
                                                        "Finding second random prime",
                                                        "Calculating keys", "Idle"}));

        // e odd, e ≥ 50001, a single word
        const BigNum& e = rsa.Exponent();
        EXPECT_EQ(BigDigits(e.data(), words), 1);
        EXPECT_EQ(e[0] & 1, 1u);
        EXPECT_GE(e[0], 50001u);

        // the primes: top bit set, p ≥ q, n = p·q with all words significant
        EXPECT_TRUE(g.p[h - 1] & 0x80000000u);
        EXPECT_TRUE(g.q[h - 1] & 0x80000000u);
        EXPECT_GE(BigCmp(g.p.data(), g.q.data(), h), 0);
        BigDouble pq{};
        BigMul(pq.data(), g.p.data(), g.q.data(), h);
        EXPECT_EQ(BigCmp(pq.data(), rsa.Modulus().data(), words), 0);
        EXPECT_EQ(BigDigits(rsa.Modulus().data(), words), words);

        // gcd(e, p−1) = gcd(e, q−1) = 1 and e·d ≡ 1 mod (p−1)(q−1)
        BigNum p1{}, q1{}, g1{}, phi{}, r{};
        BigSubWord(p1.data(), g.p.data(), 1, h);
        BigSubWord(q1.data(), g.q.data(), 1, h);
        BigGcd(g1.data(), e.data(), p1.data(), h);
        EXPECT_TRUE(IsOne(g1.data(), h));
        BigGcd(g1.data(), e.data(), q1.data(), h);
        EXPECT_TRUE(IsOne(g1.data(), h));
        BigMul(pq.data(), p1.data(), q1.data(), h);
        BigCopy(phi.data(), pq.data(), words);
        BigModMul(r.data(), e.data(), rsa.PrivateExponent().data(), phi.data(), words);
        EXPECT_TRUE(IsOne(r.data(), words));
        // every e below the final one shares a factor with p−1 or q−1
        for (BigWord smaller = 50001; smaller < e[0]; smaller += 2) {
            BigNum s{};
            s[0] = smaller;
            BigNum ga{}, gb{};
            BigGcd(ga.data(), s.data(), p1.data(), h);
            BigGcd(gb.data(), s.data(), q1.data(), h);
            EXPECT_FALSE(IsOne(ga.data(), h) && IsOne(gb.data(), h)) << smaller;
        }

        // (m^e)^d ≡ m mod n for random m < n
        std::mt19937 gen(words);
        for (int i = 0; i < 3; ++i) {
            BigNum m{}, c{}, back{};
            FillWords(m.data(), words - 1, gen);
            BigModExp(c.data(), m.data(), e.data(), rsa.Modulus().data(), words);
            BigModExp(back.data(), c.data(), rsa.PrivateExponent().data(), rsa.Modulus().data(),
                      words);
            EXPECT_EQ(BigCmp(back.data(), m.data(), words), 0);
        }
    }
}

TEST(TRSA, KeyTextsHaveTheirLengthsAndForm) {
    const std::size_t lengths[] = {86, 171, 342};
    int i = 0;
    for (TKeyBits bits : kSizes) {
        TRSA& rsa = *Pair(bits).rsa;
        SCOPED_TRACE(rsa.KeyWords() * 32);
        // Each full-size number is written in lengths[i] characters: the
        // modulus in both texts and d in the private one; e in six.
        const std::string& pub = rsa.PublicKey();
        const std::string& priv = rsa.PrivateKey();
        ASSERT_EQ(pub.find(':'), 6u);
        EXPECT_EQ(pub.size() - 7, lengths[i]);
        EXPECT_EQ(priv.find(':'), lengths[i]);
        EXPECT_EQ(priv.size(), 2 * lengths[i] + 1);
        EXPECT_EQ(pub.substr(7), priv.substr(0, lengths[i]));
        if (rsa.Exponent()[0] == 50001u) {
            EXPECT_EQ(pub.substr(0, 7), "++11IE:");
        }
        ++i;

        // A fresh object loads the texts back to the same numbers.
        TRSA copy;
        copy.SetKeyBits(bits);
        copy.SetPublicKey(rsa.PublicKey());
        EXPECT_EQ(copy.Status(), "Public key loaded OK");
        copy.SetPrivateKey(rsa.PrivateKey());
        EXPECT_EQ(copy.Status(), "Private key loaded OK");
        EXPECT_EQ(copy.Exponent(), rsa.Exponent());
        EXPECT_EQ(copy.Modulus(), rsa.Modulus());
        EXPECT_EQ(copy.PrivateExponent(), rsa.PrivateExponent());
        EXPECT_EQ(copy.PublicKey(), rsa.PublicKey());
        EXPECT_EQ(copy.PrivateKey(), rsa.PrivateKey());
    }
}

TEST(TRSA, RoundTripsOfEmptyBlockSizedAndRandomTexts) {
    std::mt19937 gen(77);
    for (TKeyBits bits : kSizes) {
        TRSA& rsa = *Pair(bits).rsa;
        const std::size_t k = static_cast<std::size_t>(rsa.ModulusBytes());
        const std::size_t b = k - 1;
        SCOPED_TRACE(k * 8);
        // the empty text: one block
        std::string c = rsa.EncryptString("");
        EXPECT_EQ(Base64Decode(c).size(), k);
        EXPECT_EQ(rsa.DecryptString(c), "");
        // b bytes: two blocks
        std::string full = RandomText(b, gen);
        c = rsa.EncryptString(full);
        EXPECT_EQ(Base64Decode(c).size(), 2 * k);
        EXPECT_EQ(rsa.DecryptString(c), full);
        const std::size_t sizes[] = {1, b - 1, b + 1, 3 * b + 7};
        for (std::size_t size : sizes) {
            std::string text = RandomText(size, gen);
            c = rsa.EncryptString(text);
            EXPECT_EQ(Base64Decode(c).size(), (size / b + 1) * k);
            EXPECT_EQ(rsa.DecryptString(c), text);
        }
        // Bytes beyond the last whole block are ignored.
        std::string bytes = Base64Decode(rsa.EncryptString("hello"));
        EXPECT_EQ(rsa.DecryptString(Base64Encode(bytes + "xyz")), "hello");
    }
}

TEST(TRSA, AgreesWithAnIndependentImplementation) {
    std::mt19937 gen(4242);
    for (TKeyBits bits : kSizes) {
        TRSA& rsa = *Pair(bits).rsa;
        const std::size_t b = static_cast<std::size_t>(rsa.ModulusBytes()) - 1;
        SCOPED_TRACE(rsa.KeyWords() * 32);
        std::vector<std::string> texts = {"", "USER anonymous", RandomText(b, gen)};
        for (int i = 0; i < 4; ++i)
            texts.push_back(RandomText(gen() % (2 * b + 3), gen));

        std::string input = "pub " + rsa.PublicKey() + "\npriv " + rsa.PrivateKey() + "\n";
        std::vector<std::string> ours;
        for (const std::string& t : texts) {
            ours.push_back(rsa.EncryptString(t));
            input += "dec " + ours.back() + "\n";
            input += "enc " + HexBytes(t) + "\n";
        }
        std::vector<std::string> out = RunReference("rsa_reference.py", input);
        ASSERT_EQ(out.size(), 2 * texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            // Python deciphers ours, and its ciphertext is ours byte for byte
            // (the padding is deterministic); we decipher Python's.
            EXPECT_EQ(out[2 * i], HexBytes(texts[i]));
            EXPECT_EQ(out[2 * i + 1], ours[i]);
            EXPECT_EQ(rsa.DecryptString(out[2 * i + 1]), texts[i]);
        }
    }
}

TEST(TRSA, FailureTableTextsAndStatus) {
    TRSA& good = *Pair(kb0512).rsa;
    TRSA rsa;
    std::vector<std::string> seen;
    rsa.OnStatusUpdate = [&](TRSA& sender) { seen.push_back(sender.Status()); };

    EXPECT_EQ(Raised<ENoKeyLoaded>([&] { rsa.EncryptString("x"); }), "Public key not loaded");
    EXPECT_EQ(rsa.Status(), "Public key not loaded");
    EXPECT_EQ(Raised<ENoKeyLoaded>([&] { rsa.DecryptString("x"); }), "Private key not loaded");
    EXPECT_EQ(rsa.Status(), "Private key not loaded");
    EXPECT_EQ(seen.size(), 2u);

    EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPublicKey("nocolon"); }), "Public key not valid");
    EXPECT_EQ(rsa.Status(), "Public key not valid");
    EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPrivateKey("nocolon"); }), "Private key not valid");
    EXPECT_EQ(rsa.Status(), "Private key not valid");

    const std::string pub = good.PublicKey();
    const std::string priv = good.PrivateKey();
    const std::size_t colon = priv.find(':');
    const std::string tooLong = Base64Encode(std::string(65, 'x'));
    struct LengthCase {
        std::string text;
        bool isPublic;
    };
    const LengthCase lengthCases[] = {
        {pub.substr(0, pub.size() - 3), true},       // n short
        {pub + "AB", true},                          // n long
        {tooLong + pub.substr(pub.find(':')), true}, // e longer than k
        {priv.substr(0, priv.size() - 4), false},    // d short
        {tooLong + priv.substr(colon), false},       // n longer than k
        {priv.substr(0, colon) + ":", false},        // d empty
    };
    for (const LengthCase& c : lengthCases) {
        const std::string expected =
            c.isPublic ? "Public key has incorrect length" : "Private key has incorrect length";
        if (c.isPublic)
            EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPublicKey(c.text); }), expected);
        else
            EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPrivateKey(c.text); }), expected);
        EXPECT_EQ(rsa.Status(), expected);
    }

    // A bad character: conversion error, status unchanged.
    const std::string before = rsa.Status();
    EXPECT_EQ(Raised<EConvertError>([&] { rsa.SetPublicKey("++11IE:ab=c"); }),
              "Error converting from Base64 - invalid character");
    EXPECT_EQ(rsa.Status(), before);

    // Ciphertext that does not decode, or is shorter than one block.
    rsa.SetPrivateKey(priv);
    EXPECT_EQ(Raised<EConvertError>([&] { rsa.DecryptString("not base64!"); }), "String not valid");
    EXPECT_EQ(rsa.Status(), "String not valid");
    rsa.SetPrivateKey(priv);
    EXPECT_EQ(Raised<EConvertError>([&] { rsa.DecryptString("MK7X"); }),
              "String has incorrect length");
    EXPECT_EQ(rsa.Status(), "String not valid");
    EXPECT_EQ(Raised<EConvertError>([&] { rsa.DecryptString(""); }), "String has incorrect length");

    // Signature of the wrong length.
    EXPECT_EQ(Raised<EConvertError>([&] { rsa.SetSignature("MK7X"); }),
              "Signature has incorrect length");
    EXPECT_EQ(rsa.Status(), "Signature has incorrect length");
    EXPECT_FALSE(rsa.SignatureLoaded());
    rsa.SetSignature(Base64Encode(std::string(64, 's')));
    EXPECT_TRUE(rsa.SignatureLoaded());
}

TEST(TRSA, FailedSetterLeavesNumbersZeroAndFlagClearTextUnchanged) {
    TRSA& good = *Pair(kb0512).rsa;
    TRSA rsa;
    rsa.SetPublicKey(good.PublicKey());
    rsa.SetPrivateKey(good.PrivateKey());
    EXPECT_THROW(rsa.SetPublicKey("broken"), EInvalidKey);
    EXPECT_FALSE(rsa.PublicKeyLoaded());
    EXPECT_TRUE(BigIsZero(rsa.Exponent().data(), kBigWords));
    EXPECT_TRUE(BigIsZero(rsa.Modulus().data(), kBigWords));
    EXPECT_EQ(rsa.PublicKey(), good.PublicKey());
    EXPECT_THROW(rsa.EncryptString("x"), ENoKeyLoaded);

    EXPECT_THROW(rsa.SetPrivateKey("+:+"), EInvalidKey);
    EXPECT_FALSE(rsa.PrivateKeyLoaded());
    EXPECT_TRUE(BigIsZero(rsa.PrivateExponent().data(), kBigWords));
    EXPECT_EQ(rsa.PrivateKey(), good.PrivateKey());
    EXPECT_THROW(rsa.DecryptString("x"), ENoKeyLoaded);
}

TEST(TRSA, ForeignPrivateKeyReplacesTheModulusOfThePublicKey) {
    TRSA& first = *Pair(kb0512).rsa;
    TRSA second;
    second.GenerateKeys();
    TRSA rsa;
    rsa.SetPublicKey(first.PublicKey());
    rsa.SetPrivateKey(second.PrivateKey());
    EXPECT_TRUE(rsa.PublicKeyLoaded());
    EXPECT_TRUE(rsa.PrivateKeyLoaded());
    EXPECT_EQ(rsa.Exponent(), first.Exponent());
    EXPECT_EQ(rsa.Modulus(), second.Modulus());
    EXPECT_NE(rsa.Modulus(), first.Modulus());
    EXPECT_EQ(rsa.PrivateExponent(), second.PrivateExponent());
}

TEST(TRSA, WrongPrivateKeyGivesGarbageNotAnError) {
    TRSA& first = *Pair(kb0512).rsa;
    TRSA other;
    other.GenerateKeys();
    std::string c = first.EncryptString("PASS secret");
    std::string garbage;
    EXPECT_NO_THROW(garbage = other.DecryptString(c));
    EXPECT_NE(garbage, "PASS secret");
}

TEST(TRSA, KeyBitsChangeDoesNotUnloadAndClearKeysDoes) {
    TRSA rsa;
    rsa.GenerateKeys();
    rsa.SetKeyBits(kb1024);
    EXPECT_TRUE(rsa.PublicKeyLoaded());
    EXPECT_TRUE(rsa.PrivateKeyLoaded());
    rsa.SetKeyBits(kb0512);
    EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("still here")), "still here");
    rsa.ClearKeys();
    EXPECT_FALSE(rsa.PublicKeyLoaded());
    EXPECT_FALSE(rsa.PrivateKeyLoaded());
    EXPECT_EQ(rsa.PublicKey(), "");
    EXPECT_EQ(rsa.PrivateKey(), "");
    EXPECT_EQ(rsa.Signature(), "");
    EXPECT_TRUE(BigIsZero(rsa.Exponent().data(), kBigWords));
    EXPECT_TRUE(BigIsZero(rsa.Modulus().data(), kBigWords));
    EXPECT_TRUE(BigIsZero(rsa.PrivateExponent().data(), kBigWords));
    EXPECT_THROW(rsa.EncryptString("x"), ENoKeyLoaded);
}

TEST(TRSA, GenerateKeysUsesTheGivenSeedsAndChecksTheirSize) {
    TRSA rsa;
    std::vector<std::uint32_t> tooShort(7, 1);
    std::vector<std::uint32_t> enough = SystemRandomWords(17);
    EXPECT_THROW(rsa.GenerateKeys(tooShort, enough), std::invalid_argument);
    EXPECT_FALSE(rsa.PublicKeyLoaded());
    rsa.GenerateKeys(enough, SystemRandomWords(17));
    EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("ok")), "ok");
}

TEST(SystemRandom, WordsDiffer) {
    std::vector<std::uint32_t> a = SystemRandomWords(8);
    std::vector<std::uint32_t> b = SystemRandomWords(8);
    EXPECT_EQ(a.size(), 8u);
    EXPECT_NE(a, b);
}

TEST(TRSA, GenerationOnAWorkerThreadThenInstalledByKeyTexts) {
    // Key generation may run on a private TRSA on another thread; the
    // result is moved into the program's pair through its texts.
    TRSA worker;
    std::thread thread([&] { worker.GenerateKeys(); });
    thread.join();
    TRSA program;
    program.SetPublicKey(worker.PublicKey());
    program.SetPrivateKey(worker.PrivateKey());
    EXPECT_EQ(program.DecryptString(worker.EncryptString("LIST")), "LIST");
}

TEST(TRSA, ArbitraryKeyTextsAndCiphertextsNeverCrash) {
    // What a peer sends (PUBK texts, enciphered lines) is arbitrary: every
    // input either loads or fails with one of the table's errors.
    static const char alphabet[] =
        "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::mt19937 gen(99);
    auto randomKeyish = [&](std::size_t size) {
        std::string s;
        for (std::size_t i = 0; i < size; ++i)
            s += alphabet[gen() % 64];
        if (size > 0 && gen() % 4 != 0)
            s[gen() % size] = ':';
        if (gen() % 8 == 0 && size > 0)
            s[gen() % size] = static_cast<char>(gen());
        return s;
    };
    TRSA& good = *Pair(kb0512).rsa;
    for (int i = 0; i < 300; ++i) {
        TRSA rsa;
        rsa.SetKeyBits(kSizes[gen() % 3]);
        const std::size_t size = gen() % 400;
        try {
            rsa.SetPublicKey(randomKeyish(size));
        } catch (const ECryptoError&) {
        }
        try {
            rsa.SetPrivateKey(gen() % 2 ? randomKeyish(size) : good.PrivateKey());
        } catch (const ECryptoError&) {
        }
        try {
            rsa.SetSignature(randomKeyish(gen() % 400));
        } catch (const ECryptoError&) {
        }
        try {
            rsa.EncryptString(randomKeyish(gen() % 300));
        } catch (const ECryptoError&) {
        }
        try {
            rsa.DecryptString(randomKeyish(gen() % 700));
        } catch (const ECryptoError&) {
        }
    }
}

TEST(TRSA, DegenerateKeysAreRefusedAndAOneBitShortModulusLoads) {
    TRSA& good = *Pair(kb0512).rsa;
    for (const KeyCase& c : DegenerateKeys(good)) {
        TRSA rsa;
        EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPublicKey(c.publicKey); }),
                  "Public key not valid")
            << c.what;
        EXPECT_FALSE(rsa.PublicKeyLoaded()) << c.what;
        const bool modulusCase = std::string(c.what).find("exponent") == std::string::npos;
        // The private key text carries the modulus but not the public exponent.
        EXPECT_EQ(Raised<EInvalidKey>([&] { rsa.SetPrivateKey(c.privateKey); }),
                  modulusCase ? "Private key not valid" : "(no exception)")
            << c.what;
    }
    for (TKeyBits bits : {kb0512, kb1024}) {
        TRSA made = OneBitShortPair(bits);
        TRSA loaded;
        loaded.SetKeyBits(bits);
        loaded.SetPrivateKey(made.PrivateKey());
        loaded.SetPublicKey(made.PublicKey());
        EXPECT_EQ(loaded.DecryptString(loaded.EncryptString("short by one bit")),
                  "short by one bit");
    }
}

namespace {
// A ciphertext text of one block holding the number c (k little-endian bytes).
std::string CipherOf(const BigNum& c, int modulusBytes) {
    std::string bytes(static_cast<std::size_t>(modulusBytes), '\0');
    for (int j = 0; j < modulusBytes; ++j)
        bytes[static_cast<std::size_t>(j)] = static_cast<char>(c[j / 4] >> (8 * (j % 4)));
    return Base64Encode(bytes);
}

// Blocks that probe the edges of the two halves: 0, 1, n − 1, the primes
// themselves (c ≡ 0 modulo one of them), all ones (c ≥ n) and random ones.
std::vector<std::string> ProbeCiphers(const TRSA& rsa, const BigNum& p, const BigNum& q,
                                      std::mt19937& gen) {
    const int words = rsa.KeyWords();
    BigNum zero{}, one{}, nMinus1{}, ones{};
    one[0] = 1;
    BigSubWord(nMinus1.data(), rsa.Modulus().data(), 1, words);
    for (int i = 0; i < words; ++i)
        ones[i] = 0xFFFFFFFFu;
    std::vector<std::string> out;
    for (const BigNum* c :
         std::initializer_list<const BigNum*>{&zero, &one, &nMinus1, &p, &q, &ones})
        out.push_back(CipherOf(*c, rsa.ModulusBytes()));
    for (int i = 0; i < 3; ++i)
        out.push_back(
            Base64Encode(RandomText(static_cast<std::size_t>(rsa.ModulusBytes()) * 2, gen)));
    return out;
}

// The plain method: a TRSA holding only the private key cannot factor.
std::string PlainDecrypt(TKeyBits bits, const std::string& privateKey, const std::string& cipher) {
    TRSA plain;
    plain.SetKeyBits(bits);
    plain.SetPrivateKey(privateKey);
    std::string out = plain.DecryptString(cipher);
    EXPECT_FALSE(plain.PrivateKeyFactored());
    return out;
}
} // namespace

// With both key texts of a pair loaded (in either order), deciphering goes
// through the factored modulus and gives exactly what the plain method gives.
TEST(TRSA, FactoredPrivateKeyDeciphersAsThePlainMethod) {
    std::mt19937 gen(31);
    for (TKeyBits bits : kSizes) {
        GeneratedPair& g = Pair(bits);
        for (bool publicFirst : {true, false}) {
            TRSA rsa;
            rsa.SetKeyBits(bits);
            if (publicFirst)
                rsa.SetPublicKey(g.rsa->PublicKey());
            rsa.SetPrivateKey(g.rsa->PrivateKey());
            if (!publicFirst)
                rsa.SetPublicKey(g.rsa->PublicKey());
            for (const std::string& c : ProbeCiphers(rsa, g.p, g.q, gen))
                ASSERT_EQ(rsa.DecryptString(c), PlainDecrypt(bits, g.rsa->PrivateKey(), c))
                    << rsa.KeyWords() << " words";
            EXPECT_TRUE(rsa.PrivateKeyFactored());
            EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("NOOP")), "NOOP");
        }
        // The generator's own instance factors its pair as well.
        EXPECT_EQ(g.rsa->DecryptString(g.rsa->EncryptString("PWD")), "PWD");
        EXPECT_TRUE(g.rsa->PrivateKeyFactored());
    }
    for (TKeyBits bits : {kb0512, kb1024}) {
        TRSA made = OneBitShortPair(bits);
        TRSA loaded;
        loaded.SetKeyBits(bits);
        loaded.SetPublicKey(made.PublicKey());
        loaded.SetPrivateKey(made.PrivateKey());
        const std::string c =
            Base64Encode(RandomText(static_cast<std::size_t>(made.ModulusBytes()), gen));
        EXPECT_EQ(loaded.DecryptString(c), PlainDecrypt(bits, made.PrivateKey(), c));
        EXPECT_TRUE(loaded.PrivateKeyFactored());
    }
}

// A public and a private key text of different pairs loaded together: the
// exponents do not factor the modulus, and deciphering falls back to the
// plain method with its (garbage) result unchanged. So do the exponent
// variants of the degenerate keys, which load as private keys.
TEST(TRSA, MismatchedPairFallsBackToThePlainMethod) {
    std::mt19937 gen(32);
    TRSA& first = *Pair(kb0512).rsa;
    TRSA second;
    second.GenerateKeys();
    // The public key loaded last brings its modulus: n and e of the first
    // pair, d of the second (the generated public exponents are often equal,
    // so the other order may well be a matching pair).
    TRSA mixed;
    mixed.SetPrivateKey(second.PrivateKey());
    mixed.SetPublicKey(first.PublicKey());
    const auto colon = [](const std::string& t) { return t.find(':'); };
    const std::string modulusOfFirst = first.PrivateKey().substr(0, colon(first.PrivateKey()));
    const std::string mixedPrivate =
        modulusOfFirst + second.PrivateKey().substr(colon(second.PrivateKey()));
    const std::string c = first.EncryptString("PASS secret");
    const std::string garbage = mixed.DecryptString(c);
    EXPECT_EQ(garbage, PlainDecrypt(kb0512, mixedPrivate, c));
    EXPECT_NE(garbage, "PASS secret");
    EXPECT_FALSE(mixed.PrivateKeyFactored());
    // Loading the matching private key factors it from then on.
    mixed.SetPrivateKey(first.PrivateKey());
    EXPECT_EQ(mixed.DecryptString(c), "PASS secret");
    EXPECT_TRUE(mixed.PrivateKeyFactored());

    for (const KeyCase& k : DegenerateKeys(first)) {
        TRSA rsa;
        try {
            rsa.SetPrivateKey(k.privateKey);
        } catch (const EInvalidKey&) {
            continue; // refused moduli never reach a decipherment
        }
        rsa.SetPublicKey(first.PublicKey());
        const std::string text = Base64Encode(RandomText(64, gen));
        EXPECT_EQ(rsa.DecryptString(text), PlainDecrypt(kb0512, k.privateKey, text)) << k.what;
    }
}
