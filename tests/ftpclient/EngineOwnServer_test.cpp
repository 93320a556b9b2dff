// The client engine against our own server engine, both on this loop.
#include "ClientHarness.h"
#include "Peers.h"
#include "TempDir.h"
#include "support/peers/OwnServer.h"

#include <gtest/gtest.h>

using namespace testing_support;

class EngineOwnServer : public ::testing::TestWithParam<bool> {};

TEST_P(EngineOwnServer, SessionsTransfersAndListing) {
    const bool passive = GetParam();
    TempDir home;
    TempDir local;
    OwnServer server(home.Path());
    const std::string content = PatternBytes(2000000, 21);
    WriteFile(home.File("own.bin"), content);

    ClientHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = server.PortText();
    h.client.UserName = OwnServer::kUser;
    h.client.PassWord = OwnServer::kPass;
    h.client.SetUsePassive(passive);
    h.client.HostFileName = "own.bin";
    h.client.LocalFileName = local.File("own.bin");
    ASSERT_EQ(h.Run([&] { h.client.SessionGet(); }, 30000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("own.bin")) == content);

    h.client.HostFileName = "copy.bin";
    ASSERT_EQ(h.Run([&] { h.client.SessionPut(); }, 30000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(home.File("copy.bin")) == content);

    std::vector<std::string> names;
    h.client.OnDisplayFile = [&](TCustomFtpCli*, const std::string& line) {
        names.push_back(line);
    };
    h.client.DisplayFileFlag = true;
    h.client.HostFileName = "";
    ASSERT_EQ(h.Run([&] { h.client.SessionLs(); }, 30000), 0) << h.client.ErrorMessage();
    EXPECT_NE(std::find(names.begin(), names.end(), "copy.bin"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "own.bin"), names.end());

    h.client.UserName = "nobody";
    EXPECT_EQ(h.Run([&] { h.client.Connect(); }), 530);
}

INSTANTIATE_TEST_SUITE_P(Mode, EngineOwnServer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });
