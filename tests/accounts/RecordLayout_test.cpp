// The stored layout of the account records, checked against bytes built field
// by field here rather than through the record structs.
#include "accounts/AccountFiles.h"
#include "accounts/AccountTexts.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace accounts;
using namespace testing_support;

namespace {

void PutText(std::string& buf, std::size_t offset, std::size_t capacity, const std::string& text) {
    ASSERT_LE(text.size(), capacity);
    buf[offset] = static_cast<char>(text.size());
    buf.replace(offset + 1, text.size(), text);
}

// A user record as the file holds it, written byte by byte at the documented offsets.
std::string UserFixture(const std::string& name, const std::string& password) {
    std::string b(3718, '\0');
    PutText(b, 0, 40, name);
    PutText(b, 41, 40, password);
    PutText(b, 82, 80, "key-text");
    PutText(b, 163, 80, "/srv/home/");
    // access entry 1 at 244: /srv/data with Read, Write, Inherit
    PutText(b, 244, 80, "/srv/data");
    b[244 + 81] = 1; // Read
    b[244 + 83] = 1; // Write
    b[244 + 86] = 1; // Inherit
    // access entry 2 at 244 + 88: /srv/up with Create only
    PutText(b, 244 + 88, 80, "/srv/up");
    b[244 + 88 + 87] = 1;
    PutText(b, 3060, 40, "staff");
    PutText(b, 3060 + 41, 40, "web");
    b[3716] = 1; // SuperUser
    b[3717] = 7; // Enabled: any non-zero byte reads as true
    return b;
}

} // namespace

TEST(RecordLayout, UserRecordReadsAtDocumentedOffsets) {
    TempDir dir;
    WriteFile(dir.File(kUsersWorking), UserFixture("Bob", "secret"));
    AccountFiles files(dir.Path(), {});
    auto user = files.Users().Find("Bob");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->Password.Get(), "secret");
    EXPECT_EQ(user->EncryptionKey.Get(), "key-text");
    EXPECT_EQ(user->HomeDirectory.Get(), "/srv/home/");
    EXPECT_EQ(user->Access[0].Path.Get(), "/srv/data");
    EXPECT_TRUE(user->Access[0].Read && user->Access[0].Write && user->Access[0].Inherit);
    EXPECT_FALSE(user->Access[0].List || user->Access[0].Rename || user->Access[0].Delete ||
                 user->Access[0].Create);
    EXPECT_EQ(user->Access[1].Path.Get(), "/srv/up");
    EXPECT_TRUE(user->Access[1].Create);
    EXPECT_FALSE(user->Access[2].Used());
    EXPECT_EQ(user->GroupMembership[0].Get(), "staff");
    EXPECT_EQ(user->GroupMembership[1].Get(), "web");
    EXPECT_TRUE(user->GroupMembership[2].Empty());
    EXPECT_TRUE(user->SuperUser);
    EXPECT_TRUE(user->Enabled);
}

TEST(RecordLayout, WrittenUserRecordEqualsFixtureBytes) {
    UserRecord r{};
    r.Name.Set("Bob");
    r.Password.Set("secret");
    r.EncryptionKey.Set("key-text");
    r.HomeDirectory.Set("/srv/home/");
    r.Access[0].Path.Set("/srv/data");
    r.Access[0].Read = r.Access[0].Write = r.Access[0].Inherit = 1;
    r.Access[1].Path.Set("/srv/up");
    r.Access[1].Create = 1;
    r.GroupMembership[0].Set("staff");
    r.GroupMembership[1].Set("web");
    r.SuperUser = 1;
    r.Enabled = 7;
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    ASSERT_TRUE(files.Users().Append(r));
    EXPECT_EQ(ReadFile(dir.File(kUsersWorking)), UserFixture("Bob", "secret"));
}

