#include "accounts/AccountTexts.h"
#include "accounts/Login.h"
#include "accounts/MessageFile.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace accounts;
using namespace testing_support;

namespace {

struct LoginFixture : ::testing::Test {
    TempDir dir;
    LogCapture log;
    AccountFiles files{dir.Path(), log.Writer()};
    LoginTable table;

    UserRecord& AddUser(const std::string& name, const std::string& password) {
        users.emplace_back();
        users.back().Name.Set(name);
        users.back().Password.Set(password);
        users.back().Enabled = 1;
        return users.back();
    }
    GroupRecord MakeGroup(const std::string& name, const std::string& home, bool enabled = true) {
        GroupRecord g{};
        g.Name.Set(name);
        g.HomeDirectory.Set(home);
        g.Enabled = enabled ? 1 : 0;
        return g;
    }
    void Store() {
        for (const auto& u : users)
            ASSERT_TRUE(files.Users().Append(u));
        users.clear();
    }
    LoginOutcome Login(const std::string& user, const std::string& password,
                       LoginRequest base = {}) {
        base.userName = user;
        base.password = password;
        base.socketId = "17";
        base.peerAddress = "127.0.0.1";
        base.peerPort = 40000;
        base.currentHome = "/tmp/";
        return Authenticate(files, table, base, log.Writer());
    }
    std::deque<UserRecord> users;
};

} // namespace

TEST_F(LoginFixture, PasswordsAndNamesCompareExactly) {
    AddUser("Bob", "Secret");
    Store();
    EXPECT_FALSE(Login("Bob", "secret").authenticated);
    EXPECT_FALSE(Login("bob", "Secret").authenticated);
    EXPECT_EQ(log.Count(texts::kInvalidAuthentication), 2);
    auto ok = Login("Bob", "Secret");
    ASSERT_TRUE(ok.authenticated);
    const LoginSlot& slot = table[ok.slotNumber];
    EXPECT_TRUE(slot.InUse);
    EXPECT_EQ(slot.Id, "17");
    EXPECT_EQ(slot.Address, "127.0.0.1:40000");
    EXPECT_EQ(slot.Action, texts::kAuthenticated);
    EXPECT_EQ(slot.Location, "/tmp/");
    EXPECT_EQ(ok.homeDir, "/tmp/");
}

