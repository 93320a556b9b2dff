// The settings pages edit the options live, and the options that depend on
// each other do so on the page.
#include "WindowEnv.h"

#include "app/SettingsKeys.h"
#include "window/ClientPage.h"
#include "window/LogPane.h"
#include "window/RangeSpinBox.h"
#include "window/ServerPage.h"
#include "window/SettingsPage.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

using testing_support::RunLoopUntil;
using testing_support::WindowEnv;

namespace {
template <class W> W* Control(WindowEnv& env, const char* key) {
    W* widget = env.window->SettingsTab()->findChild<W*>(QString::fromLatin1(key));
    EXPECT_NE(widget, nullptr) << key;
    return widget;
}
} // namespace

TEST(Options, CouplingsFollowTheControllingBox) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    struct Case {
        const char* controller;
        const char* dependant;
        bool enabledWhenChecked;
    };
    const Case cases[] = {
        {keys::MinimizeToTray, keys::HideFromTaskbar, true},
        {keys::TimestampLogs, keys::AppendLogs, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controller);
        QCheckBox* controller = Control<QCheckBox>(env, c.controller);
        QCheckBox* dependant = Control<QCheckBox>(env, c.dependant);
        ASSERT_TRUE(controller && dependant);
        ASSERT_FALSE(controller->isChecked());
        EXPECT_EQ(dependant->isEnabled(), !c.enabledWhenChecked);
        controller->click();
        EXPECT_TRUE(options.GetBool(c.controller));
        EXPECT_EQ(dependant->isEnabled(), c.enabledWhenChecked);
        controller->click();
        EXPECT_FALSE(options.GetBool(c.controller));
        EXPECT_EQ(dependant->isEnabled(), !c.enabledWhenChecked);
    }
}

TEST(Options, StartMaximizedAndStartMinimizedExcludeEachOther) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    QCheckBox* maximized = Control<QCheckBox>(env, keys::StartMaximized);
    QCheckBox* minimized = Control<QCheckBox>(env, keys::StartMinimized);
    ASSERT_TRUE(maximized && minimized);
    maximized->click();
    EXPECT_TRUE(maximized->isChecked());
    minimized->click();
    EXPECT_TRUE(minimized->isChecked());
    EXPECT_FALSE(maximized->isChecked());
    EXPECT_FALSE(options.GetBool(keys::StartMaximized));
    EXPECT_TRUE(options.GetBool(keys::StartMinimized));
    maximized->click();
    EXPECT_FALSE(minimized->isChecked());
    EXPECT_TRUE(options.GetBool(keys::StartMaximized));
    // Unchecking one leaves the other as it is.
    maximized->click();
    EXPECT_FALSE(options.GetBool(keys::StartMaximized));
    EXPECT_FALSE(options.GetBool(keys::StartMinimized));
}

TEST(Options, IdleTimeoutSwitchesItsFieldAndTheSweep) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    QCheckBox* idle = Control<QCheckBox>(env, keys::IdleTimeout);
    QSpinBox* seconds = Control<QSpinBox>(env, keys::IdleCount);
    ASSERT_TRUE(idle && seconds);
    // The environment turned the time-out off before the window opened.
    EXPECT_FALSE(idle->isChecked());
    EXPECT_FALSE(seconds->isEnabled());
    idle->click();
    EXPECT_TRUE(seconds->isEnabled());
    EXPECT_TRUE(env.shell->Owner().IdleTimerRunning());
    seconds->setValue(120);
    EXPECT_EQ(options.GetInt(keys::IdleCount), 120);
    EXPECT_EQ(seconds->minimum(), 60);
    EXPECT_EQ(seconds->maximum(), 3600);
    idle->click();
    EXPECT_FALSE(seconds->isEnabled());
    EXPECT_FALSE(env.shell->Owner().IdleTimerRunning());
}

