// The passive-mode options as the server gets them: the port range, the
// external address (dotted, or a host name looked up without blocking) and
// its use for local clients, with a log line for what cannot be used.
#include "app/AppTexts.h"
#include "app/PassiveSettings.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using testing_support::LogCapture;
using testing_support::RunLoopUntil;

struct Passive : ::testing::Test {
    testing_support::TempDir dir;
    Settings settings{dir.Path()};
    TFtpServer server;
    LogCapture log;
    PassiveSettings passive{settings, server, log.Writer()};
};

TEST_F(Passive, PortRangeTakesOnlyAWholeRange) {
    const struct {
        int min, max, first, last;
        bool logged;
    } cases[] = {
        {0, 0, 0, 0, false},
        {50000, 50002, 50000, 50002, false},
        {7000, 7000, 7000, 7000, false},
        {50002, 50000, 0, 0, true},
        {0, 50000, 0, 0, true},
        {50000, 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        settings.SetInt(keys::PassivePortMin, c.min);
        settings.SetInt(keys::PassivePortMax, c.max);
        passive.Apply();
        EXPECT_EQ(server.Passive.PortMin, c.first) << c.min << "-" << c.max;
        EXPECT_EQ(server.Passive.PortMax, c.last) << c.min << "-" << c.max;
        EXPECT_EQ(log.Count(apptexts::PassiveRangeInvalid(c.min, c.max)), c.logged ? 1 : 0);
    }
    // The fields hold ports only.
    settings.SetInt(keys::PassivePortMax, 70000);
    EXPECT_EQ(settings.GetInt(keys::PassivePortMax), 65535);
    settings.SetInt(keys::PassivePortMin, -5);
    EXPECT_EQ(settings.GetInt(keys::PassivePortMin), 0);
}

TEST_F(Passive, ExternalAddressDottedNamedOrRefused) {
    settings.SetString(keys::PassiveExternalAddress, " 203.0.113.7 ");
    settings.SetBool(keys::PassiveExternalForLocal, true);
    passive.Apply();
    EXPECT_EQ(server.Passive.ExternalAddress, "203.0.113.7");
    EXPECT_TRUE(server.Passive.ExternalForLocal);

    settings.SetString(keys::PassiveExternalAddress, "2001:db8::1");
    passive.Apply();
    EXPECT_EQ(server.Passive.ExternalAddress, "");
    EXPECT_EQ(log.Count(apptexts::PassiveExternalNotIPv4("2001:db8::1")), 1);

    // A host name is looked up; until then PASV answers the local address.
    settings.SetString(keys::PassiveExternalAddress, "localhost");
    passive.Apply();
    EXPECT_EQ(server.Passive.ExternalAddress, "");
    ASSERT_TRUE(RunLoopUntil([&] { return !server.Passive.ExternalAddress.empty(); }, 10000));
    EXPECT_EQ(server.Passive.ExternalAddress, "127.0.0.1");
    EXPECT_EQ(log.Count(apptexts::PassiveExternalFound("localhost", "127.0.0.1")), 1);

    settings.SetString(keys::PassiveExternalAddress, "no-such-host.invalid");
    passive.Apply();
    ASSERT_TRUE(RunLoopUntil(
        [&] { return log.CountStarting("Passive external address no-such-host.invalid") > 0; },
        20000));
    EXPECT_EQ(server.Passive.ExternalAddress, "");

    settings.SetString(keys::PassiveExternalAddress, "");
    passive.Apply();
    EXPECT_EQ(server.Passive.ExternalAddress, "");
}

} // namespace
