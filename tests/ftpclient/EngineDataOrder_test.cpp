// The data connection may come up before the transfer command (a server
// that connects as soon as it accepts PORT), just before its 1xx reply, or
// after it: in both modes and both directions every transfer moves its
// bytes exactly once. Each order runs many times in one session, so a race
// between the accept and the reply shows.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <unistd.h>

using namespace testing_support;
using Conn = ScriptedPeer::Conn;

namespace {

enum class Order { AtPortCommand, BeforeFirstReply, AfterFirstReply };

struct OrderCase {
    const char* name;
    bool passive;
    bool upload;
    Order order;
};

const OrderCase kOrders[] = {
    {"ActiveUploadAtPort", false, true, Order::AtPortCommand},
    {"ActiveUploadBeforeReply", false, true, Order::BeforeFirstReply},
    {"ActiveUploadAfterReply", false, true, Order::AfterFirstReply},
    {"ActiveDownloadAtPort", false, false, Order::AtPortCommand},
    {"ActiveDownloadBeforeReply", false, false, Order::BeforeFirstReply},
    {"ActiveDownloadAfterReply", false, false, Order::AfterFirstReply},
    // Passive: the client connects at once; the server takes the
    // connection before or after its reply.
    {"PassiveUploadBeforeReply", true, true, Order::BeforeFirstReply},
    {"PassiveUploadAfterReply", true, true, Order::AfterFirstReply},
    {"PassiveDownloadBeforeReply", true, false, Order::BeforeFirstReply},
    {"PassiveDownloadAfterReply", true, false, Order::AfterFirstReply},
};

constexpr int kRuns = 20;
const std::string kPayload = PatternBytes(70000, 11);

class DataOrder : public ::testing::TestWithParam<OrderCase> {};

} // namespace

TEST_P(DataOrder, EveryTransferMovesItsBytesOnce) {
    const OrderCase tc = GetParam();
    std::atomic<int> wrongUploads{0};
    ScriptedPeer peer([&](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine(); // USER
        c.Send("230 in\r\n");
        for (int run = 0; run < kRuns; ++run) {
            const std::string portLine = c.ReadLine();
            int data = -1;
            if (tc.passive) {
                c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
            } else {
                if (tc.order == Order::AtPortCommand)
                    data = Conn::ConnectData(PortOfPortCommand(portLine));
                c.Send("200 PORT ok\r\n");
            }
            if (c.ReadLine().empty()) // STOR or RETR
                return;
            auto open = [&] {
                if (data >= 0)
                    return;
                data = tc.passive ? c.AcceptData() : Conn::ConnectData(PortOfPortCommand(portLine));
            };
            if (tc.order != Order::AfterFirstReply)
                open();
            c.Send("150 go\r\n");
            open();
            if (tc.upload) {
                if (Conn::ReadAll(data) != kPayload)
                    ++wrongUploads;
            } else {
                Conn::SendAll(data, kPayload);
            }
            ::close(data);
            c.Send("226 done\r\n");
        }
        c.ReadLine();
    });
    TempDir local;
    WriteFile(local.File("up.bin"), kPayload);
    ClientHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    h.client.UserName = "u";
    h.client.PassWord = "p";
    h.client.SetUsePassive(tc.passive);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(run);
        h.client.HostFileName = "x.bin";
        h.client.LocalFileName = local.File(tc.upload ? "up.bin" : "down.bin");
        const int error = h.Run([&] { tc.upload ? h.client.Put() : h.client.Get(); }, 10000);
        ASSERT_EQ(error, 0) << h.client.ErrorMessage();
        if (!tc.upload) {
            ASSERT_TRUE(ReadFile(local.File("down.bin")) == kPayload);
        }
    }
    EXPECT_EQ(wrongUploads.load(), 0);
    EXPECT_EQ(h.CountCommands("STOR") + h.CountCommands("RETR"), kRuns);
    h.client.Abort();
}

INSTANTIATE_TEST_SUITE_P(Orders, DataOrder, ::testing::ValuesIn(kOrders),
                         [](const auto& info) { return std::string(info.param.name); });
