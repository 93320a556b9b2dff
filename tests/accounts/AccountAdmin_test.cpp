#include "accounts/AccountAdmin.h"
#include "accounts/AccountTexts.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace accounts;
using namespace testing_support;

namespace {
struct AdminFixture : ::testing::Test {
    TempDir dir;
    AccountFiles files{dir.Path(), {}};
    ScriptedPrompts prompts;
    bool warnings = true;
    UserAdmin users{files, prompts, [this] { return warnings; }};
    GroupAdmin groups{files, prompts};
};
} // namespace

TEST_F(AdminFixture, NewUserIsDisabledAndNamesMustBeUnique) {
    ASSERT_TRUE(users.New("alice").ok);
    EXPECT_TRUE(users.Unsaved());
    auto again = users.New("alice");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.message, texts::kNameMustBeUnique);
    EXPECT_TRUE(users.New("Alice").ok); // other letter case: another account
    EXPECT_EQ(users.Names(), (std::vector<std::string>{"alice", "Alice"}));
    auto r = files.Users().Find("alice");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->Enabled);
    // A long name is judged as it would be stored (cut to 40).
    ASSERT_TRUE(users.New(std::string(40, 'x')).ok);
    EXPECT_FALSE(users.New(std::string(45, 'x')).ok);
}

TEST_F(AdminFixture, AnonymousAsksFirst) {
    prompts.confirmAnswers = {false, true};
    EXPECT_FALSE(users.New("anonymous").ok);
    EXPECT_FALSE(files.Users().Contains("anonymous"));
    ASSERT_EQ(prompts.askedTexts.size(), 1u);
    EXPECT_EQ(prompts.askedTexts[0], texts::AnonymousQuestion("anonymous"));
    EXPECT_TRUE(users.New("anonymous").ok);
    auto r = files.Users().Find("anonymous");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->Password.Empty());
    EXPECT_FALSE(r->Enabled);
}

TEST_F(AdminFixture, PromptedNewWithCancelDoesNothing) {
    prompts.textAnswers = {std::nullopt, std::string()};
    EXPECT_TRUE(users.NewFromPrompt().ok);
    EXPECT_TRUE(users.NewFromPrompt().ok);
    EXPECT_FALSE(users.Unsaved());
    EXPECT_FALSE(files.Users().LoadNames());
}

TEST_F(AdminFixture, CloneCopiesAccessAndGroupsButNotSecrets) {
    ASSERT_TRUE(users.New("alice").ok);
    ASSERT_TRUE(users.Select("alice").ok);
    users.SetPassword("pw");
    users.SetEncryptionKey("key");
    users.SetHomeDirectory("/home/alice");
    users.SetEnabled(true);
    ASSERT_TRUE(users.AddAccess("/srv").ok);
    ASSERT_TRUE(users.SetRight(1, Right::Read, true).ok);
    ASSERT_TRUE(users.AddMembership("staff").ok);
    ASSERT_TRUE(users.Clone("alice", "bob").ok); // writes alice back first
    auto bob = files.Users().Find("bob");
    ASSERT_TRUE(bob);
    EXPECT_TRUE(bob->Password.Empty());
    EXPECT_TRUE(bob->EncryptionKey.Empty());
    EXPECT_FALSE(bob->Enabled);
    EXPECT_EQ(bob->HomeDirectory.Get(), "/home/alice");
    EXPECT_EQ(bob->Access[0].Path.Get(), "/srv");
    EXPECT_TRUE(bob->Access[0].Read);
    EXPECT_EQ(bob->GroupMembership[0].Get(), "staff");
    EXPECT_EQ(users.Current().Name.Get(), "alice");
    auto clash = users.Clone("alice", "bob");
    EXPECT_EQ(clash.message, texts::kNameAlreadyExists);
}

TEST_F(AdminFixture, RenameToExistingNameIsRefusedAndKeepsBoth) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.New("b").ok);
    ASSERT_TRUE(users.Select("b").ok);
    users.SetPassword("from-b");
    // Asked through the prompt, the refusal is shown with its message.
    prompts.textAnswers = {std::string("a")};
    auto clash = users.RenameFromPrompt("b");
    EXPECT_EQ(clash.message, texts::kNameAlreadyExists);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{texts::kNameAlreadyExists});
    EXPECT_EQ(users.Names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(users.Current().Name.Get(), "b");
    // The edit was written back before the question, and b keeps it.
    EXPECT_EQ(files.Users().Find("b")->Password.Get(), "from-b");
    EXPECT_TRUE(files.Users().Find("a")->Password.Empty());
    // A name that only differs in letter case is another name.
    EXPECT_TRUE(users.Rename("b", "A").ok);
    EXPECT_EQ(users.Current().Name.Get(), "A");
}

