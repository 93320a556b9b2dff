// vexa2-ftp walking a tree on the servers users meet (pyftpdlib, proftpd,
// pure-ftpd, vsftpd), each of which answers FEAT in its own way: the
// downloaded tree is byte for byte the server's.
#include "FtpRun.h"
#include "QuirkyFtpPeer.h"
#include "support/peers/ProftpdPeer.h"
#include "support/peers/PureFtpdPeer.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

void MakeTree(const std::string& root) {
    fs::create_directories(root + "tree/sub/deeper");
    WriteFile(root + "tree/a name with blanks.txt", "blanks");
    WriteFile(root + "tree/sub/big.bin", PatternBytes(400000, 17));
    WriteFile(root + "tree/sub/deeper/empty", "");
    WriteFile(root + "tree/sub/deeper/last.txt", "last");
}

// Fetches tree/ and compares; FEAT was asked after the login.
void FetchAndCompare(const std::string& url, const std::string& root) {
    TempDir local;
    const CommandResult r = RunFtp({"--verbose", url, "get", "-r", "tree", "got"}, local.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const CommandResult diff =
        RunCommand("/usr/bin/diff", {"-r", root + "tree", local.File("got")});
    EXPECT_EQ(diff.exitCode, 0) << diff.out << diff.err;
    EXPECT_TRUE(Has(r.err, "FEAT")) << r.err;
}

} // namespace

TEST(FtpListingForms, TreeDownloadsAfterFeat) {
    {
        SCOPED_TRACE("pyftpdlib");
        TempDir server;
        MakeTree(server.Path());
        QuirkyFtpPeer peer(server.Path());
        ASSERT_NE(peer.Port(), 0) << peer.Error();
        FetchAndCompare(peer.Url(), server.Path());
    }
    {
        SCOPED_TRACE("proftpd");
        ProftpdPeer peer;
        ASSERT_TRUE(peer.Started());
        MakeTree(peer.Root());
        FetchAndCompare(peer.Url(), peer.Root());
    }
    {
        SCOPED_TRACE("pure-ftpd");
        PureFtpdPeer peer;
        ASSERT_TRUE(peer.Started());
        MakeTree(peer.Root());
        FetchAndCompare(peer.Url(), peer.Root());
    }
    {
        SCOPED_TRACE("vsftpd");
        VsftpdPeer peer;
        ASSERT_TRUE(peer.Started());
        MakeTree(peer.Root());
        FetchAndCompare("ftp://" + std::string(VsftpdPeer::User()) + ":" + VsftpdPeer::Password() +
                            "@127.0.0.1:" + peer.PortText() + "/",
                        peer.Root());
    }
}
