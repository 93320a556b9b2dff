#include "accounts/AccountTexts.h"
#include "accounts/Admission.h"
#include "support/LogCapture.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

using namespace accounts;
using namespace testing_support;

TEST(Admission, IpListDecisions) {
    struct Case {
        std::vector<std::string> list;
        IpMode mode;
        std::string address;
        bool admitted;
        int matches;
    } cases[] = {
        {{"10.0.0.*", "10.0.0.5"}, IpMode::Deny, "10.0.0.5", false, 2},
        {{"10.0.0.*", "10.0.0.5"}, IpMode::Deny, "10.0.1.1", true, 0},
        {{"192.168.*"}, IpMode::Allow, "192.168.4.4", true, 1},
        {{"192.168.*"}, IpMode::Allow, "10.1.1.1", false, 0},
        {{}, IpMode::Allow, "10.1.1.1", true, 0},
        {{"10.0.0.1"}, IpMode::Deny, "10.0.0.12", false, 1},   // plain text prefix
        {{"", "*", "*10"}, IpMode::Deny, "10.0.0.1", true, 0}, // empty patterns match nothing
        {{"", "*"}, IpMode::Allow, "10.0.0.1", false, 0},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(IpAdmitted(c.list, c.mode, c.address, log.Writer()), c.admitted) << c.address;
        ASSERT_EQ(static_cast<int>(log.lines.size()), c.matches) << c.address;
        for (const auto& line : log.lines) {
            if (c.mode == IpMode::Deny) {
                EXPECT_EQ(line.text, texts::kDeniedMatch);
                EXPECT_EQ(line.colour, colours::clTeal);
            } else {
                EXPECT_EQ(line.text, texts::kAllowedMatch);
                EXPECT_EQ(line.colour, colours::clLime);
            }
        }
    }
}

// An entry matches addresses of its own family only; an IPv6 client that no
// IPv6 entry names is refused under an allow list, and the log says why.
TEST(Admission, IpListFamilies) {
    struct Case {
        std::vector<std::string> list;
        IpMode mode;
        std::string address;
        bool admitted;
        std::vector<std::string> logged;
    } cases[] = {
        {{"127.*"}, IpMode::Allow, "::1", false, {texts::IPv6NotListed("::1")}},
        {{"1"}, IpMode::Deny, "1::5", true, {}},
        {{"1"}, IpMode::Allow, "1::5", false, {texts::IPv6NotListed("1::5")}},
        {{"::1"}, IpMode::Allow, "::1", true, {texts::kAllowedMatch}},
        {{"fd00:*"}, IpMode::Deny, "fd00::2", false, {texts::kDeniedMatch}},
        {{"::1"}, IpMode::Allow, "127.0.0.1", false, {}},
        {{"127.*", "::1"}, IpMode::Allow, "::2", false, {}},
        {{"127.*"}, IpMode::Allow, "127.0.0.1", true, {texts::kAllowedMatch}},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(IpAdmitted(c.list, c.mode, c.address, log.Writer()), c.admitted) << c.address;
        std::vector<std::string> logged;
        for (const auto& line : log.lines)
            logged.push_back(line.text);
        EXPECT_EQ(logged, c.logged) << c.address;
    }
}
