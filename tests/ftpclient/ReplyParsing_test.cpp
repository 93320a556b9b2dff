#include "ftpclient/FeatureSet.h"
#include "ftpclient/ReplyLineBuffer.h"
#include "ftpclient/ReplyParsing.h"

#include <gtest/gtest.h>

using namespace ftpreply;

TEST(ReplyParsing, ReplyCodes) {
    struct Case {
        const char* line;
        int code;
        bool digit;
        bool continuation;
        bool plain;
        bool final;
    } cases[] = {
        {"220 ready", 220, true, false, true, true},
        {"230-Welcome", 230, true, true, true, false},
        {" 230 x", 230, false, false, false, false},
        {"hello", 0, false, false, false, false},
        {"", 0, false, false, false, false},
        {"214", 214, true, false, true, true},
        {"12 short", 12, true, false, false, false},
        {"2201 long", 2201, true, false, false, false},
        {"ABC-encrypted", 0, false, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplyCodeOf(c.line), c.code) << c.line;
        EXPECT_EQ(StartsWithDigit(c.line), c.digit) << c.line;
        EXPECT_EQ(IsContinuation(c.line), c.continuation) << c.line;
        EXPECT_EQ(HasPlainReplyForm(c.line), c.plain) << c.line;
        EXPECT_EQ(IsFinalReplyLine(c.line), c.final) << c.line;
    }
}

TEST(ReplyParsing, QuotedPathAndSize) {
    EXPECT_EQ(QuotedPath("257 \"/home/x\" is current directory."), "/home/x");
    EXPECT_EQ(QuotedPath("257 \"/a \"\"quoted\"\" b\" created"), "/a \"quoted\" b");
    EXPECT_EQ(QuotedPath("250 Directory changed to \"/x\""), "");
    EXPECT_EQ(QuotedPath("257 \"unterminated"), "unterminated");
    EXPECT_EQ(SecondNumber("213 1234"), 1234);
    EXPECT_EQ(SecondNumber("213 10000000000"), 10000000000LL);
    EXPECT_EQ(SecondNumber("213"), -1);
    EXPECT_EQ(SecondNumber("213 99999999999999999999999"), -1);
}

TEST(ReplyParsing, PassivePort) {
    EXPECT_EQ(PassivePort("227 Entering Passive Mode (127,0,0,1,195,80)."), 195 * 256 + 80);
    EXPECT_EQ(PassivePort("227 Entering Passive Mode (10,9,8,7,0,21)"), 21);
    EXPECT_FALSE(PassivePort("227 Entering Passive Mode"));
    EXPECT_FALSE(PassivePort("227 (1,2,3,4,5)"));
    EXPECT_FALSE(PassivePort("227 (1,2,3,4,300,1)"));
    EXPECT_FALSE(PassivePort("227 (1,2,3,4,x,1)"));
    EXPECT_FALSE(PassivePort("227 (1,2,3,4,0,0)"));
    // Without parentheses: the first six comma-separated numbers.
    EXPECT_EQ(PassivePort("227 Entering Passive Mode 127,0,0,1,4,1"), 4 * 256 + 1);
    EXPECT_EQ(PassivePort("227 =10,9,8,7,0,21 ok"), 21);
    EXPECT_EQ(PassivePort("227 Mode 2, then 127,0,0,1,4,2."), 4 * 256 + 2);
    EXPECT_FALSE(PassivePort("227 Entering Passive Mode 1,2,3,4,5"));
    EXPECT_FALSE(PassivePort("227 1,2,3,4,5,999"));
}

TEST(ReplyParsing, AnnouncedSize) {
    EXPECT_EQ(AnnouncedSize("150 Opening BINARY mode data connection for f (1234 bytes)."), 1234);
    EXPECT_EQ(AnnouncedSize("150 (x) for (0 bytes)"), 0);
    EXPECT_FALSE(AnnouncedSize("150 Opening data connection for f."));
    EXPECT_FALSE(AnnouncedSize("150 (12 kbytes)"));
}

TEST(ReplyParsing, PortCommand) {
    EXPECT_EQ(PortCommand("127.0.0.1", "127.0.0.1", 0x1234), "PORT 127,0,0,1,18,52");
    EXPECT_EQ(PortCommand("10.0.0.5", "10.0.0.9", 21), "PORT 10,0,0,9,0,21");
}

