// The token bucket behind the speed limits, on chosen times.
#include "net/TokenBucket.h"

#include <gtest/gtest.h>

TEST(TokenBucket, RefillsAtItsRateUpToATenthOfASecond) {
    TokenBucket bucket;
    EXPECT_EQ(bucket.Allowance(1 << 20, 0), 1 << 20); // no limit
    bucket.SetRate(100'000, 0);
    EXPECT_EQ(bucket.Capacity(), 10'000);
    EXPECT_EQ(bucket.Allowance(1 << 20, 0), 10'000); // a new limit starts full
    bucket.Spend(10'000);
    EXPECT_EQ(bucket.Allowance(1 << 20, 0), 0);
    EXPECT_EQ(bucket.WaitMs(5'000, 0), 50);
    EXPECT_EQ(bucket.WaitMs(1 << 20, 0), 100); // at most a bucketful is waited for
    EXPECT_EQ(bucket.Allowance(1 << 20, 30), 3'000);
    EXPECT_EQ(bucket.Allowance(1 << 20, 5'000), 10'000); // never more than the bucket
    bucket.Spend(1 << 20);                               // spending more empties it
    EXPECT_EQ(bucket.Allowance(1, 5'000), 0);
}

TEST(TokenBucket, ChangedRateAppliesFromNowOnAndSmallRatesMoveWholeBlocks) {
    TokenBucket bucket;
    bucket.SetRate(1'000'000, 0);
    bucket.Spend(bucket.Allowance(1 << 30, 0));
    bucket.SetRate(10'000, 0); // lowered: the bucket shrinks to its minimum
    EXPECT_EQ(bucket.Capacity(), TokenBucket::kMinimumCapacity);
    EXPECT_EQ(bucket.Allowance(1 << 20, 100), 1'000);
    EXPECT_EQ(bucket.Allowance(1 << 20, 10'000), TokenBucket::kMinimumCapacity);
    bucket.SetRate(0, 10'000);
    EXPECT_FALSE(bucket.Limited());
    EXPECT_EQ(bucket.WaitMs(1 << 20, 10'000), 0);
}