// The page's rights panel: what it shows and which entry a box click edits.
TEST_F(AdminFixture, RightsPanelFollowsTheSelectedEntry) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.AddAccess("/one").ok);
    ASSERT_TRUE(users.AddAccess("/two").ok);
    ASSERT_TRUE(users.SetRight(1, Right::Read, true).ok);
    ASSERT_TRUE(users.Save().ok);
    ASSERT_TRUE(users.Select("a").ok);
    // Shown: the boxes show the first entry, and nothing is selected.
    EXPECT_EQ(users.SelectedEntry(), 0);
    EXPECT_TRUE(users.PanelEntry().Read);
    EXPECT_FALSE(users.SetSelectedRight(Right::Write, true).ok);
    ASSERT_TRUE(users.SelectEntry(2).ok);
    EXPECT_FALSE(users.PanelEntry().Read);
    ASSERT_TRUE(users.SetSelectedRight(Right::Inherit, true).ok);
    EXPECT_TRUE(users.Current().Access[1].Inherit);
    EXPECT_FALSE(users.SelectEntry(3).ok);
    // Add selects nothing and leaves every box clear; so does a removal.
    ASSERT_TRUE(users.AddAccess("/three").ok);
    EXPECT_EQ(users.SelectedEntry(), 0);
    EXPECT_FALSE(users.PanelEntry().Used());
    ASSERT_TRUE(users.SelectEntry(1).ok);
    ASSERT_TRUE(users.RemoveAccess(1).ok);
    EXPECT_EQ(users.SelectedEntry(), 0);
    EXPECT_FALSE(users.PanelEntry().Used());
}

// A record that was only looked at is never written: another program may
// have changed the account in the working file meanwhile.
TEST_F(AdminFixture, AnUneditedRecordIsNotWrittenBack) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.New("b").ok);
    ASSERT_TRUE(users.Select("a").ok);
    auto changed = *files.Users().Find("a");
    changed.Password.Set("set-elsewhere");
    ASSERT_TRUE(files.Users().WriteBack(changed));
    ASSERT_TRUE(users.Select("b").ok);
    ASSERT_TRUE(users.Save().ok);
    EXPECT_EQ(files.Users().Find("a")->Password.Get(), "set-elsewhere");
    // An edited one is written once, when the selection moves on.
    users.SetPassword("mine");
    ASSERT_TRUE(users.Select("a").ok);
    EXPECT_EQ(files.Users().Find("b")->Password.Get(), "mine");
    EXPECT_FALSE(users.Edited());
}

TEST_F(AdminFixture, GroupSelectorAddsOnlyGroupsNotHeld) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.AddMembership("staff").ok);
    ASSERT_TRUE(users.AddMemberships({"ops", "staff", "dev"}).ok);
    std::vector<std::string> held;
    for (const auto& m : users.Current().GroupMembership)
        if (!m.Empty())
            held.push_back(m.Get());
    EXPECT_EQ(held, (std::vector<std::string>{"staff", "ops", "dev"}));
}

TEST_F(AdminFixture, DeleteShownAccountFallsBackToPrompt) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.Select("a").ok);
    ASSERT_TRUE(users.Delete("a").ok);
    EXPECT_EQ(users.ShownName(), texts::kSelectPrompt);
    EXPECT_TRUE(users.Names().empty());
}

TEST_F(AdminFixture, RemovingMiddleAccessEntryMovesLaterUp) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.Select("a").ok);
    for (const char* p : {"/one", "/two", "/three"})
        ASSERT_TRUE(users.AddAccess(p).ok);
    ASSERT_TRUE(users.SetRight(3, Right::Delete, true).ok);
    ASSERT_TRUE(users.RemoveAccess(2).ok);
    EXPECT_EQ(users.Current().Access[1].Path.Get(), "/three");
    EXPECT_TRUE(users.Current().Access[1].Delete);
    EXPECT_FALSE(users.Current().Access[2].Used());
    EXPECT_FALSE(users.RemoveAccess(3).ok);
}

