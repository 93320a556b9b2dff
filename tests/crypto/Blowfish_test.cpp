// Blowfish against the published test vectors, the chaining modes and the
// keying of session buffers.
#include "crypto/TDCP_blowfish.h"
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {
std::vector<std::uint8_t> Hex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// The published Blowfish vectors: 34 eight-byte keys, then the variable key
// lengths of 1 to 24 bytes.
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
    {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
    {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
    {"1111111111111111", "0123456789abcdef", "7d0cc630afda1ec7"},
    {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    {"7ca110454a1a6e57", "01a1d6d039776742", "59c68245eb05282b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "b1b8cc0b250f09a0"},
    {"07a1133e4a0b2686", "0248d43806f67172", "1730e5778bea1da4"},
    {"3849674c2602319e", "51454b582ddf440a", "a25e7856cf2651eb"},
    {"04b915ba43feb5b6", "42fd443059577fa2", "353882b109ce8f1a"},
    {"0113b970fd34f2ce", "059b5e0851cf143a", "48f4d0884c379918"},
    {"0170f175468fb5e6", "0756d8e0774761d2", "432193b78951fc98"},
    {"43297fad38e373fe", "762514b829bf486a", "13f04154d69d1ae5"},
    {"07a7137045da2a16", "3bdd119049372802", "2eedda93ffd39c79"},
    {"04689104c2fd3b2f", "26955f6835af609a", "d887e0393c2da6e3"},
    {"37d06bb516cb7546", "164d5e404f275232", "5f99d04f5b163969"},
    {"1f08260d1ac2465e", "6b056e18759f5cca", "4a057a3b24d3977b"},
    {"584023641aba6176", "004bd6ef09176062", "452031c1e4fada8e"},
    {"025816164629b007", "480d39006ee762f2", "7555ae39f59b87bd"},
    {"49793ebc79b3258f", "437540c8698f3cfa", "53c55f9cb49fc019"},
    {"4fb05e1515ab73a7", "072d43a077075292", "7a8e7bfa937e89a3"},
    {"49e95d6d4ca229bf", "02fe55778117f12a", "cf9c5d7a4986adb5"},
    {"018310dc409b26d6", "1d9d5c5018f728c2", "d1abb290658bc778"},
    {"1c587f1c13924fef", "305532286d6f295a", "55cb3774d13ef201"},
    {"0101010101010101", "0123456789abcdef", "fa34ec4847b268b2"},
    {"1f1f1f1f0e0e0e0e", "0123456789abcdef", "a790795108ea3cae"},
    {"e0fee0fef1fef1fe", "0123456789abcdef", "c39e072d9fac631d"},
    {"0000000000000000", "ffffffffffffffff", "014933e0cdaff6e4"},
    {"ffffffffffffffff", "0000000000000000", "f21e9a77b71c49bc"},
    {"0123456789abcdef", "0000000000000000", "245946885754369a"},
    {"fedcba9876543210", "ffffffffffffffff", "6b5c5a9c5d9e0a5a"},
    {"f0", "fedcba9876543210", "f9ad597c49db005e"},
    {"f0e1", "fedcba9876543210", "e91d21c1d961a6d6"},
    {"f0e1d2", "fedcba9876543210", "e9c2b70a1bc65cf3"},
    {"f0e1d2c3", "fedcba9876543210", "be1e639408640f05"},
    {"f0e1d2c3b4", "fedcba9876543210", "b39e44481bdb1e6e"},
    {"f0e1d2c3b4a5", "fedcba9876543210", "9457aa83b1928c0d"},
    {"f0e1d2c3b4a596", "fedcba9876543210", "8bb77032f960629d"},
    {"f0e1d2c3b4a59687", "fedcba9876543210", "e87a244e2cc85e82"},
    {"f0e1d2c3b4a5968778", "fedcba9876543210", "15750e7a4f4ec577"},
    {"f0e1d2c3b4a596877869", "fedcba9876543210", "122ba70b3ab64ae0"},
    {"f0e1d2c3b4a5968778695a", "fedcba9876543210", "3a833c9affc537f6"},
    {"f0e1d2c3b4a5968778695a4b", "fedcba9876543210", "9409da87a90f6bf2"},
    {"f0e1d2c3b4a5968778695a4b3c", "fedcba9876543210", "884f80625060b8b4"},
    {"f0e1d2c3b4a5968778695a4b3c2d", "fedcba9876543210", "1f85031c19e11968"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e", "fedcba9876543210", "79d9373a714ca34f"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f", "fedcba9876543210", "93142887ee3be15c"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f00", "fedcba9876543210", "03429e838ce2d14b"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011", "fedcba9876543210", "a4299e27469ff67b"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f001122", "fedcba9876543210", "afd5aed1c1bc96a8"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f00112233", "fedcba9876543210", "10851c0e3858da9f"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344", "fedcba9876543210", "e6f51ed79b9db21f"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f001122334455", "fedcba9876543210", "64a6e14afd36b46f"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f00112233445566", "fedcba9876543210", "80c7d7d45a5479ad"},
    {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210", "05044b62fa52d080"},
};

std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDCP_blockcipher& e) {
        return e.what();
    }
    return "(no exception)";
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(gen());
    return out;
}
} // namespace

TEST(Blowfish, PublishedVectorsEncipherAndDecipher) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(std::string("key ") + v.key);
        auto key = Hex(v.key);
        auto plain = Hex(v.plain);
        auto expected = Hex(v.cipher);
        TDCP_blowfish bf;
        bf.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
        std::vector<std::uint8_t> out(8), back(8);
        bf.EncryptECB(plain.data(), out.data());
        EXPECT_EQ(out, expected);
        bf.DecryptECB(out.data(), back.data());
        EXPECT_EQ(back, plain);
    }
}

TEST(Blowfish, PropertiesAndState) {
    TDCP_blowfish bf;
    EXPECT_EQ(bf.Algorithm(), "Blowfish");
    EXPECT_EQ(bf.BlockSize(), 64);
    EXPECT_EQ(bf.MaxKeySize(), 448);
    EXPECT_FALSE(bf.Initialized());
    std::uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    bf.Init(key, 64, nullptr);
    EXPECT_TRUE(bf.Initialized());
    bf.Burn();
    EXPECT_FALSE(bf.Initialized());
    for (auto b : bf.IV())
        EXPECT_EQ(b, 0xFF);
}

TEST(Blowfish, InvalidKeySizesAreRefusedWithTheirSize) {
    std::vector<std::uint8_t> key(64, 0x5A);
    for (int size : {0, 452, 456, -8, 7, 100}) {
        TDCP_blowfish bf;
        EXPECT_EQ(Message([&] { bf.Init(key.data(), size, nullptr); }),
                  "Blowfish: Invalid key size - " + std::to_string(size));
        EXPECT_FALSE(bf.Initialized());
    }
    TDCP_blowfish bf;
    EXPECT_NO_THROW(bf.Init(key.data(), 8, nullptr));
    EXPECT_NO_THROW(bf.Init(key.data(), 448, nullptr));
}

TEST(Blowfish, EveryCipherOperationNeedsInit) {
    TDCP_blowfish bf;
    std::uint8_t buf[16] = {};
    const std::string expected = "Blowfish: Not initialized";
    EXPECT_EQ(Message([&] { bf.EncryptECB(buf, buf); }), expected);
    EXPECT_EQ(Message([&] { bf.DecryptECB(buf, buf); }), expected);
    EXPECT_EQ(Message([&] { bf.EncryptCBC(buf, buf, 16); }), expected);
    EXPECT_EQ(Message([&] { bf.DecryptCBC(buf, buf, 16); }), expected);
    EXPECT_EQ(Message([&] { bf.EncryptCFB(buf, buf, 16); }), expected);
    EXPECT_EQ(Message([&] { bf.DecryptCFB(buf, buf, 16); }), expected);
    std::uint8_t key[4] = {1, 2, 3, 4};
    bf.Init(key, 32, nullptr);
    bf.Burn();
    EXPECT_EQ(Message([&] { bf.EncryptCBC(buf, buf, 16); }), expected);
    EXPECT_NO_THROW(bf.Reset());
}

TEST(Blowfish, FiveByteCbcTailIsInputXorTwiceEncipheredOnes) {
    auto key = RandomBytes(56, 7);
    TDCP_blowfish bf;
    bf.Init(key.data(), 448, nullptr);
    std::uint8_t ones[8], twice[8];
    std::fill(std::begin(ones), std::end(ones), 0xFF);
    bf.EncryptECB(ones, twice);
    bf.EncryptECB(twice, twice);

    const std::uint8_t plain[5] = {'h', 'e', 'l', 'l', 'o'};
    std::uint8_t out[5];
    bf.EncryptCBC(plain, out, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out[i], plain[i] ^ twice[i]);

    TDCP_blowfish other;
    other.Init(key.data(), 448, nullptr);
    std::uint8_t back[5];
    other.DecryptCBC(out, back, 5);
    EXPECT_EQ(0, std::memcmp(back, plain, 5));
}

TEST(Blowfish, CbcAndCfbRoundTripAtEverySizeAndInPlace) {
    auto key = RandomBytes(16, 3);
    const std::uint8_t iv[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 16u, 4092u, 4096u}) {
        SCOPED_TRACE(size);
        auto plain = RandomBytes(size, static_cast<unsigned>(size));
        for (bool cfb : {false, true}) {
            TDCP_blowfish enc, dec;
            enc.Init(key.data(), 128, iv);
            dec.Init(key.data(), 128, iv);
            std::vector<std::uint8_t> buf = plain;
            if (cfb)
                enc.EncryptCFB(buf.data(), buf.data(), size);
            else
                enc.EncryptCBC(buf.data(), buf.data(), size);
            if (size >= 8) {
                EXPECT_NE(buf, plain);
            }
            if (cfb)
                dec.DecryptCFB(buf.data(), buf.data(), size);
            else
                dec.DecryptCBC(buf.data(), buf.data(), size);
            EXPECT_EQ(buf, plain);
        }
    }
}

