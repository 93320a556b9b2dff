// The "User Admin" and "Group Admin" tabs driven as a user would, checked by
// what the account files hold and what a real FTP client may then do.
#include "AdminDriver.h"

#include "accounts/AccountTexts.h"

#include <QCheckBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

#include <sys/stat.h>

using namespace testing_support;
namespace texts = accounts::texts;

namespace {
constexpr int kUserTab = 3;
constexpr int kGroupTab = 4;

struct AdminEnv : WindowEnv {
    QWidget* users = nullptr;
    QWidget* groups = nullptr;

    AdminEnv() {
        WriteFile(served + "hello.txt", "hello");
        users = ShowSettingsTab(*this, kUserTab);
    }

    QTreeView* List(QWidget* tab, const char* name) {
        return Named<QTreeView>(tab, QString::fromLatin1(name));
    }
    template <class W = QPushButton> W* U(const char* name) {
        return Named<W>(users, QString::fromLatin1(name));
    }
    accounts::UserRecord Working(const std::string& name) {
        auto record = shell->Accounts().Users().Find(name);
        EXPECT_TRUE(record.has_value()) << name;
        return record.value_or(accounts::UserRecord{});
    }
    std::string Saved() { return ReadFile(shell->Accounts().SavedUsersPath()); }
    // The user page's access list gets folder through the folder picker.
    void AddAccess(QWidget* tab, const char* button, const std::string& folder) {
        AnswerFileDialog(folder);
        Named<QToolButton>(tab, QString::fromLatin1(button))->click();
    }
};

bool Bold(QPushButton* button) {
    return button->font().bold();
}
} // namespace

TEST(AccountPages, NewUserWithPasswordHomeAndRightsLogsInAfterSave) {
    AdminEnv env;
    ASSERT_TRUE(env.StartServer());
    QPushButton* save = env.U("UserSave");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text().toStdString(), texts::kSelectPrompt);

    env.prompts.textAnswers = {std::string("carol")};
    env.U("UserNew")->click();
    EXPECT_EQ(env.prompts.asked.back(), "New User: Type in new user's name");
    // The new account is the one shown and edited.
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "carol");
    EXPECT_TRUE(save->isEnabled() && Bold(save));
    EXPECT_FALSE(env.U<QCheckBox>("UserEnabled")->isChecked());
    QTest::keyClicks(env.U<QLineEdit>("Password"), "pw1");
    QTest::keyClicks(env.U<QLineEdit>("UserHomeDirectory"), QString::fromStdString(env.served));
    env.AddAccess(env.users, "UserAccessAdd", env.served);
    QTreeView* access = env.List(env.users, "UserAccess");
    ASSERT_EQ(Rows(access).size(), 1u);
    auto* rights = env.U<QWidget>("UserRights");
    EXPECT_FALSE(rights->isEnabled());
    ASSERT_TRUE(ClickRow(access, 0));
    EXPECT_TRUE(rights->isEnabled());
    for (const char* box : {"UserRead", "UserList"})
        env.U<QCheckBox>(box)->click();
    env.U<QCheckBox>("UserEnabled")->click();

    save->click();
    EXPECT_FALSE(save->isEnabled() || Bold(save));
    EXPECT_FALSE(env.U("UserDiscard")->isEnabled());
    const accounts::UserRecord carol = env.Working("carol");
    EXPECT_EQ(carol.Password.Get(), "pw1");
    EXPECT_EQ(carol.HomeDirectory.Get(), env.served);
    EXPECT_TRUE(carol.Access[0].Read && carol.Access[0].List && carol.Enabled);
    EXPECT_FALSE(carol.Access[0].Write || carol.Access[0].Delete);
    EXPECT_NE(env.Saved().find("carol"), std::string::npos);

    const auto lines = FtpCheck(env.Port(), "carol", "pw1", {"list", "get:hello.txt"});
    EXPECT_TRUE(HasLine(lines, "LOGIN OK"));
    EXPECT_TRUE(HasLine(lines, "LIST ") && HasLine(lines, "GOT hello"));
    bool listed = false;
    for (const auto& line : lines)
        listed |= line.find("hello.txt") != std::string::npos && line.rfind("LIST", 0) == 0;
    EXPECT_TRUE(listed);
}