TEST(Options, IdleSecondsFieldSaysItsRangeWhenItRefusesANumber) {
    const QString range = QStringLiteral("Enter a number from 60 to 3600.");
    struct Case {
        const char* what;
        const char* typed;
        bool enter;
        int value; // the field's value afterwards
        bool said; // whether the range was said
    };
    const Case cases[] = {
        {"a letter is dropped silently", "x", false, 300, false},
        {"a digit past the top is dropped", "5000", false, 500, true},
        {"a number below the bottom is put back", "5", true, 300, true},
        {"a number in the range is taken", "120", true, 120, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WindowEnv env;
        Control<QCheckBox>(env, keys::IdleTimeout)->click();
        auto* seconds = env.window->SettingsTab()->findChild<RangeSpinBox*>(
            QString::fromLatin1(keys::IdleCount));
        ASSERT_NE(seconds, nullptr);
        EXPECT_EQ(seconds->toolTip(), range);
        ASSERT_EQ(seconds->value(), 300);
        seconds->setFocus();
        seconds->selectAll();
        QTest::keyClicks(seconds, c.typed);
        if (c.enter)
            QTest::keyClick(seconds, Qt::Key_Return);
        EXPECT_EQ(seconds->value(), c.value);
        EXPECT_EQ(env.shell->Options().GetInt(keys::IdleCount), c.value);
        EXPECT_EQ(seconds->LastRefusal(), c.said ? range : QString());
        if (c.said) {
            EXPECT_EQ(QToolTip::text(), range);
        }
    }
}

TEST(Options, MaximumConcurrentUsersTakesDigitsOnlyAndAppliesLive) {
    WindowEnv env;
    QLineEdit* users = Control<QLineEdit>(env, keys::MaximumConcurrentUsers);
    ASSERT_NE(users, nullptr);
    users->clear();
    QTest::keyClicks(users, "1a-2 ");
    EXPECT_EQ(users->text(), "12");
    EXPECT_EQ(env.shell->Options().GetString(keys::MaximumConcurrentUsers), "12");
    EXPECT_EQ(env.shell->Server().MaxClients, 12);
}

TEST(Options, ControlsShowOptionsChangedElsewhereAndRadioPairsStoreBothKeys) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    options.SetString(keys::SocksServer, "proxy.example");
    EXPECT_EQ(Control<QLineEdit>(env, keys::SocksServer)->text(), "proxy.example");
    QLineEdit* port = Control<QLineEdit>(env, keys::ServerPort);
    port->clear();
    QTest::keyClicks(port, "2121");
    EXPECT_EQ(options.GetString(keys::ServerPort), "2121");

    QRadioButton* allow = Control<QRadioButton>(env, keys::Allow);
    QRadioButton* deny = Control<QRadioButton>(env, keys::Deny);
    ASSERT_TRUE(allow && deny);
    EXPECT_TRUE(deny->isChecked());
    allow->click();
    EXPECT_TRUE(options.GetBool(keys::Allow));
    EXPECT_FALSE(options.GetBool(keys::Deny));
    deny->click();
    EXPECT_FALSE(options.GetBool(keys::Allow));
    EXPECT_TRUE(options.GetBool(keys::Deny));

    QRadioButton* only = Control<QRadioButton>(env, keys::EncryptedOnlyClients);
    only->click();
    EXPECT_TRUE(options.GetBool(keys::EncryptedOnlyClients));
}

TEST(Options, ShowLogWindowBoxesShowAndHideThePanes) {
    WindowEnv env;
    TForm1& w = *env.window;
    w.Pages()->setCurrentIndex(0);
    EXPECT_TRUE(w.Client()->Log()->isVisible());
    Control<QCheckBox>(env, keys::ShowClientLogWindow)->click();
    EXPECT_FALSE(w.Client()->Log()->isVisible());
    Control<QCheckBox>(env, keys::ShowServerLogWindow)->click();
    w.Pages()->setCurrentIndex(1);
    EXPECT_FALSE(w.Server()->Log()->isVisible());
    Control<QCheckBox>(env, keys::ShowServerLogWindow)->click();
    EXPECT_TRUE(w.Server()->Log()->isVisible());
}

TEST(Options, ServerListsAddDeleteAndClearFromTheirButtons) {
    WindowEnv env;
    accounts::ServerLists& lists = env.shell->Lists();
    QWidget* tab = env.window->SettingsTab()->Tabs()->widget(1);
    auto groupButton = [&](const char* group, const char* text) -> QPushButton* {
        for (QGroupBox* box : tab->findChildren<QGroupBox*>())
            if (box->title() == group)
                for (QPushButton* button : box->findChildren<QPushButton*>())
                    if (button->text() == text)
                        return button;
        return nullptr;
    };
    QPushButton* addIp = groupButton(" IP Address Allow/Deny ", "&Add");
    QPushButton* deleteIp = groupButton(" IP Address Allow/Deny ", "&Delete");
    QPushButton* clearIp = groupButton(" IP Address Allow/Deny ", "&Clear");
    ASSERT_TRUE(addIp && deleteIp && clearIp);

    env.prompts.textAnswers = {std::string("10.0.0.*"), std::string("192.168.1.1")};
    addIp->click();
    addIp->click();
    ASSERT_TRUE(RunLoopUntil([&] { return lists.IpList.size() == 2; }));
    EXPECT_EQ(env.prompts.asked[0], "Add IP Allow/Deny: IP Address/Range NO HOSTNAMES!");
    auto* view = addIp->parentWidget()->findChild<QTreeWidget*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->topLevelItemCount(), 2);
    view->topLevelItem(0)->setSelected(true);
    deleteIp->click();
    ASSERT_EQ(lists.IpList, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ(view->topLevelItemCount(), 1);
    env.prompts.confirmAnswers = {true};
    clearIp->click();
    EXPECT_TRUE(lists.IpList.empty());
    EXPECT_EQ(view->topLevelItemCount(), 0);

    // A virtual directory: the folder picker, then the virtual path.
    QPushButton* addVirt = groupButton(" Virtual Directories ", "&Add");
    ASSERT_NE(addVirt, nullptr);
    env.prompts.textAnswers = {std::string("pub")};
    QTimer::singleShot(0, [&] {
        RunLoopUntil([&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return false;
            dialog->setDirectory(QString::fromStdString(env.served));
            dialog->findChild<QLineEdit*>("fileNameEdit")
                ->setText(QString::fromStdString(env.served));
            static_cast<QDialog*>(dialog)->accept();
            return true;
        });
    });
    addVirt->click();
    ASSERT_TRUE(RunLoopUntil([&] { return lists.VirtMaps.size() == 1; }));
    EXPECT_EQ(lists.VirtMaps[0].name, "/pub/");
}