TEST(Blowfish, CbcChainsAcrossCallsAndResetRestartsIt) {
    auto key = RandomBytes(8, 11);
    auto plain = RandomBytes(64, 12);
    TDCP_blowfish whole, parts;
    whole.Init(key.data(), 64, nullptr);
    parts.Init(key.data(), 64, nullptr);
    std::vector<std::uint8_t> a(64), b(64);
    whole.EncryptCBC(plain.data(), a.data(), 64);
    parts.EncryptCBC(plain.data(), b.data(), 16);
    parts.EncryptCBC(plain.data() + 16, b.data() + 16, 48);
    EXPECT_EQ(a, b);

    // Deciphering in pieces that split runs of several blocks anywhere
    // chains the same way.
    for (std::size_t first : {8u, 24u, 40u}) {
        SCOPED_TRACE(first);
        TDCP_blowfish dec;
        dec.Init(key.data(), 64, nullptr);
        std::vector<std::uint8_t> back = a;
        dec.DecryptCBC(back.data(), back.data(), first);
        dec.DecryptCBC(back.data() + first, back.data() + first, 64 - first);
        EXPECT_EQ(back, plain);
    }

    // The first block of CBC is ECB of (plain XOR IV).
    parts.Reset();
    std::uint8_t first[8], ecb[8];
    parts.EncryptCBC(plain.data(), first, 8);
    for (int i = 0; i < 8; ++i)
        ecb[i] = plain[i] ^ parts.IV()[i];
    parts.EncryptECB(ecb, ecb);
    EXPECT_EQ(0, std::memcmp(first, ecb, 8));
}