TEST(AccountPages, CloneHasNoPasswordNoKeyAndIsDisabled) {
    AdminEnv env;
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    QTest::keyClicks(env.U<QLineEdit>("EncryptionKey"), "k3y");
    env.prompts.textAnswers = {std::string("alice2")};
    env.U("UserClone")->click();
    EXPECT_EQ(env.prompts.asked.back(), "Clone User: Choose a new username");
    EXPECT_EQ(Rows(env.List(env.users, "UserListBox")),
              (std::vector<std::string>{"alice", "alice2"}));
    const accounts::UserRecord copy = env.Working("alice2");
    EXPECT_TRUE(copy.Password.Empty());
    EXPECT_TRUE(copy.EncryptionKey.Empty());
    EXPECT_FALSE(copy.Enabled);
    EXPECT_EQ(copy.HomeDirectory.Get(), env.served);
    EXPECT_TRUE(copy.Access[0].Used() && copy.Access[0].Write);
    // The clone was made after the key typed into alice was written back.
    EXPECT_EQ(env.Working("alice").EncryptionKey.Get(), "k3y");
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "alice");
    // A second clone of the same name is refused with its message.
    env.prompts.textAnswers = {std::string("alice2")};
    env.U("UserClone")->click();
    EXPECT_EQ(env.prompts.messages.back(), texts::kNameAlreadyExists);
}

TEST(AccountPages, RenameToAnExistingNameIsRefusedWithItsMessage) {
    AdminEnv env;
    env.prompts.textAnswers = {std::string("bob"), std::string("bob")};
    env.U("UserNew")->click();
    QTreeView* list = env.List(env.users, "UserListBox");
    ASSERT_TRUE(ClickRow(list, "alice"));
    env.U("UserRename")->click();
    EXPECT_EQ(env.prompts.asked.back(), "Rename User: Choose a new username");
    ASSERT_FALSE(env.prompts.messages.empty());
    EXPECT_EQ(env.prompts.messages.back(), texts::kNameAlreadyExists);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "alice");
    // A free name is taken, in the list and in the name field.
    env.prompts.textAnswers = {std::string("ann")};
    env.U("UserRename")->click();
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"ann", "bob"}));
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "ann");
    EXPECT_TRUE(env.shell->Accounts().Users().Contains("ann"));
}

TEST(AccountPages, RemovingTheSecondOfThreeEntriesSurvivesARestart) {
    AdminEnv env;
    for (const char* sub : {"a/", "b/"})
        ::mkdir((env.served + sub).c_str(), 0700);
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    env.AddAccess(env.users, "UserAccessAdd", env.served + "a/");
    env.AddAccess(env.users, "UserAccessAdd", env.served + "b/");
    QTreeView* access = env.List(env.users, "UserAccess");
    ASSERT_EQ(Rows(access).size(), 3u);
    // The third entry gets a right, to see it move up with the entry.
    ASSERT_TRUE(ClickRow(access, 2));
    env.U<QCheckBox>("UserDelete")->click();
    ASSERT_TRUE(ClickRow(access, 1));
    env.U<QToolButton>("UserAccessRemove")->click();
    EXPECT_EQ(Rows(access), (std::vector<std::string>{env.Working("alice").Access[0].Path.Get(),
                                                      env.served + "b/"}));
    EXPECT_TRUE(env.U("UserSave")->isEnabled());
    env.U("UserSave")->click();

    // A restart copies the saved file over the working one.
    env.shell->Accounts().StartUp();
    env.window->Run(Command::Refresh);
    const accounts::UserRecord alice = env.Working("alice");
    EXPECT_EQ(alice.Access[1].Path.Get(), env.served + "b/");
    EXPECT_TRUE(alice.Access[1].Delete);
    EXPECT_FALSE(alice.Access[2].Used());
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    EXPECT_EQ(Rows(access).size(), 2u);
}

