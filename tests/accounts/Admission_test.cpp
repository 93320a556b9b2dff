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
