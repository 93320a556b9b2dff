// vexa2-ftp reaching a server by an IPv6 address literal: a listing, a
// download and an upload, passive (EPSV) and active (EPRT), against
// pyftpdlib listening on ::1 only.
#include "FtpRun.h"
#include "QuirkyFtpPeer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

TEST(FtpIPv6, ListGetAndPutByAnAddressInBrackets) {
    const std::string content = PatternBytes(250000, 31);
    for (const char* mode : {"--passive", "--active"}) {
        SCOPED_TRACE(mode);
        TempDir server, local;
        fs::create_directories(server.Path() + "pub");
        WriteFile(server.Path() + "pub/down.bin", content);
        WriteFile(local.File("up.bin"), content);
        QuirkyFtpPeer peer(server.Path(), {"ipv6"});
        ASSERT_NE(peer.Port(), 0) << peer.Error();
        ASSERT_EQ(peer.Url("/pub/").rfind("ftp://test:test@[::1]:", 0), 0u);

        CommandResult r = RunFtp({mode, "--verbose", peer.Url("/pub/"), "ls"}, local.Path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(Has(r.out, "down.bin")) << r.out;
        EXPECT_TRUE(Has(r.out + r.err, std::string(mode) == "--passive" ? "EPSV" : "EPRT |2|::1|"))
            << r.out << r.err;

        r = RunFtp({mode, peer.Url("/pub/"), "get", "down.bin", "put", "up.bin"}, local.Path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(ReadFile(local.File("down.bin")) == content);
        EXPECT_TRUE(ReadFile(server.Path() + "pub/up.bin") == content);
    }
}