TEST(AccountPages, SuperUserQuestionAnsweredNoLeavesTheFlagClear) {
    AdminEnv env;
    env.shell->Accounts().SaveUsers();
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    auto* box = env.U<QCheckBox>("SuperUser");
    env.prompts.confirmAnswers = {false};
    box->click();
    ASSERT_FALSE(env.prompts.asked.empty());
    EXPECT_NE(env.prompts.asked.back().find(texts::kSuperUserWarning), std::string::npos);
    EXPECT_EQ(env.prompts.asked.back().rfind("Superuser Access: ", 0), 0u);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(env.U("UserSave")->isEnabled());
    // Yes grants it and marks the page unsaved.
    env.prompts.confirmAnswers = {true};
    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(Bold(env.U("UserSave")));
    // Back to No: written back on the next selection, the flag stays 0.
    box->click();
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    EXPECT_FALSE(env.Working("alice").SuperUser);
}

TEST(AccountPages, DiscardRestoresTheSavedRecord) {
    AdminEnv env;
    env.shell->Accounts().SaveUsers();
    const std::string saved = env.Saved();
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    QTest::keyClicks(env.U<QLineEdit>("Password"), "-changed");
    env.U<QCheckBox>("UserEnabled")->click();
    env.prompts.textAnswers = {std::string("temp")};
    env.U("UserNew")->click();
    EXPECT_EQ(env.Working("alice").Password.Get(), "secret-changed");
    env.U("UserDiscard")->click();
    EXPECT_EQ(ReadFile(env.shell->Accounts().Users().Path()), saved);
    EXPECT_EQ(Rows(env.List(env.users, "UserListBox")), std::vector<std::string>{"alice"});
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text().toStdString(), texts::kSelectPrompt);
    EXPECT_FALSE(env.U("UserSave")->isEnabled() || env.U("UserDiscard")->isEnabled());
    EXPECT_FALSE(env.U("UserClone")->isEnabled());
}

TEST(AccountPages, SwitchingSelectionWritesUnsavedEditsBackForTheNextLogin) {
    AdminEnv env;
    ASSERT_TRUE(env.StartServer());
    env.shell->Accounts().SaveUsers();
    const std::string saved = env.Saved();
    env.prompts.textAnswers = {std::string("bob")};
    env.U("UserNew")->click();
    QTreeView* list = env.List(env.users, "UserListBox");
    ASSERT_TRUE(ClickRow(list, "alice"));
    auto* password = env.U<QLineEdit>("Password");
    password->selectAll();
    QTest::keyClicks(password, "newpass");
    // Typed only: the working file still has the old password.
    EXPECT_EQ(env.Working("alice").Password.Get(), "secret");
    ASSERT_TRUE(ClickRow(list, "bob"));
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "bob");
    EXPECT_EQ(env.Working("alice").Password.Get(), "newpass");
    EXPECT_EQ(env.Saved(), saved); // written back, not saved
    EXPECT_TRUE(Bold(env.U("UserSave")));
    EXPECT_TRUE(HasLine(FtpCheck(env.Port(), "alice", "newpass"), "LOGIN OK"));
    EXPECT_TRUE(HasLine(FtpCheck(env.Port(), "alice", "secret"), "LOGIN FAILED"));
}