TEST_F(AdminFixture, LimitsOf32EntriesAnd16GroupsAreRefused) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.Select("a").ok);
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(users.AddAccess("/d" + std::to_string(i)).ok);
    auto full = users.AddAccess("/d32");
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.message, texts::kAccessListFull);
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(users.AddMembership("g" + std::to_string(i)).ok);
    auto tooMany = users.AddMembership("g16");
    EXPECT_EQ(tooMany.message, texts::kMembershipsFull);
    EXPECT_EQ(users.AddMembership("g3").message, texts::kAlreadyMember);
}

TEST_F(AdminFixture, SuperUserAnsweredNoStaysClear) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.Select("a").ok);
    ASSERT_TRUE(users.Save().ok);
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(users.SetSuperUser(true));
    EXPECT_EQ(prompts.askedTexts.back(), texts::kSuperUserWarning);
    EXPECT_FALSE(users.Current().SuperUser);
    EXPECT_FALSE(users.Unsaved()); // nothing changed
    warnings = false;
    EXPECT_TRUE(users.SetSuperUser(true));
    ASSERT_TRUE(users.Save().ok);
    // Taking the flag away must reach the saved file too.
    EXPECT_FALSE(users.SetSuperUser(false));
    EXPECT_TRUE(users.Unsaved());
    ASSERT_TRUE(users.Save().ok);
    EXPECT_FALSE(files.Users().Find("a")->SuperUser);
}

TEST_F(AdminFixture, RemovedMembershipIsGoneAfterSave) {
    ASSERT_TRUE(users.New("a").ok);
    ASSERT_TRUE(users.Select("a").ok);
    ASSERT_TRUE(users.AddMembership("x").ok);
    ASSERT_TRUE(users.AddMembership("y").ok);
    ASSERT_TRUE(users.Save().ok);
    ASSERT_FALSE(users.Unsaved());
    ASSERT_TRUE(users.RemoveMembership("x").ok);
    // A removal alone marks the record unsaved, so closing the program saves it.
    EXPECT_TRUE(users.Unsaved());
    ASSERT_TRUE(users.Save().ok);
    ASSERT_TRUE(users.RemoveAccess(1).ok == false);
    ASSERT_TRUE(users.AddAccess("/granted").ok);
    ASSERT_TRUE(users.Save().ok);
    ASSERT_TRUE(users.RemoveAccess(1).ok);
    EXPECT_TRUE(users.Unsaved());
    files.StartUp();
    auto a = files.Users().Find("a");
    EXPECT_EQ(a->GroupMembership[0].Get(), "y");
    EXPECT_TRUE(a->GroupMembership[1].Empty());
}

TEST_F(AdminFixture, DiscardRestoresSavedState) {
    ASSERT_TRUE(users.New("keep").ok);
    ASSERT_TRUE(users.Save().ok);
    ASSERT_TRUE(users.New("drop").ok);
    ASSERT_TRUE(users.Delete("keep").ok);
    ASSERT_TRUE(users.Discard().ok);
    EXPECT_FALSE(users.Unsaved());
    EXPECT_EQ(users.Names(), std::vector<std::string>{"keep"});
    EXPECT_EQ(ReadFile(dir.File(kUsersWorking)), ReadFile(dir.File(kUsersSaved)));
}

TEST_F(AdminFixture, GroupsCloneKeepsEnabledAndRenameLeavesMemberships) {
    ASSERT_TRUE(groups.New("staff").ok);
    ASSERT_TRUE(groups.Select("staff").ok);
    groups.SetEnabled(true);
    groups.SetHomeDirectory("/srv/staff");
    ASSERT_TRUE(groups.Clone("staff", "copy").ok);
    EXPECT_TRUE(files.Groups().Find("copy")->Enabled);
    EXPECT_EQ(files.Groups().Find("copy")->HomeDirectory.Get(), "/srv/staff");
    EXPECT_EQ(groups.New("staff").message, texts::kNameMustBeUnique);
    ASSERT_TRUE(users.New("u").ok);
    ASSERT_TRUE(users.Select("u").ok);
    ASSERT_TRUE(users.AddMembership("staff").ok);
    users.WriteBack();
    ASSERT_TRUE(groups.Rename("staff", "crew").ok);
    EXPECT_EQ(groups.Current().Name.Get(), "crew");
    EXPECT_EQ(files.Users().Find("u")->GroupMembership[0].Get(), "staff");
}
