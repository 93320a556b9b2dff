// The linear congruential generator: its recurrence, draws and clock seed.
#include "crypto/PseudoRandom.h"
#include <gtest/gtest.h>

TEST(TPseudoRandom, RecurrenceAndDrawsBelowN) {
    TPseudoRandom random(0);
    // seed ← seed × 134775813 + 1; a draw is the high half of seed × N.
    EXPECT_EQ(random.Random(100), 0u); // seed 1: 100 >> 32
    EXPECT_EQ(random.Seed(), 1u);
    EXPECT_EQ(random.Random(100), 3u); // seed 134775814: 13477581400 >> 32
    EXPECT_EQ(random.Seed(), 134775814u);

    std::uint32_t seed = 0xDEADBEEFu;
    random.SetSeed(seed);
    for (int i = 0; i < 1000; ++i) {
        seed = seed * 134775813u + 1u;
        const std::uint64_t expected = (static_cast<std::uint64_t>(seed) * 4294967295u) >> 32;
        ASSERT_EQ(random.RandomWord(), expected);
    }
    for (std::uint32_t n : {1u, 2u, 127u, 256u}) {
        for (int i = 0; i < 200; ++i)
            EXPECT_LT(random.Random(n), n);
    }
}

TEST(TPseudoRandom, RandomizeUsesMillisecondsOfTheDay) {
    TPseudoRandom random(0xFFFFFFFFu);
    random.Randomize();
    EXPECT_LT(random.Seed(), 24u * 60 * 60 * 1000);
}