TEST(AccountPages, GroupRightsWithInheritReachAMembersLogin) {
    AdminEnv env;
    ASSERT_TRUE(env.StartServer());
    ::mkdir((env.served + "sub/").c_str(), 0700);
    WriteFile(env.served + "sub/deep.txt", "deep");
    QWidget* groups = ShowSettingsTab(env, kGroupTab);
    auto G = [&](const char* name) { return Named<QWidget>(groups, QString::fromLatin1(name)); };
    EXPECT_FALSE(G("GroupHomeDirectory")->isEnabled()); // nothing shown: details disabled
    env.prompts.textAnswers = {std::string("staff")};
    static_cast<QPushButton*>(G("GroupNew"))->click();
    EXPECT_EQ(env.prompts.asked.back(), "New Group: Type in new Group's name");
    QTest::keyClicks(G("GroupHomeDirectory"), QString::fromStdString(env.served));
    env.AddAccess(groups, "GroupAccessAdd", env.served);
    ASSERT_TRUE(ClickRow(env.List(groups, "GroupAccess"), 0));
    for (const char* box : {"GroupRead", "GroupList", "GroupInherit"})
        static_cast<QCheckBox*>(G(box))->click();
    static_cast<QCheckBox*>(G("GroupEnabled"))->click();
    static_cast<QPushButton*>(G("GroupSave"))->click();

    env.users = ShowSettingsTab(env, kUserTab);
    env.prompts.textAnswers = {std::string("dave")};
    env.U("UserNew")->click();
    QTest::keyClicks(env.U<QLineEdit>("Password"), "pw");
    // The group selector: choose staff; either button adds the choice.
    QTimer::singleShot(0, [] {
        RunLoopUntil([] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog->windowTitle() != "Group Selector")
                return false;
            auto* list = dialog->findChild<QListWidget*>();
            list->item(0)->setSelected(true);
            for (auto* button : dialog->findChildren<QPushButton*>())
                if (button->text() == "&Cancel")
                    button->click();
            return true;
        });
    });
    env.U<QToolButton>("GroupMembershipAdd")->click();
    EXPECT_EQ(Rows(env.List(env.users, "GroupMembership")), std::vector<std::string>{"staff"});
    env.U("UserSave")->click();
    EXPECT_EQ(env.Working("dave").GroupMembership[0].Get(), "staff");

    auto lines = FtpCheck(env.Port(), "dave", "pw", {"cwd:sub", "get:deep.txt"});
    EXPECT_TRUE(HasLine(lines, "LOGIN OK"));
    EXPECT_TRUE(HasLine(lines, "CWD OK"));
    EXPECT_TRUE(HasLine(lines, "GOT deep"));

    // Without Inherit the group's right ends at its own folder.
    ShowSettingsTab(env, kGroupTab);
    ASSERT_TRUE(ClickRow(env.List(groups, "GroupListBox"), "staff"));
    ASSERT_TRUE(ClickRow(env.List(groups, "GroupAccess"), 0));
    static_cast<QCheckBox*>(G("GroupInherit"))->click();
    static_cast<QPushButton*>(G("GroupSave"))->click();
    lines = FtpCheck(env.Port(), "dave", "pw", {"cwd:sub", "get:deep.txt"});
    EXPECT_TRUE(HasLine(lines, "CWD FAILED"));
    EXPECT_TRUE(HasLine(lines, "GET FAILED"));
}