TEST_F(LoginFixture, NoUserFileFailsSilently) {
    EXPECT_FALSE(Login("x", "y").authenticated);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(LoginFixture, AnonymousTakesAnyPasswordOnlyUnderExactName) {
    AddUser("ANONYMOUS", "stored");
    Store();
    EXPECT_TRUE(Login("ANONYMOUS", "guest@example").authenticated);
    EXPECT_TRUE(Login("ANONYMOUS", "").authenticated);
    EXPECT_FALSE(Login("anonymous", "stored").authenticated);
}

TEST_F(LoginFixture, HomeFromUserThenGroupThenDefault) {
    ASSERT_TRUE(files.Groups().Append(MakeGroup("A", "")));
    ASSERT_TRUE(files.Groups().Append(MakeGroup("B", "/srv/b")));
    auto& own = AddUser("own", "p");
    own.HomeDirectory.Set("/srv/own/");
    own.GroupMembership[0].Set("B");
    auto& grouped = AddUser("grouped", "p");
    grouped.GroupMembership[0].Set("A");
    grouped.GroupMembership[1].Set("B");
    AddUser("plain", "p");
    Store();
    LoginRequest withDefault;
    withDefault.defaultHomeDirectory = "/srv/default";
    EXPECT_EQ(Login("own", "p", withDefault).homeDir, "/srv/own/");
    EXPECT_EQ(Login("grouped", "p", withDefault).homeDir, "/srv/b/");
    EXPECT_EQ(Login("plain", "p", withDefault).homeDir, "/srv/default/");
    EXPECT_EQ(Login("plain", "p").homeDir, "/tmp/"); // the engine's value stays
}

TEST_F(LoginFixture, AccessListUserFirstThenGroupsAndMissingGroupSkipped) {
    GroupRecord g = MakeGroup("staff", "");
    g.Access[0].Path.Set("/srv/staff");
    g.Access[0].Read = 1;
    ASSERT_TRUE(files.Groups().Append(g));
    auto& u = AddUser("u", "p");
    u.Access[0].Path.Set("/srv/u");
    u.GroupMembership[0].Set("deleted");
    u.GroupMembership[1].Set("staff");
    Store();
    auto ok = Login("u", "p");
    ASSERT_TRUE(ok.authenticated);
    const auto& access = table[ok.slotNumber].Access;
    ASSERT_EQ(access.size(), 2u);
    EXPECT_EQ(access[0].Path.Get(), "/srv/u");
    EXPECT_EQ(access[1].Path.Get(), "/srv/staff");
}

TEST_F(LoginFixture, EntriesBeyond128AreDropped) {
    GroupRecord g = MakeGroup("big", "");
    for (int i = 0; i < kAccessEntries; ++i)
        g.Access[i].Path.Set("/g" + std::to_string(i));
    ASSERT_TRUE(files.Groups().Append(g));
    auto& u = AddUser("u", "p");
    for (int i = 0; i < 5; ++i)
        u.GroupMembership[i].Set("big");
    for (int i = 0; i < kAccessEntries; ++i)
        u.Access[i].Path.Set("/u" + std::to_string(i));
    Store();
    auto ok = Login("u", "p");
    EXPECT_EQ(table[ok.slotNumber].Access.size(), 128u);
}

TEST_F(LoginFixture, SuperUserWarningOnlyWhenSwitchedOn) {
    auto& su = AddUser(std::string(40, 'S'), "p");
    su.SuperUser = 1;
    Store();
    LoginRequest on;
    on.showSuperUserWarnings = true;
    auto ok = Login(std::string(40, 'S'), "p", on);
    ASSERT_TRUE(ok.authenticated);
    EXPECT_TRUE(table[ok.slotNumber].SuperUser);
    std::string expected = (std::string(40, 'S') + texts::kSuperUserLoggedIn).substr(0, 102);
    ASSERT_EQ(log.Count(expected), 1);
    EXPECT_EQ(log.lines.back().level, logBoth);
    EXPECT_EQ(log.lines.back().colour, colours::clRed);
    log.lines.clear();
    LoginRequest off;
    off.showSuperUserWarnings = false;
    ASSERT_TRUE(Login(std::string(40, 'S'), "p", off).authenticated);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(LoginFixture, DisabledAccountAndGroupsLogInWithWarning) {
    ASSERT_TRUE(files.Groups().Append(MakeGroup("off", "", false)));
    auto& u = AddUser("u", "p");
    u.Enabled = 0;
    u.GroupMembership[0].Set("off");
    Store();
    ASSERT_TRUE(Login("u", "p").authenticated);
    EXPECT_EQ(log.Count(texts::DisabledAccountLogin("u")), 1);
    EXPECT_EQ(log.Count(texts::DisabledGroupsLogin("u")), 1);
}

TEST_F(LoginFixture, AllSlotsTakenRefusesLogin) {
    AddUser("u", "p");
    Store();
    for (int i = 0; i < kLoginSlots; ++i)
        ASSERT_TRUE(Login("u", "p").authenticated) << i;
    EXPECT_EQ(table.FreeCount(), 0);
    EXPECT_FALSE(Login("u", "p").authenticated);
    EXPECT_EQ(log.Count(texts::SlotsFull("u")), 1);
    table.Clear(42);
    auto last = Login("u", "p");
    EXPECT_EQ(last.slotNumber, 42);
}

TEST_F(LoginFixture, LoginMessageLinesAndKeyCopied) {
    auto& u = AddUser("u", "p");
    u.EncryptionKey.Set("the-key");
    Store();
    WriteFile(dir.File("login.txt"), "one\r\n\r\nthree\n");
    LoginRequest req;
    req.loginMessage = dir.File("login.txt");
    auto ok = Login("u", "p", req);
    EXPECT_EQ(ok.encryptionKey, "the-key");
    EXPECT_EQ(ok.replyLines, (std::vector<std::string>{"230-one", "230-", "230-three"}));
    req.loginMessage = dir.File("missing.txt");
    EXPECT_TRUE(Login("u", "p", req).replyLines.empty());
}

TEST(MessageFile, CreatingKeepsAnExistingFileAndFailsWhereNoFileCanBe) {
    TempDir dir;
    const std::string fresh = dir.File("new.txt");
    EXPECT_TRUE(accounts::CreateMessageFile(fresh));
    EXPECT_EQ(ReadFile(fresh), "");
    const std::string kept = dir.File("kept.txt");
    WriteFile(kept, "Welcome\r\n");
    EXPECT_TRUE(accounts::CreateMessageFile(kept));
    EXPECT_EQ(ReadFile(kept), "Welcome\r\n");
    EXPECT_FALSE(accounts::CreateMessageFile(dir.File("missing/x.txt")));
    EXPECT_FALSE(accounts::CreateMessageFile(""));
}