TEST(ReplyParsing, StatisticsLine) {
    EXPECT_EQ(StatisticsLine(100, 0), "! 100 bytes received/sent in 0 seconds");
    EXPECT_EQ(StatisticsLine(1000, 500),
              "! 1000 bytes received/sent in 0 seconds (2000 Bytes/sec)");
    // Above 32767 bytes the division comes first.
    EXPECT_EQ(StatisticsLine(100000, 3000),
              "! 100000 bytes received/sent in 3 seconds (33000 Bytes/sec)");
}

TEST(ReplyLineBuffer, SplitLinesAndOverlongLines) {
    ReplyLineBuffer b;
    b.Append("220 hel", 7);
    EXPECT_FALSE(b.TakeLine(true));
    b.Append("lo\r\n230-a\n230 b\r\n", 17);
    EXPECT_EQ(*b.TakeLine(true), "220 hello");
    EXPECT_EQ(*b.TakeLine(true), "230-a");
    EXPECT_EQ(*b.TakeLine(false), "230 b");
    EXPECT_FALSE(b.TakeLine(true));

    b.Append("200 a\nb\r\n", 9);
    EXPECT_EQ(*b.TakeLine(false), "200 a\nb"); // without ftpAcceptLF only CR LF ends a line

    std::string longLine(ReplyLineBuffer::kCapacity, 'x');
    b.Append(longLine.data(), static_cast<int>(longLine.size()));
    EXPECT_EQ(b.Room(), 0);
    auto cut = b.TakeLine(true);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), longLine.size());
    EXPECT_FALSE(b.LastWasTail());
    EXPECT_EQ(b.Room(), ReplyLineBuffer::kCapacity);
    // The rest of a cut line is a tail, however it begins; the next line is not.
    b.Append("226 tail\r\n220 next\r\n", 20);
    EXPECT_EQ(*b.TakeLine(true), "226 tail");
    EXPECT_TRUE(b.LastWasTail());
    EXPECT_EQ(*b.TakeLine(true), "220 next");
    EXPECT_FALSE(b.LastWasTail());
}

TEST(ReplyParsing, ExtendedPassivePortAndPortCommand) {
    const struct {
        const char* reply;
        int port; // 0: none
    } cases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446},
        {"229 ok (!!!65535!)", 65535},
        {"229 (|||65536|)", 0},
        {"229 (|||0|)", 0},
        {"229 (|||12|", 0},
        {"229 (||12|)", 0},
        {"229 (1111)", 0},
        {"229 (|||x|)", 0},
        {"229 no parentheses", 0},
        {"229 (", 0},
    };
    for (const auto& c : cases) {
        auto port = ExtendedPassivePort(c.reply);
        EXPECT_EQ(port.value_or(0), c.port) << c.reply;
    }
    EXPECT_EQ(ExtendedPortCommand("::1", 2121), "EPRT |2|::1|2121|");
    EXPECT_EQ(ExtendedPortCommand("127.0.0.1", 80), "EPRT |1|127.0.0.1|80|");
}

TEST(FeatureSet, ReadsTheFeatReply) {
    auto set = FtpFeatureSet::FromReplyLines({"211-Features:", " EPRT", " epsv", " MDTM",
                                              " MLST type*;size*;modify*;", " REST STREAM", " SIZE",
                                              " UTF8", " MFMT", "211 End"});
    EXPECT_TRUE(set.answered);
    EXPECT_TRUE(set.eprt && set.epsv && set.mdtm && set.mlst && set.restStream && set.size &&
                set.utf8 && set.mfmt);
    EXPECT_EQ(set.mlstFacts, "type*;size*;modify*;");

    // Anything but 211 offers nothing, whatever the lines said; coded lines
    // and a feature without its leading blank name no feature.
    auto refused = FtpFeatureSet::FromReplyLines({"500 FEAT not understood"});
    EXPECT_FALSE(refused.answered || refused.epsv || refused.utf8);
    auto odd = FtpFeatureSet::FromReplyLines({"211-EPSV", "UTF8", " REST", "211 EPSV"});
    EXPECT_TRUE(odd.answered);
    EXPECT_FALSE(odd.epsv || odd.utf8 || odd.restStream);
}