// vexa2-admin changes the same data folder while the window runs.
TEST(AccountPages, AUserAddedByTheAdminToolAppearsAfterRefreshAndSurvivesSaveAndDiscard) {
    AdminEnv env;
    ASSERT_TRUE(env.StartServer());
    env.shell->Accounts().SaveUsers();
    auto admin = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", env.data});
        const CommandResult r = RunCommand(ProgramPath("vexa2-admin"), args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    };
    QTreeView* list = env.List(env.users, "UserListBox");
    ASSERT_TRUE(ClickRow(list, "alice"));
    admin({"user", "add", "erin"});
    admin({"user", "set", "erin", "password", "epw"});
    EXPECT_EQ(Rows(list), std::vector<std::string>{"alice"});
    env.window->Run(Command::Refresh);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"alice", "erin"}));
    EXPECT_EQ(env.U<QLineEdit>("UserName")->text(), "alice");

    // The window's edit of alice and its Save keep erin, and erin's password.
    QTest::keyClicks(env.U<QLineEdit>("EncryptionKey"), "akey");
    env.U("UserSave")->click();
    EXPECT_EQ(env.Working("erin").Password.Get(), "epw");
    EXPECT_EQ(env.Working("alice").EncryptionKey.Get(), "akey");
    EXPECT_NE(env.Saved().find("erin"), std::string::npos);

    // An account only looked at is never written over a change made elsewhere.
    ASSERT_TRUE(ClickRow(list, "erin"));
    admin({"user", "set", "erin", "password", "changed"});
    ASSERT_TRUE(ClickRow(list, "alice"));
    EXPECT_EQ(env.Working("erin").Password.Get(), "changed");
    EXPECT_TRUE(HasLine(FtpCheck(env.Port(), "erin", "changed"), "LOGIN OK"));

    // Discard takes the saved file, which the tool saved too.
    admin({"user", "add", "fred"});
    QTest::keyClicks(env.U<QLineEdit>("Password"), "x");
    env.U("UserDiscard")->click();
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"alice", "erin", "fred"}));
    EXPECT_EQ(env.Working("alice").Password.Get(), "secret");
    EXPECT_EQ(env.Working("erin").Password.Get(), "changed");
}

TEST(AccountPages, AChangeMadeByTheAdminToolIsNeverUndoneBySave) {
    AdminEnv env;
    env.shell->Accounts().SaveUsers();
    auto admin = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", env.data});
        const CommandResult r = RunCommand(ProgramPath("vexa2-admin"), args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    };
    auto savedPassword = [&] {
        return accounts::UserFile(env.shell->Accounts().SavedUsersPath(), {})
            .Find("alice")
            ->Password.Get();
    };
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    auto* password = env.U<QLineEdit>("Password");
    auto* home = env.U<QLineEdit>("UserHomeDirectory");

    // The tool sets the password while the page shows alice; the page edits
    // another field and saves: the tool's password stays, the edit is kept.
    admin({"user", "set", "alice", "password", "new"});
    const std::string homeBefore = home->text().toStdString();
    const std::size_t askedBefore = env.prompts.asked.size();
    QTest::keyClicks(home, "sub/");
    env.U("UserSave")->click();
    EXPECT_EQ(env.prompts.asked.size(), askedBefore);
    EXPECT_EQ(env.Working("alice").Password.Get(), "new");
    EXPECT_EQ(savedPassword(), "new");
    EXPECT_EQ(env.Working("alice").HomeDirectory.Get(), homeBefore + "sub/");
    EXPECT_EQ(password->text(), "new"); // the page shows what was stored

    // Both change the password: the page asks, No keeps the tool's value,
    // Yes the page's.
    const struct {
        bool keepMine;
        const char* expected;
        const char* tool;
    } cases[] = {{false, "tool1", "tool1"}, {true, "mine", "tool2"}};
    for (const auto& c : cases) {
        admin({"user", "set", "alice", "password", c.tool});
        password->selectAll();
        QTest::keyClicks(password, "mine");
        env.prompts.asked.clear();
        env.prompts.confirmAnswers = {c.keepMine};
        env.U("UserSave")->click();
        ASSERT_EQ(env.prompts.asked.size(), 1u);
        EXPECT_NE(
            env.prompts.asked.back().find("The password of alice was changed by another program"),
            std::string::npos);
        EXPECT_EQ(env.Working("alice").Password.Get(), c.expected);
        EXPECT_EQ(savedPassword(), c.expected);
    }
}

TEST(AccountPages, UnsavedEditsAreSavedWhenTheProgramCloses) {
    AdminEnv env;
    ASSERT_TRUE(ClickRow(env.List(env.users, "UserListBox"), "alice"));
    QTest::keyClicks(env.U<QLineEdit>("EncryptionKey"), "kept");
    env.window->close();
    ASSERT_TRUE(RunLoopUntil([&] { return env.window->Closed(); }));
    auto saved = accounts::UserFile(env.shell->Accounts().SavedUsersPath(), {}).Find("alice");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->EncryptionKey.Get(), "kept");
}