TEST(RecordLayout, GroupRecordOffsets) {
    std::string b(2939, '\0');
    PutText(b, 0, 40, "staff");
    PutText(b, 41, 80, "/srv/staff/");
    PutText(b, 122, 80, "/srv/shared");
    b[122 + 82] = 1; // List
    b[122 + 84] = 1; // Rename
    b[2938] = 1;
    TempDir dir;
    WriteFile(dir.File(kGroupsWorking), b);
    AccountFiles files(dir.Path(), {});
    auto group = files.Groups().Find("staff");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->HomeDirectory.Get(), "/srv/staff/");
    EXPECT_EQ(group->Access[0].Path.Get(), "/srv/shared");
    EXPECT_TRUE(group->Access[0].List && group->Access[0].Rename);
    EXPECT_FALSE(group->Access[0].Read);
    EXPECT_TRUE(group->Enabled);
    EXPECT_EQ(RecordBytes(*group), b);
}

TEST(RecordLayout, LongValuesAreCutAtCapacity) {
    UserRecord r{};
    r.Name.Set(std::string(45, 'n'));
    r.Password.Set(std::string(50, 'p'));
    r.EncryptionKey.Set(std::string(90, 'k'));
    r.HomeDirectory.Set(std::string(81, 'h'));
    r.Access[0].Path.Set(std::string(100, 'a'));
    std::string bytes = RecordBytes(r);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 40);
    EXPECT_EQ(bytes.substr(1, 40), std::string(40, 'n'));
    EXPECT_EQ(bytes[41], 40);
    EXPECT_EQ(static_cast<unsigned char>(bytes[82]), 80);
    EXPECT_EQ(static_cast<unsigned char>(bytes[163]), 80);
    EXPECT_EQ(static_cast<unsigned char>(bytes[244]), 80);
    EXPECT_EQ(r.Name.Get(), std::string(40, 'n'));
}

TEST(RecordLayout, ShorterValueLeavesOldBytesBehind) {
    ShortText<40> t;
    t.Set("longer value");
    t.Set("ab");
    EXPECT_EQ(t.Get(), "ab");
    EXPECT_EQ(t.bytes[0], 2);
    EXPECT_EQ(t.bytes[3], 'n'); // "lo|n|ger": the old third character stays
}

TEST(RecordLayout, DamagedLengthByteNeverReadsPastTheField) {
    ShortText<40> t;
    t.bytes[0] = 200;
    EXPECT_EQ(t.Get().size(), 40u);
}

TEST(RecordLayout, NamesAreCaseSensitiveAndFirstRecordWins) {
    TempDir dir;
    WriteFile(dir.File(kUsersWorking), UserFixture("Bob", "upper") + UserFixture("bob", "lower") +
                                           UserFixture("Bob", "second"));
    AccountFiles files(dir.Path(), {});
    EXPECT_EQ(files.Users().Find("Bob")->Password.Get(), "upper");
    EXPECT_EQ(files.Users().Find("bob")->Password.Get(), "lower");
    EXPECT_FALSE(files.Users().Find("BOB"));
    EXPECT_FALSE(files.Users().Find("Bo"));
    EXPECT_EQ(*files.Users().LoadNames(), (std::vector<std::string>{"Bob", "bob", "Bob"}));
}

TEST(RecordLayout, DamagedFileIgnoresIncompleteTailAndReportsOnce) {
    TempDir dir;
    WriteFile(dir.File(kUsersWorking),
              UserFixture("alice", "a") + UserFixture("carol", "c").substr(0, 100));
    LogCapture log;
    AccountFiles files(dir.Path(), log.Writer());
    EXPECT_EQ(*files.Users().LoadNames(), std::vector<std::string>{"alice"});
    EXPECT_FALSE(files.Users().Find("carol"));
    EXPECT_TRUE(files.Users().Find("alice"));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].text, texts::DamagedRecordFile(dir.File(kUsersWorking), 100));
    EXPECT_EQ(log.lines[0].level, logServer);
    EXPECT_EQ(log.lines[0].colour, colours::clRed);
    // An append after the damaged tail keeps the records aligned.
    UserRecord r{};
    r.Name.Set("dave");
    ASSERT_TRUE(files.Users().Append(r));
    EXPECT_EQ(*files.Users().LoadNames(), (std::vector<std::string>{"alice", "dave"}));
    EXPECT_EQ(ReadFile(dir.File(kUsersWorking)).size(), 2u * 3718u);
}
