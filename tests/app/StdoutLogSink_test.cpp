#include "app/StdoutLogSink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

std::string Drain(int fd) {
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    return out;
}

} // namespace

TEST(StdoutLogSink, PlainIntoAPipe) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    {
        StdoutLogSink sink(p[1]);
        EXPECT_FALSE(sink.UsesColour());
        sink.Write(2, "220 ready", colours::clRed);
        sink.Write(1, "banner", colours::clBlack);
    }
    ::close(p[1]);
    EXPECT_EQ(Drain(p[0]), "220 ready\nbanner\n");
    ::close(p[0]);
}

TEST(StdoutLogSink, ControlCharactersFromClientsAreShownNotWritten) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    {
        StdoutLogSink sink(p[1]);
        sink.Write(2, "RECV <- USER a\x1b[31mb\rc\nd\x7f\te\xc3\xa9", colours::clPurple);
    }
    ::close(p[1]);
    EXPECT_EQ(Drain(p[0]), "RECV <- USER a\\x1b[31mb\\x0dc\\x0ad\\x7f\te\xc3\xa9\n");
    ::close(p[0]);
}

TEST(StdoutLogSink, ColouredOnATerminal) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    {
        StdoutLogSink sink(slave, 2); // the server log only
        EXPECT_TRUE(sink.UsesColour());
        sink.Write(2, "refused", colours::clRed);
        sink.Write(1, "client line", colours::clRed);
        sink.Write(2, "banner", colours::clBlack);
    }
    ::close(slave);
    std::string seen = Drain(master); // ends with EIO once the slave is closed
    ::close(master);
    // The terminal turns "\n" into "\r\n" on output.
    EXPECT_EQ(seen, "\x1b[38;2;255;0;0mrefused\x1b[0m\r\nbanner\r\n");
}
