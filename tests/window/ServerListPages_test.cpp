// The three server lists of the "Server Settings" tab: each one's Add,
// Delete and Clear change what the running server does at once.
#include "AdminDriver.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>

#include <sys/stat.h>

using namespace testing_support;

namespace {
constexpr int kServerTab = 1;

struct ListEnv : WindowEnv {
    QWidget* tab = ShowSettingsTab(*this, kServerTab);
    accounts::ServerLists& lists = shell->Lists();

    QPushButton* Button(const char* group, const char* text) {
        for (QGroupBox* box : tab->findChildren<QGroupBox*>())
            if (box->title() == group)
                for (QPushButton* button : box->findChildren<QPushButton*>())
                    if (button->text() == text)
                        return button;
        ADD_FAILURE() << group << " " << text;
        return nullptr;
    }
    // Selects every row of a list view and presses its Delete.
    void DeleteAll(const char* view, const char* group) {
        Named<QTreeWidget>(tab, QString::fromLatin1(view))->selectAll();
        Button(group, "&Delete")->click();
    }
    // Add of a folder list: the picker answered with folder, then name.
    bool AddPair(const char* group, const std::string& folder, const std::string& name,
                 const std::vector<accounts::ListPair>& list) {
        const std::size_t before = list.size();
        prompts.textAnswers = {name};
        AnswerFileDialog(folder);
        Button(group, "&Add")->click();
        return RunLoopUntil([&] { return list.size() == before + 1; });
    }
    std::vector<std::string> Check(const std::vector<std::string>& steps = {}) {
        return FtpCheck(Port(), kUser, kPass, steps);
    }
};

constexpr const char* kIp = " IP Address Allow/Deny ";
constexpr const char* kVirt = " Virtual Directories ";
constexpr const char* kLinks = " Permanent Links (shows all the time) ";
} // namespace

TEST(ServerListPages, ADeniedAddressGetsNoGreetingUntilItsRowGoes) {
    ListEnv env;
    ASSERT_TRUE(env.StartServer());
    ASSERT_TRUE(HasLine(env.Check(), "LOGIN OK"));
    env.prompts.textAnswers = {std::string("127.0.0.1")};
    env.Button(kIp, "&Add")->click();
    ASSERT_TRUE(RunLoopUntil([&] { return env.lists.IpList.size() == 1; }));
    EXPECT_TRUE(HasLine(env.Check(), "NO GREETING"));
    env.DeleteAll("IPDenied", kIp);
    EXPECT_TRUE(HasLine(env.Check(), "LOGIN OK"));

    env.prompts.textAnswers = {std::string("127.*")};
    env.Button(kIp, "&Add")->click();
    ASSERT_TRUE(RunLoopUntil([&] { return env.lists.IpList.size() == 1; }));
    env.prompts.confirmAnswers = {false};
    env.Button(kIp, "&Clear")->click();
    EXPECT_EQ(env.prompts.asked.back(),
              ": Are you sure you want to clear this list?  It is undoable!");
    EXPECT_TRUE(HasLine(env.Check(), "NO GREETING"));
    env.prompts.confirmAnswers = {true};
    env.Button(kIp, "&Clear")->click();
    EXPECT_TRUE(env.lists.IpList.empty());
    EXPECT_TRUE(HasLine(env.Check(), "LOGIN OK"));
}

TEST(ServerListPages, AVirtualPathMapsWhileItsRowIsThere) {
    ListEnv env;
    ASSERT_TRUE(env.StartServer());
    ::mkdir((env.served + "share/").c_str(), 0700);
    WriteFile(env.served + "share/v.txt", "virtual");
    const std::vector<std::string> steps = {"cwd:/pub", "get:v.txt"};
    EXPECT_TRUE(HasLine(env.Check(steps), "CWD FAILED"));
    ASSERT_TRUE(env.AddPair(kVirt, env.served + "share", "pub", env.lists.VirtMaps));
    EXPECT_EQ(env.lists.VirtMaps.back().name, "/pub/");
    auto* view = Named<QTreeWidget>(env.tab, QStringLiteral("Virtmaps"));
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(1), "/pub/");
    EXPECT_TRUE(HasLine(env.Check(steps), "GOT virtual"));
    env.DeleteAll("Virtmaps", kVirt);
    EXPECT_TRUE(HasLine(env.Check(steps), "CWD FAILED"));

    ASSERT_TRUE(env.AddPair(kVirt, env.served + "share", "/pub/", env.lists.VirtMaps));
    EXPECT_TRUE(HasLine(env.Check(steps), "GOT virtual"));
    env.prompts.confirmAnswers = {true};
    env.Button(kVirt, "&Clear")->click();
    EXPECT_EQ(view->topLevelItemCount(), 0);
    EXPECT_TRUE(HasLine(env.Check(steps), "CWD FAILED"));
}

TEST(ServerListPages, APermanentLinkIsListedWhileItsRowIsThere) {
    ListEnv env;
    ASSERT_TRUE(env.StartServer());
    ::mkdir((env.served + "target/").c_str(), 0700);
    auto listed = [&] {
        for (const std::string& line : env.Check({"list"}))
            if (line.rfind("LIST ", 0) == 0 && line.find("shortcut") != std::string::npos)
                return true;
        return false;
    };
    EXPECT_FALSE(listed());
    ASSERT_TRUE(env.AddPair(kLinks, env.served + "target", "shortcut", env.lists.PermaLinks));
    EXPECT_TRUE(listed());
    env.DeleteAll("PermaLinks", kLinks);
    EXPECT_FALSE(listed());
    ASSERT_TRUE(env.AddPair(kLinks, env.served + "target", "shortcut", env.lists.PermaLinks));
    env.prompts.confirmAnswers = {true};
    env.Button(kLinks, "&Clear")->click();
    EXPECT_TRUE(env.lists.PermaLinks.empty());
    EXPECT_FALSE(listed());
}
