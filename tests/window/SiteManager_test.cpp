// The site manager over a real site store: New, Clone, Rename and Delete
// with the uniqueness message, the login types, Connect enabled by host and
// port, masking, and the site it leaves as the current one.
#include "WindowEnv.h"

#include "app/SettingsKeys.h"
#include "window/SiteManager.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <filesystem>

using testing_support::RunLoopUntil;
using testing_support::WindowEnv;

namespace {
const std::string kNotUnique =
    "Error: Invalid Name - it already exists in the list.  The name must be unique.";

QStringList Listed(TSiteManager& sm) {
    QStringList names;
    QAbstractItemModel* model = sm.Sites()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

TSiteManager* Open(WindowEnv& env) {
    env.window->Commands().Tool(Command::SiteManager)->trigger();
    return env.window->SiteManager();
}

int Count(const std::vector<std::string>& asked, const std::string& text) {
    return static_cast<int>(std::count(asked.begin(), asked.end(), text));
}
} // namespace

TEST(SiteManager, NewCloneRenameDeleteKeepNamesUnique) {
    WindowEnv env;
    TSiteManager* sm = Open(env);
    ASSERT_NE(sm, nullptr);
    EXPECT_EQ(sm->windowTitle(), "Site Manager");
    EXPECT_EQ(sm->Sites()->model()->headerData(0, Qt::Horizontal).toString(), "Site Name");
    EXPECT_TRUE(Listed(*sm).isEmpty());
    auto& p = env.prompts;

    p.textAnswers = {"alpha"};
    sm->NewButton()->click();
    EXPECT_EQ(Listed(*sm), QStringList({"alpha"}));
    EXPECT_EQ(sm->NameBox()->text(), "alpha");
    EXPECT_EQ(p.asked.back(), "Add a Site: Enter Site Name");
    sm->HostBox()->setText("ftp.example.org");
    sm->PortBox()->setText("2121");

    // A taken name: OK asks again, Cancel gives up; letter case makes names differ.
    p.textAnswers = {"alpha", "Alpha"};
    p.confirmAnswers = {true};
    sm->NewButton()->click();
    EXPECT_EQ(Count(p.asked, kNotUnique), 1);
    p.textAnswers = {"Alpha"};
    p.confirmAnswers = {false};
    sm->NewButton()->click();
    EXPECT_EQ(Count(p.asked, kNotUnique), 2);
    EXPECT_EQ(Listed(*sm), QStringList({"alpha", "Alpha"}));

    // Leaving alpha saved its details; Clone copies them under a new name.
    sm->Select("alpha");
    EXPECT_EQ(sm->HostBox()->text(), "ftp.example.org");
    p.textAnswers = {"Alpha", "gamma"};
    p.confirmAnswers = {true};
    sm->CloneButton()->click();
    EXPECT_EQ(Count(p.asked, kNotUnique), 3);
    EXPECT_EQ(p.asked.back(), "Clone Selected Site: Enter New Site Name");
    EXPECT_EQ(Listed(*sm), QStringList({"alpha", "Alpha", "gamma"}));
    sm->Select("gamma");
    EXPECT_EQ(sm->HostBox()->text(), "ftp.example.org");
    EXPECT_EQ(sm->PortBox()->text(), "2121");

    // Rename keeps the place and the details.
    p.textAnswers = {"alpha"};
    p.confirmAnswers = {false};
    sm->RenameButton()->click();
    EXPECT_EQ(Count(p.asked, kNotUnique), 4);
    p.textAnswers = {"delta"};
    sm->RenameButton()->click();
    EXPECT_EQ(p.asked.back(), "Rename Selected Site: Enter New Site Name");
    EXPECT_EQ(Listed(*sm), QStringList({"alpha", "Alpha", "delta"}));
    EXPECT_EQ(sm->NameBox()->text(), "delta");
    ASSERT_TRUE(env.shell->Sites().Find("delta").has_value());
    EXPECT_EQ(env.shell->Sites().Find("delta")->Host, "ftp.example.org");
    EXPECT_FALSE(env.shell->Sites().Find("gamma").has_value());

    // Delete removes the site and clears the details; the last one removes the store.
    sm->DeleteButton()->click();
    EXPECT_EQ(Listed(*sm), QStringList({"alpha", "Alpha"}));
    EXPECT_TRUE(sm->NameBox()->text().isEmpty());
    EXPECT_TRUE(sm->HostBox()->text().isEmpty());
    for (const char* name : {"alpha", "Alpha"}) {
        sm->Select(name);
        sm->DeleteButton()->click();
    }
    EXPECT_TRUE(Listed(*sm).isEmpty());
    EXPECT_FALSE(std::filesystem::exists(env.data + "vexa2sites.dat"));
    EXPECT_TRUE(p.messages.empty());
    sm->ExitButton()->click();
}

TEST(SiteManager, LoginTypesConnectEnablingMaskingAndTheCurrentSite) {
    WindowEnv env;
    env.shell->Options().SetBool(keys::MaskPasswords, true);
    TSiteManager* sm = Open(env);
    ASSERT_NE(sm, nullptr);
    env.prompts.textAnswers = {"site"};
    sm->NewButton()->click();
    for (QLineEdit* box : {sm->PasswordBox(), sm->KeyBox(), sm->SocksBox(3)})
        EXPECT_EQ(box->echoMode(), QLineEdit::Password);
    EXPECT_EQ(sm->HostBox()->echoMode(), QLineEdit::Normal);

    // Connect needs both a host and a port, whichever box changes.
    struct Step {
        const char* host;
        const char* port;
        bool enabled;
    };
    for (const Step& s : {Step{"", "", false}, Step{"h", "", false}, Step{"", "21", false},
                          Step{"h", "21", true}}) {
        sm->HostBox()->setText(s.host);
        sm->PortBox()->setText(s.port);
        sm->SocksBox(1)->setText("1080");
        EXPECT_EQ(sm->ConnectButton()->isEnabled(), s.enabled) << s.host << "/" << s.port;
    }
    EXPECT_TRUE(sm->ConnectButton()->font().bold());

    // Anonymous: the user name and a placeholder address; the user box, the
    // key box and "mandatory" are off.
    sm->UserBox()->setText("bob");
    sm->PasswordBox()->setText("pw");
    sm->LoginType(2)->click();
    EXPECT_EQ(sm->UserBox()->text(), "anonymous");
    EXPECT_TRUE(sm->PasswordBox()->text().mid(1).contains('@'));
    EXPECT_FALSE(sm->UserBox()->isEnabled());
    EXPECT_FALSE(sm->KeyBox()->isEnabled());
    EXPECT_TRUE(sm->KeyBox()->isReadOnly());
    EXPECT_FALSE(sm->Mandatory()->isEnabled());
    // An address already given stays.
    sm->PasswordBox()->setText("me@home.example");
    sm->LoginType(2)->click();
    EXPECT_EQ(sm->PasswordBox()->text(), "me@home.example");
    // Encrypted: the key and "mandatory" can be edited; Normal gives the user box back.
    sm->LoginType(3)->click();
    EXPECT_TRUE(sm->KeyBox()->isEnabled());
    EXPECT_FALSE(sm->KeyBox()->isReadOnly());
    EXPECT_TRUE(sm->Mandatory()->isEnabled());
    EXPECT_TRUE(sm->UserBox()->isEnabled());
    sm->LoginType(2)->click();

    // Closing with one site selected makes it the current site and enables
    // Quick Connect.
    EXPECT_FALSE(env.window->Commands().Menu(Command::QuickConnect)->isEnabled());
    sm->ExitButton()->click();
    ASSERT_TRUE(RunLoopUntil([&] { return env.window->SiteManager() == nullptr; }));
    const SiteRecord& current = env.shell->Client().CurrentSite;
    EXPECT_EQ(current.Name, "site");
    EXPECT_EQ(current.Host, "h");
    EXPECT_EQ(current.Port, "21");
    EXPECT_EQ(current.LoginType, 2);
    EXPECT_EQ(current.UserName, "anonymous");
    EXPECT_EQ(current.Password, "me@home.example");
    EXPECT_EQ(current.SocksPort, "1080");
    EXPECT_TRUE(env.window->Commands().Tool(Command::QuickConnect)->isEnabled());

    // Opened again, it shows the current site with its stored details.
    sm = Open(env);
    ASSERT_NE(sm, nullptr);
    EXPECT_EQ(sm->NameBox()->text(), "site");
    EXPECT_TRUE(sm->LoginType(2)->isChecked());
    EXPECT_FALSE(sm->UserBox()->isEnabled());
    sm->ExitButton()->click();
}
