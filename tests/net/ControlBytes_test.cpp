#include "base/ControlBytes.h"

#include <gtest/gtest.h>

TEST(ControlBytes, EscapedSoALogLineStaysOneHarmlessLine) {
    using namespace std::string_literals;
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain text", "plain text"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"a\r\n230 User alice logged in.", "a\\x0d\\x0a230 User alice logged in."},
        {"del\x7f tab\t nul\0."s, "del\\x7f tab\\x09 nul\\x00."},
        {"typed \\x1b itself", "typed \\\\x1b itself"},
        {"caf\xc3\xa9 \\n", "caf\xc3\xa9 \\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControlBytes(c.in), c.out);
        EXPECT_EQ(HoldsControlByte(c.in), c.in != c.out && c.in.find("\\x") == std::string::npos);
        EXPECT_FALSE(HoldsControlByte(EscapeControlBytes(c.in)));
    }
    EXPECT_EQ(OneLineMessage("Error 10057 in function Send\r\nSocket is not connected"),
              "Error 10057 in function Send - Socket is not connected");
}