TEST(Options, ProtectionAndSpeedLimitsEditTheirKeysAndApplyLive) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    struct Case {
        const char* key;
        int shown; // the default on the page
        int set;
        int maximum;
    };
    const Case cases[] = {
        {keys::BanAfterFailedLogins, 10, 3, 1000},
        {keys::BanWindowMinutes, 5, 30, 1440},
        {keys::BanHours, 1, 24, 8760},
        {keys::MaxConnectionsPerAddress, 10, 0, 10000},
        {keys::ServerDownloadLimit, 0, 2048, 10 * 1024 * 1024},
        {keys::ServerUploadLimit, 0, 512, 10 * 1024 * 1024},
        {keys::ConnectionSpeedLimit, 0, 100, 10 * 1024 * 1024},
        {keys::DownloadLimit, 0, 300, 10 * 1024 * 1024},
        {keys::UploadLimit, 0, 200, 10 * 1024 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        QSpinBox* spin = Control<QSpinBox>(env, c.key);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->value(), c.shown);
        EXPECT_EQ(spin->maximum(), c.maximum);
        spin->setValue(c.set);
        EXPECT_EQ(options.GetInt(c.key), c.set);
    }
    // Limits reach the running engines at once, in bytes per second.
    EXPECT_EQ(env.shell->Server().DownloadLimit, 2048 * 1024);
    EXPECT_EQ(env.shell->Server().UploadLimit, 512 * 1024);
    EXPECT_EQ(env.shell->Server().ConnectionLimit, 100 * 1024);
    EXPECT_EQ(env.shell->Ftp().DownloadLimit, 300 * 1024);
    EXPECT_EQ(env.shell->Ftp().UploadLimit, 200 * 1024);
    QCheckBox* exempt = Control<QCheckBox>(env, keys::ExemptLoopback);
    ASSERT_NE(exempt, nullptr);
    EXPECT_TRUE(exempt->isChecked());
    exempt->click();
    EXPECT_FALSE(options.GetBool(keys::ExemptLoopback));
}

TEST(Options, PassiveModeFieldsEditTheOptionsAndReachTheRunningServer) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    QSpinBox* min = Control<QSpinBox>(env, keys::PassivePortMin);
    QSpinBox* max = Control<QSpinBox>(env, keys::PassivePortMax);
    QLineEdit* external = Control<QLineEdit>(env, keys::PassiveExternalAddress);
    QCheckBox* forLocal = Control<QCheckBox>(env, keys::PassiveExternalForLocal);
    ASSERT_TRUE(min && max && external && forLocal);
    EXPECT_EQ(min->value(), 0);
    EXPECT_EQ(max->maximum(), 65535);
    EXPECT_FALSE(forLocal->isChecked());
    min->setValue(50000);
    max->setValue(50009);
    QTest::keyClicks(external, "198.51.100.4");
    forLocal->click();
    EXPECT_EQ(options.GetInt(keys::PassivePortMin), 50000);
    EXPECT_EQ(options.GetInt(keys::PassivePortMax), 50009);
    EXPECT_EQ(options.GetString(keys::PassiveExternalAddress), "198.51.100.4");
    EXPECT_TRUE(options.GetBool(keys::PassiveExternalForLocal));

    options.SetString(keys::ServerPort, "0");
    std::string error;
    ASSERT_TRUE(env.shell->StartServer(error)) << error;
    const TFtpServer::TPassiveOptions& passive = env.shell->Server().Passive;
    EXPECT_EQ(passive.PortMin, 50000);
    EXPECT_EQ(passive.PortMax, 50009);
    EXPECT_EQ(passive.ExternalAddress, "198.51.100.4");
    EXPECT_TRUE(passive.ExternalForLocal);
    // A change while the server runs applies at once.
    external->clear();
    QTest::keyClicks(external, "198.51.100.5");
    EXPECT_EQ(passive.ExternalAddress, "198.51.100.5");
    env.shell->Owner().Stop();
}
