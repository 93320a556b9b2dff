#include "ftpserver/CommandLine.h"
#include "ftpserver/FtpServerException.h"

#include <gtest/gtest.h>

namespace {

std::vector<TLineAssembler::Item> FeedText(TLineAssembler& a, const std::string& text) {
    return a.Feed(text.data(), text.size());
}

TEST(LineAssembler, SplitsLinesAndStripsCr) {
    TLineAssembler a;
    auto items = FeedText(a, "USER bob\r\nPASS x\nNOOP");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Line, "USER bob");
    EXPECT_EQ(items[1].Line, "PASS x");
    items = FeedText(a, "\r\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Line, "NOOP");
}

TEST(LineAssembler, EmptyCrLfIsOneByteLineAndBareLfIsEmpty) {
    TLineAssembler a;
    auto items = FeedText(a, "\r\n\n");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Line, "\r");
    EXPECT_EQ(items[1].Line, "");
}

TEST(LineAssembler, LineSplitOverManyReadsIsReassembled) {
    TLineAssembler a;
    EXPECT_TRUE(FeedText(a, "RE").empty());
    EXPECT_TRUE(FeedText(a, "TR fi").empty());
    auto items = FeedText(a, "le\r\nNO");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Line, "RETR file");
}

TEST(LineAssembler, OverlongLineIsReportedOnceAndNextLineWorks) {
    TLineAssembler a;
    EXPECT_TRUE(FeedText(a, std::string(3000, 'A')).empty());
    EXPECT_TRUE(FeedText(a, std::string(3000, 'B')).empty());
    auto items = FeedText(a, "CC\r\nNOOP\r\n");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].TooLong);
    EXPECT_FALSE(items[1].TooLong);
    EXPECT_EQ(items[1].Line, "NOOP");
    // Exactly the limit is accepted, one more is not.
    items = FeedText(a, std::string(kMaxCommandLine, 'x') + "\n" +
                            std::string(kMaxCommandLine + 1, 'y') + "\n");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_FALSE(items[0].TooLong);
    EXPECT_TRUE(items[1].TooLong);
    // The limit counts the bytes before the line end, CR LF or LF alone,
    // also when the line end arrives in a read of its own.
    const std::string longest(kMaxCommandLine, 'z');
    items = FeedText(a, longest + "\r\n" + longest + "\r");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_FALSE(items[0].TooLong);
    EXPECT_EQ(items[0].Line, longest);
    items = FeedText(a, "\n" + longest + "x\r\n");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_FALSE(items[0].TooLong);
    EXPECT_EQ(items[0].Line, longest);
    EXPECT_TRUE(items[1].TooLong);
}

TEST(CommandLine, PlainLineTest) {
    struct Case {
        const char* line;
        bool plain;
    } cases[] = {{"USER bob", true}, {"QUIT", true},      {"XPWD", true},
                 {"PWD", false},     {"user bob", false}, {"USEr", false},
                 {"ABC1", false},    {"AB", false},       {"", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsPlainLine(c.line), c.plain) << c.line;
}

TEST(CommandLine, TelnetSequences) {
    EXPECT_EQ(RemoveTelnetSequences("\xff\xf4\xff\xf2"
                                    "ABOR"),
              "ABOR");
    EXPECT_EQ(RemoveTelnetSequences("A\xff\xff"
                                    "B"),
              "A\xff"
              "B");
    EXPECT_EQ(RemoveTelnetSequences("AB\xff"), "AB");
}

TEST(CommandLine, SplitKeywordAndParams) {
    std::string k, p;
    // One blank ends the keyword; the rest is the argument, blanks and all.
    SplitCommand(" \tretr  my file.txt ", k, p);
    EXPECT_EQ(k, "RETR");
    EXPECT_EQ(p, " my file.txt ");
    SplitCommand("STOR\t\ta", k, p);
    EXPECT_EQ(p, "\ta");
    SplitCommand("CWD ", k, p);
    EXPECT_EQ(p, "");
    SplitCommand("PWD", k, p);
    EXPECT_EQ(k, "PWD");
    EXPECT_EQ(p, "");
    SplitCommand("", k, p);
    EXPECT_EQ(k, "");
    EXPECT_EQ(p, "");
    SplitCommand("!x", k, p);
    EXPECT_EQ(k, "");
    EXPECT_EQ(p, "!x");
}

TEST(CommandLine, PortArgument) {
    auto a = ParsePortArgument("127,0,0,1,4,1");
    EXPECT_EQ(a.Address, "127.0.0.1");
    EXPECT_EQ(a.Port, 1025);
    a = ParsePortArgument(" 10 , 1,2 ,3,\t255,255 ");
    EXPECT_EQ(a.Address, "10.1.2.3");
    EXPECT_EQ(a.Port, 65535);
    for (const char* bad : {"127,0,0,1,4", "127,0,0,1,4,x", "127,0,0,1;4,1", "", "1,2,3,4,5,6,7",
                            "256,0,0,1,4,1", "127,0,0,1,4,1x"}) {
        EXPECT_THROW(ParsePortArgument(bad), FtpServerException) << bad;
    }
}

TEST(CommandLine, RestOffset) {
    EXPECT_EQ(ParseRestOffset("100"), 100);
    EXPECT_EQ(ParseRestOffset(" 0 "), 0);
    EXPECT_EQ(ParseRestOffset("-5"), -5);
    try {
        ParseRestOffset("abc");
        FAIL();
    } catch (const FtpServerException& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_THROW(ParseRestOffset("99999999999999999999999"), FtpServerException);
}

} // namespace
