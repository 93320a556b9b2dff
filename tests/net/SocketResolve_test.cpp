#include "net/TWSocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

TEST(SocketResolve, DottedAddressTest) {
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"1.2.3.4", true},    {"  10.0.0.1", true}, {"1.2.3.4   ", true}, {"255.255.255.255", true},
        {"1.2.3", false},     {".1.2.3.4", false},  {"1.2.3.", false},    {"1..2.3", false},
        {"1.2.3.4.5", false}, {"256.1.1.1", false}, {"1.2.3.4x", false},  {"host.example", false},
        {"", false},          {"1.2.3. 4", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WSocketIsDottedIP(c.text), c.dotted) << "'" << c.text << "'";
}

TEST(SocketResolve, Ports) {
    EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(WSocketResolvePort("ftp-data", "tcp"), 20);
    EXPECT_EQ(WSocketResolvePort("21x", "tcp"), 21);
    EXPECT_EQ(WSocketResolvePort("  2121", "tcp"), 2121);
    try {
        WSocketResolvePort("", "tcp");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "WSocketResolvePort: Invalid Port.");
    }
    try {
        WSocketResolvePort("no-such-service-name", "tcp");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("WSocketResolvePort: Cannot convert port "
                                              "'no-such-service-name', Error #",
                                              0),
                  0u);
    }
}

TEST(SocketResolve, ProtocolsAndHosts) {
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto("17"), 17);
    EXPECT_THROW(WSocketResolveProto(""), ESocketException);

    in_addr expected{};
    inet_pton(AF_INET, "10.1.2.3", &expected);
    EXPECT_EQ(WSocketResolveHost(" 10.1.2.3 "), expected.s_addr);
    EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    inet_pton(AF_INET, "127.0.0.1", &expected);
    EXPECT_EQ(WSocketResolveHost("localhost"), expected.s_addr);
    try {
        WSocketResolveHost("");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "WSocketResolveHost: '' Invalid Hostname.");
    }
    EXPECT_THROW(WSocketResolveHost(std::string(257, 'a')), ESocketException);
}

TEST(SocketErrors, TextsAndErrnoMapping) {
    EXPECT_EQ(WSocketErrorDesc(10057), "Socket is not connected");
    EXPECT_EQ(WSocketErrorDesc(11004), "No Data");
    EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");
    EXPECT_EQ(WSocketErrnoToCode(ECONNREFUSED), 10061);
    EXPECT_EQ(WSocketErrnoToCode(EPIPE), 10054);
    EXPECT_EQ(WSocketErrnoToCode(EADDRINUSE), 10048);
    EXPECT_EQ(WSocketErrorMessage(10061, "Connect"),
              "Error 10061 in function Connect\r\nConnection refused");
}
