// CRC-32 against Python's zlib, computed at run time (zlib's value carries
// the final complement, which ours leaves out).
#include "crypto/Crc32.h"
#include "support/Peers.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace testing_support;

TEST(Crc32, MatchesZlibWithTheComplementUndone) {
    TempDir dir;
    struct Case {
        std::string name;
        std::string data;
    };
    std::vector<Case> cases = {
        {"empty", ""},
        {"digits", "123456789"},
        {"pattern4092", PatternBytes(4092, 5)},
        {"pattern70000", PatternBytes(70000, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        WriteFile(path, c.data);
        CommandResult r = RunCommand(
            "/usr/bin/python3", {"-c",
                                 "import sys, zlib; "
                                 "print(zlib.crc32(open(sys.argv[1], 'rb').read()) ^ 0xFFFFFFFF)",
                                 path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::uint32_t expected = static_cast<std::uint32_t>(std::stoul(r.out));
        EXPECT_EQ(Crc32(c.data.data(), c.data.size()), expected);
    }
}

TEST(Crc32, KnownValuesAndRunningUpdate) {
    // Of no bytes: the start value itself; of "123456789": the complement of
    // the well-known check value 0xCBF43926.
    EXPECT_EQ(Crc32("", 0), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32("123456789", 9), ~0xCBF43926u);
    std::uint32_t crc = Crc32Update(kCrc32Start, "1234", 4);
    crc = Crc32Update(crc, "56789", 5);
    EXPECT_EQ(crc, Crc32("123456789", 9));
}
