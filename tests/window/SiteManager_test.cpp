// The site manager over a real site store: New, Clone, Rename and Delete
// with the uniqueness message, the login types, Connect enabled by host and
// port, masking, the site it leaves as the current one, and no details or
// Connect without a site.
#include "WindowEnv.h"

#include "app/SettingsKeys.h"
#include "support/Peers.h"
#include "window/HelpWindow.h"
#include "window/SiteManager.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>
#include <QWindow>

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

// A click as the window system delivers it, through the widget's top-level
// window: a window held by a modal dialog does not get it.
void SystemClick(QWidget* widget, QPoint at) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, at));
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

// Details belong to a site: with none selected nothing can be typed and
// Connect stays off; a site without a host is not connected to.
TEST(SiteManager, WithoutASiteNothingCanBeTypedOrConnected) {
    WindowEnv env;
    TSiteManager* sm = Open(env);
    ASSERT_NE(sm, nullptr);
    auto boxes = [&] {
        return QList<QLineEdit*>{sm->HostBox(), sm->PortBox(), sm->UserBox(), sm->SocksBox(0),
                                 sm->SocksBox(1)};
    };
    auto typeInto = [&] {
        for (QLineEdit* box : boxes())
            QTest::keyClicks(box, "21");
    };
    // Nothing listed, nothing selected.
    typeInto();
    for (QLineEdit* box : boxes()) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_TRUE(box->text().isEmpty());
    }
    EXPECT_FALSE(sm->Passive()->isEnabled());
    EXPECT_FALSE(sm->ConnectButton()->isEnabled());
    QTest::mouseClick(sm->ConnectButton(), Qt::LeftButton);
    EXPECT_EQ(env.window->SiteManager(), sm);

    // A new site takes what is typed.
    env.prompts.textAnswers = {"one"};
    sm->NewButton()->click();
    typeInto();
    for (QLineEdit* box : boxes())
        EXPECT_EQ(box->text(), "21");
    EXPECT_TRUE(sm->ConnectButton()->isEnabled());

    // Two selected, or the last one deleted: no site is shown.
    env.prompts.textAnswers = {"two"};
    sm->NewButton()->click();
    sm->Sites()->selectAll();
    EXPECT_FALSE(sm->HostBox()->isEnabled());
    EXPECT_FALSE(sm->ConnectButton()->isEnabled());
    for (const char* name : {"one", "two"}) {
        sm->Select(name);
        EXPECT_TRUE(sm->HostBox()->isEnabled());
        sm->DeleteButton()->click();
    }
    EXPECT_FALSE(sm->HostBox()->isEnabled());

    // A site left without a host: Quick Connect says so and connects nowhere.
    env.prompts.textAnswers = {"empty"};
    sm->NewButton()->click();
    sm->ExitButton()->click();
    ASSERT_TRUE(RunLoopUntil([&] { return env.window->SiteManager() == nullptr; }));
    QAction* quick = env.window->Commands().Menu(Command::QuickConnect);
    ASSERT_TRUE(quick->isEnabled());
    quick->trigger();
    ASSERT_TRUE(RunLoopUntil([&] { return !env.prompts.messages.empty(); }));
    EXPECT_EQ(env.prompts.messages.back(),
              "The site \"empty\" has no host address.  Enter one in the Site Manager and try "
              "again.");
    EXPECT_FALSE(env.shell->Client().Groups().Disconnect);
}

// The manual opened from the site manager can be used while the site
// manager holds the main window: scrolled, closed, and the site manager
// still answers afterwards.
TEST(SiteManager, HelpCanBeScrolledAndClosedWhileItIsOpen) {
    WindowEnv env;
    std::string manual = "<html><body><h1>Vexa</h1>";
    for (int i = 0; i < 300; ++i)
        manual += "<p>Paragraph " + std::to_string(i) + "</p>";
    manual += "</body></html>";
    testing_support::WriteFile(env.data + "vexa2.hlp", manual);
    TSiteManager* sm = Open(env);
    ASSERT_NE(sm, nullptr);
    ASSERT_TRUE(sm->isModal() || sm->windowModality() != Qt::NonModal);
    RunLoopUntil([&] { return sm->isVisible(); });
    SystemClick(sm->HelpButton(), sm->HelpButton()->rect().center());
    HelpWindow* help = env.window->Help();
    ASSERT_TRUE(RunLoopUntil([&] { return help->isVisible(); }));
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Paragraph 299"));

    // A click low in the scroll bar's trough moves a page down.
    QScrollBar* bar = help->Browser()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const int before = bar->value();
    SystemClick(bar, QPoint(bar->width() / 2, bar->height() - bar->width() - 4));
    EXPECT_TRUE(RunLoopUntil([&] { return bar->value() > before; }));

    SystemClick(help->CloseButton(), help->CloseButton()->rect().center());
    EXPECT_TRUE(RunLoopUntil([&] { return !help->isVisible(); }));
    EXPECT_EQ(env.window->SiteManager(), sm);
    SystemClick(sm->ExitButton(), sm->ExitButton()->rect().center());
    EXPECT_TRUE(RunLoopUntil([&] { return env.window->SiteManager() == nullptr; }));
}

// The manual goes beside the window that asked for it where the screen has
// room, narrowed to the room there, next to it moved aside when that makes
// room, and otherwise against the roomier edge.
TEST(SiteManager, HelpPlacementBesideTheAskingWindow) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize wanted(640, 520);
    struct Case {
        const char* what;
        QRect anchor;
        QRect help;
        QRect anchorAfter;
    };
    const Case cases[] = {
        {"room on the right", {100, 100, 600, 500}, {708, 100, 640, 520}, {100, 100, 600, 500}},
        {"room on the left", {1200, 300, 700, 500}, {552, 300, 640, 520}, {1200, 300, 700, 500}},
        {"narrowed, on screen", {0, 700, 1500, 500}, {1508, 560, 412, 520}, {0, 700, 1500, 500}},
        {"anchor moved aside", {300, 100, 1400, 500}, {1408, 100, 512, 520}, {0, 100, 1400, 500}},
        {"no room, right", {40, 0, 1800, 1000}, {1600, 0, 320, 520}, {40, 0, 1800, 1000}},
        {"no room, left", {300, 50, 1620, 600}, {0, 50, 320, 520}, {300, 50, 1620, 600}},
        {"no room, tie", {150, 0, 1620, 500}, {0, 0, 320, 520}, {150, 0, 1620, 500}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BesidePlacement place = PlaceBeside(c.anchor, wanted, screen, 320);
        EXPECT_EQ(place.window, c.help);
        EXPECT_EQ(place.anchor, c.anchorAfter);
        if (c.anchorAfter.right() + 8 < c.help.left()) {
            EXPECT_FALSE(place.window.intersects(place.anchor));
        }
    }
}
