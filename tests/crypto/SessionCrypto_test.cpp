#include "Peers.h"
#include "crypto/ChunkCipher.h"
#include "crypto/Crc32.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/KeyFile.h"

#include <gtest/gtest.h>

TEST(KeyFile, MatchesOnlyUnderTheSameKey) {
    TPseudoRandom random;
    const std::string key = "an account key of some length";
    TKeyFile file = MakeKeyFile(key, random);
    std::string bytes(file.begin(), file.end());

    // Deciphering by hand gives filler whose CRC is the stored one.
    std::string filler = bytes.substr(0, 4092);
    TDCP_blowfish cipher;
    cipher.InitSession(key);
    cipher.DecryptCBC(filler.data(), filler.data(), filler.size());
    uint32_t stored = static_cast<uint8_t>(bytes[4092]) | static_cast<uint8_t>(bytes[4093]) << 8 |
                      static_cast<uint8_t>(bytes[4094]) << 16 |
                      static_cast<uint32_t>(static_cast<uint8_t>(bytes[4095])) << 24;
    EXPECT_EQ(Crc32(filler.data(), filler.size()), stored);

    EXPECT_TRUE(KeyFileMatches(bytes, key));
    EXPECT_FALSE(KeyFileMatches(bytes, "another key"));
    EXPECT_FALSE(KeyFileMatches(bytes.substr(0, 4095), key)); // short file
    EXPECT_FALSE(KeyFileMatches("", key));                    // empty transfer

    // A key of 60 characters works exactly like its first 56.
    const std::string longKey(60, 'k');
    TKeyFile longFile = MakeKeyFile(longKey, random);
    EXPECT_TRUE(
        KeyFileMatches(std::string(longFile.begin(), longFile.end()), longKey.substr(0, 56)));
}

TEST(ChunkCipher, ChunksAreEncipheredIndependentlyAndReassembledHoweverTheyArrive) {
    const std::string key = "chunk key";
    TBlowfishSession session(key);
    const std::string plain = testing_support::PatternBytes(1514 * 3 + 10, 9);
    const std::string wire = EncipherChunks(session, plain, kClientToServerChunk);
    ASSERT_EQ(wire.size(), plain.size());
    EXPECT_NE(wire, plain);
    // Four chunks, each the encipherment of its own plain chunk alone.
    for (size_t offset = 0; offset < plain.size(); offset += 1514) {
        std::string chunk = plain.substr(offset, 1514);
        session.EncryptChunk(chunk.data(), chunk.size());
        EXPECT_EQ(wire.substr(offset, 1514), chunk) << "chunk at " << offset;
    }

    for (size_t piece : {size_t(1514), size_t(1), size_t(1000), size_t(4000), wire.size()}) {
        TChunkDecipher decipher(key, kClientToServerChunk);
        std::string out;
        for (size_t offset = 0; offset < wire.size(); offset += piece)
            out += decipher.Feed(wire.substr(offset, piece));
        EXPECT_EQ(decipher.Pending(), 10u) << "pieces of " << piece;
        out += decipher.Finish();
        EXPECT_EQ(decipher.Pending(), 0u);
        EXPECT_TRUE(out == plain) << "pieces of " << piece;
    }
}

TEST(KeyAnnouncement, TextsAndLineForms) {
    EXPECT_EQ(SymKeyLengthText(sk64), "064");
    EXPECT_EQ(KeyBitsText(kb0512), "0512");
    EXPECT_EQ(SymKeyLengthFromText("192"), sk192);
    EXPECT_EQ(KeyBitsFromText("2048"), kb2048);
    EXPECT_FALSE(KeyBitsFromText("4096"));
    EXPECT_FALSE(SymKeyLengthFromText("64"));

    struct Case {
        const char* line;
        bool plainCommand;
    } commands[] = {{"USER bob", true}, {"NOOP", true}, {"XMKD d", true}, {"user bob", false},
                    {"AB", false},      {"ABC", false}, {"AB1 x", false}, {"ABCd", false}};
    for (const auto& c : commands)
        EXPECT_EQ(LooksLikePlainCommand(c.line), c.plainCommand) << c.line;
    EXPECT_TRUE(LooksLikePlainReply("230-Welcome"));
    EXPECT_TRUE(LooksLikePlainReply("220 ready"));
    EXPECT_FALSE(LooksLikePlainReply("23O ready"));

    // 64 bytes of a 512-bit block encode to 86 characters.
    EXPECT_TRUE(IsWellFormedCiphertext(std::string(86, 'A'), 64));
    EXPECT_TRUE(IsWellFormedCiphertext(std::string(171, 'z'), 128));
    EXPECT_FALSE(IsWellFormedCiphertext(std::string(85, 'A'), 64));
    EXPECT_FALSE(IsWellFormedCiphertext("USER bob", 64));
    EXPECT_FALSE(IsWellFormedCiphertext(std::string(85, 'A') + "=", 64));
}