TEST(Blowfish, ZeroPaddedSessionKeyDiffersFromTheShortKey) {
    const std::string text = "secret";
    TSessionKey session = MakeSessionKey(text);
    TDCP_blowfish full, shortKey;
    full.Init(session.data(), 448, nullptr);
    shortKey.Init(text.data(), static_cast<int>(text.size() * 8), nullptr);
    std::uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8}, a[8], b[8];
    full.EncryptECB(block, a);
    shortKey.EncryptECB(block, b);
    EXPECT_NE(0, std::memcmp(a, b, 8));
}

TEST(Blowfish, SessionKeyIsTextCutTo56AndZeroPadded) {
    TSessionKey k = MakeSessionKey("abc");
    EXPECT_EQ(k[0], 'a');
    EXPECT_EQ(k[2], 'c');
    for (std::size_t i = 3; i < k.size(); ++i)
        EXPECT_EQ(k[i], 0);
    const std::string sixty(60, 'x');
    const std::string fiftySix(56, 'x');
    EXPECT_EQ(MakeSessionKey(sixty), MakeSessionKey(fiftySix));

    // InitSession is Init(SessionKey, 448, no IV).
    TDCP_blowfish a, b;
    a.InitSession(sixty);
    b.Init(MakeSessionKey(fiftySix).data(), 448, nullptr);
    EXPECT_EQ(a.IV(), b.IV());
}

TEST(Blowfish, CachedSessionGivesTheSameChunksAsAFreshCipherPerChunk) {
    const std::string keyText = "The quick brown fox jumps over the lazy dog";
    TBlowfishSession session(keyText);
    for (std::size_t size : {2048u, 1514u, 4092u, 5u, 0u}) {
        SCOPED_TRACE(size);
        auto plain = RandomBytes(size, 99);
        std::vector<std::uint8_t> fresh = plain;
        {
            TDCP_blowfish bf;
            bf.InitSession(keyText);
            bf.EncryptCBC(fresh.data(), fresh.data(), size);
            bf.Burn();
        }
        std::vector<std::uint8_t> cached = plain;
        session.EncryptChunk(cached.data(), size);
        EXPECT_EQ(cached, fresh);
        // Each chunk starts afresh: enciphering again gives the same bytes.
        std::vector<std::uint8_t> again = plain;
        session.EncryptChunk(again.data(), size);
        EXPECT_EQ(again, fresh);
        session.DecryptChunk(cached.data(), size);
        EXPECT_EQ(cached, plain);
    }
}

TEST(Blowfish, ChunksEncipheredSideBySideMatchOneAtATime) {
    TBlowfishSession session("side by side");
    // Whole groups of four, groups with a remainder, a short last chunk, and
    // 1514-byte chunks whose two-byte tails take the CBC tail rule.
    const struct {
        std::size_t chunk, size;
    } cases[] = {{2048, 4 * 2048},        {2048, 9 * 2048}, {2048, 7 * 2048 + 5}, {1514, 43 * 1514},
                 {1514, 8 * 1514 + 1513}, {2048, 3},        {8, 4 * 8 + 4},       {1514, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.chunk) + "/" + std::to_string(c.size));
        const auto plain = RandomBytes(c.size, static_cast<unsigned>(c.size));
        std::vector<std::uint8_t> oneByOne = plain, sideBySide = plain;
        for (std::size_t offset = 0; offset < c.size; offset += c.chunk)
            session.EncryptChunk(oneByOne.data() + offset, std::min(c.chunk, c.size - offset));
        session.EncryptChunks(sideBySide.data(), c.size, c.chunk);
        EXPECT_EQ(sideBySide, oneByOne);
    }
}
