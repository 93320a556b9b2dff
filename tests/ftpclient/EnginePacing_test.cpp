// The client engine's own speed limits against our server engine, with the
// client's clock moved by the test: a limited download or upload moves what
// the limit allows for the time that passed, and a lifted limit lets it
// finish with the same bytes.
#include "ClientHarness.h"
#include "Peers.h"
#include "TempDir.h"
#include "support/peers/OwnServer.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr std::int64_t kKiB = 1024;

struct Case {
    const char* name;
    bool upload;
};

class ClientPacing : public ::testing::TestWithParam<Case> {};

TEST_P(ClientPacing, LimitHoldsUntilLifted) {
    const bool upload = GetParam().upload;
    TempDir home, local;
    OwnServer server(home.Path());
    const std::string content = PatternBytes(1024 * 1024, 4);
    WriteFile((upload ? local : home).File("f.bin"), content);

    ManualLoopClock clock;
    ClientHarness h;
    h.client.Clock = &clock;
    h.client.HostName = "127.0.0.1";
    h.client.Port = server.PortText();
    h.client.UserName = OwnServer::kUser;
    h.client.PassWord = OwnServer::kPass;
    h.client.SetUsePassive(true);
    h.client.HostFileName = "f.bin";
    h.client.LocalFileName = local.File("f.bin");
    std::int64_t& limit = upload ? h.client.UploadLimit : h.client.DownloadLimit;
    limit = 64 * kKiB;
    if (upload)
        h.client.SessionPut();
    else
        h.client.SessionGet();

    // Frozen time: the first bucketful, a tenth of a second's worth.
    ASSERT_TRUE(RunLoopUntil([&] { return h.client.TransferCount() > 0; }));
    RunLoopFor(200);
    const std::int64_t burst = h.client.TransferCount();
    EXPECT_LE(burst, 64 * kKiB / 10 + 1);
    for (int ms = 0; ms < 1000; ms += 25) {
        clock.Advance(25);
        RunLoopFor(5);
    }
    RunLoopFor(50);
    const std::int64_t second = h.client.TransferCount() - burst;
    EXPECT_GE(second, 56 * kKiB);
    EXPECT_LE(second, 72 * kKiB);
    EXPECT_TRUE(h.done.empty());

    limit = 0;
    clock.Advance(TransferPacer::kLongestWaitMs);
    ASSERT_TRUE(RunLoopUntil([&] { return !h.done.empty(); }, 20000));
    EXPECT_EQ(h.done.back().error, 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile((upload ? home : local).File("f.bin")) == content);
}

INSTANTIATE_TEST_SUITE_P(Direction, ClientPacing,
                         ::testing::Values(Case{"Download", false}, Case{"Upload", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
