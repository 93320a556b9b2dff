#include "net/TBuffer.h"

#include <gtest/gtest.h>

TEST(TBuffer, WritePeekRemoveAndReuse) {
    TBuffer buffer(8);
    EXPECT_EQ(buffer.Write("abcdefghij", 10), 8); // only what fits
    EXPECT_EQ(buffer.Write("x", 1), 0);           // full
    int len = 0;
    const char* data = buffer.Peek(len);
    ASSERT_EQ(len, 8);
    EXPECT_EQ(std::string(data, 3), "abc");
    EXPECT_EQ(buffer.Remove(3), 3);
    data = buffer.Peek(len);
    EXPECT_EQ(std::string(data, len), "defgh");
    EXPECT_EQ(buffer.Remove(100), 5); // removing everything resets both positions
    buffer.Peek(len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(buffer.Write("12345678", 8), 8);
}

TEST(TBuffer, DefaultSizeAndResizeKeepsUnreadBytes) {
    EXPECT_EQ(TBuffer(0).Size(), 1514);
    EXPECT_EQ(TBuffer(-3).Size(), 1514);
    TBuffer buffer(4);
    buffer.Write("wxyz", 4);
    buffer.Remove(1);
    buffer.SetSize(16);
    int len = 0;
    const char* data = buffer.Peek(len);
    EXPECT_EQ(std::string(data, len), "xyz");
    EXPECT_EQ(buffer.Write("0123456789", 10), 10);
}
