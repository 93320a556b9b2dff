// The server page with real python ftplib clients: start and stop, the
// connection list during a download, Kick All Users, the key-pair refusals
// while users are connected, and closing the window with users connected.
#include "WindowEnv.h"
#include "support/Peers.h"

#include "accounts/BanFile.h"
#include "app/AppTexts.h"
#include "app/SettingsKeys.h"
#include "window/BannedList.h"
#include "window/KeyPairControls.h"
#include "window/LogPane.h"
#include "window/ServerPage.h"
#include "window/SettingsPage.h"
#include "window/WindowPrompts.h"

#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <set>

using testing_support::PatternBytes;
using testing_support::ReadFile;
using testing_support::RunLoopUntil;
using testing_support::StartFtpPeer;
using testing_support::WindowEnv;
using testing_support::WriteFile;

namespace {
QAbstractItemModel* Connections(WindowEnv& env) {
    return env.window->Server()->Connections()->model();
}

QString Cell(WindowEnv& env, int row, int column) {
    QAbstractItemModel* model = Connections(env);
    return model->data(model->index(row, column)).toString();
}

bool Finished(QProcess& process) {
    return process.state() == QProcess::NotRunning;
}
} // namespace

TEST(ServerPage, StartAndStopServerWithADownloadShowingItsProgress) {
    WindowEnv env;
    TForm1& w = *env.window;
    constexpr std::size_t kSize = 16 * 1024 * 1024;
    WriteFile(env.served + "big.bin", PatternBytes(kSize));
    QAction* start = env.Entry({"&Server", "&Start Server"});
    QAction* stop = env.Entry({"&Server", "S&top Server"});
    start->trigger();
    ASSERT_TRUE(env.shell->Server().Active());
    const int port = env.Port();
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_EQ(w.Server()->Status()->text(), "ONLINE - 0 connections");
    LogPane* log = w.Server()->Log();
    ASSERT_TRUE(RunLoopUntil([&] {
        return log->toPlainText().contains(QStringLiteral("FTP Server Started listening on port"));
    }));

    auto peer = StartFtpPeer(port, QStringLiteral("get:big.bin"));
    std::set<QString> progress;
    const bool done = RunLoopUntil(
        [&] {
            if (Connections(env)->rowCount() == 1) {
                const QString value = Cell(env, 0, 5);
                if (!value.isEmpty() && !value.contains("complete"))
                    progress.insert(value);
            }
            return Finished(*peer);
        },
        60000);
    ASSERT_TRUE(done) << peer->readAll().toStdString();
    const QString output = QString::fromUtf8(peer->readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("GOT %1").arg(kSize))) << output.toStdString();
    // The byte count moved while the download ran.
    EXPECT_GE(progress.size(), 2u);
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 0; }));
    EXPECT_EQ(Connections(env)->headerData(5, Qt::Horizontal).toString(), "Progress");

    stop->trigger();
    EXPECT_FALSE(env.shell->Server().Active());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(w.Server()->Status()->text().startsWith("OFFLINE - "));
    ASSERT_TRUE(RunLoopUntil([&] {
        return log->toPlainText().contains(
            QStringLiteral("FTP Server Started stopped.  No longer listening on"));
    }));
}

TEST(ServerPage, KickAllUsersClosesEveryClient) {
    WindowEnv env;
    TForm1& w = *env.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    // F11 starts the server.
    QTest::keyClick(&w, Qt::Key_F11);
    ASSERT_TRUE(env.shell->Server().Active());
    QAction* kick = env.Entry({"&Server", "Kick All Users"});
    EXPECT_FALSE(kick->isEnabled());
    auto first = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    auto second = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 2; }, 30000));
    EXPECT_TRUE(kick->isEnabled());
    EXPECT_EQ(w.Server()->Status()->text(), "ONLINE - 2 connections");
    EXPECT_EQ(Cell(env, 0, 1), testing_support::ShellEnv::kUser);
    EXPECT_TRUE(Cell(env, 0, 2).startsWith("127.0.0.1"));

    // Ctrl+Del kicks them.
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(RunLoopUntil([&] { return Finished(*first) && Finished(*second); }, 30000));
    EXPECT_TRUE(first->readAll().contains("CLOSED"));
    EXPECT_TRUE(second->readAll().contains("CLOSED"));
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 0; }));
    EXPECT_FALSE(kick->isEnabled());
    EXPECT_EQ(w.Server()->Status()->text(), "ONLINE - 0 connections");
    EXPECT_TRUE(env.shell->Server().Active());
}

TEST(ServerPage, AConnectionsContextMenuKicksThatConnectionOnly) {
    WindowEnv env;
    TForm1& w = *env.window;
    env.Entry({"&Server", "&Start Server"})->trigger();
    ASSERT_TRUE(env.shell->Server().Active());
    auto first = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    auto second = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 2; }, 30000));
    QTreeView* list = w.Server()->Connections();
    const QString kept = Cell(env, 1, 0);
    // Over no row there is nothing to act on.
    EXPECT_EQ(w.Server()->ConnectionMenu(QPoint(5, list->viewport()->height() - 2)), nullptr);

    // The menu of the first row kicks the first connection.
    std::unique_ptr<QMenu> menu(
        w.Server()->ConnectionMenu(list->visualRect(Connections(env)->index(0, 0)).center()));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), "&Kick this connection");
    menu->actions().front()->trigger();
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 1; }, 30000));
    EXPECT_EQ(Cell(env, 0, 0), kept);
    EXPECT_EQ(env.shell->Server().ClientCount(), 1);
    ASSERT_TRUE(RunLoopUntil([&] { return Finished(*first) || Finished(*second); }, 30000));
    EXPECT_FALSE(Finished(*first) && Finished(*second));

    env.Entry({"&Server", "Kick All Users"})->trigger();
    ASSERT_TRUE(RunLoopUntil([&] { return Finished(*first) && Finished(*second); }, 30000));
}

TEST(ServerPage, KeyPairCommandsAreRefusedWhileUsersAreConnected) {
    WindowEnv env;
    KeyPairControls& keys = *env.window->SettingsTab()->Keys();
    env.Entry({"&Server", "&Start Server"})->trigger();
    auto peer = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 1; }, 30000));

    keys.GenerateButton()->click();
    keys.ClearButton()->click();
    ASSERT_TRUE(RunLoopUntil([&] { return env.prompts.messages.size() == 2; }));
    EXPECT_EQ(env.prompts.messages[0], apptexts::kGenerateWhileServerActive);
    EXPECT_EQ(env.prompts.messages[1], apptexts::kClearWhileServerActive);
    EXPECT_EQ(keys.GenerateButton()->text(), "Generate New Keypair");
    EXPECT_TRUE(keys.GenerateButton()->isEnabled());
    EXPECT_TRUE(env.shell->Server().Active());
    EXPECT_FALSE(env.shell->GeneratingKeyPair());

    env.Entry({"&Server", "Kick All Users"})->trigger();
    ASSERT_TRUE(RunLoopUntil([&] { return Finished(*peer); }, 30000));
}

TEST(ServerPage, ClosingWithUsersConnectedAsksAndNoKeepsTheProgramRunning) {
    WindowPrompts dialogs;
    WindowEnv env(&dialogs);
    TForm1& w = *env.window;
    dialogs.SetParent(&w);
    env.Entry({"&Server", "&Start Server"})->trigger();
    auto peer = StartFtpPeer(env.Port(), QStringLiteral("hold"));
    ASSERT_TRUE(RunLoopUntil([&] { return Connections(env)->rowCount() == 1; }, 30000));
    env.shell->Options().SetString(keys::SocksServer, "changed.example");

    // Answers the question on screen with the given button, and says what it asked.
    auto answer = [&](QMessageBox::StandardButton button) {
        QString asked;
        const bool shown = RunLoopUntil([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return false;
            asked = box->text();
            box->button(button)->click();
            return true;
        });
        EXPECT_TRUE(shown);
        return asked;
    };

    w.close();
    EXPECT_EQ(answer(QMessageBox::No), "You have 1 users connected.  Still exit?");
    testing_support::RunLoopFor(50);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Closed());
    EXPECT_TRUE(env.shell->Server().Active());
    EXPECT_EQ(Finished(*peer), false);
    // The settings were written before the question.
    EXPECT_NE(ReadFile(env.data + "vexa2.ini").find("SocksServer=changed.example"),
              std::string::npos);

    w.close();
    EXPECT_EQ(answer(QMessageBox::Yes), "You have 1 users connected.  Still exit?");
    ASSERT_TRUE(RunLoopUntil([&] { return w.Closed(); }));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(env.shell->Server().Active());
    ASSERT_TRUE(RunLoopUntil([&] { return Finished(*peer); }, 30000));
}

TEST(ServerPage, ClosingWithClientAndServerBusyAsksTwiceAndNoToTheSecondKeepsRunning) {
    WindowEnv env;
    TForm1& w = *env.window;
    ASSERT_TRUE(env.StartServer());
    EXPECT_EQ(env.shell->ConnectClient(), "");
    ASSERT_TRUE(RunLoopUntil(
        [&] { return env.shell->Ftp().Connected() && Connections(env)->rowCount() == 1; }, 30000));
    env.prompts.confirmAnswers = {true, false};
    w.close();
    ASSERT_TRUE(RunLoopUntil([&] { return env.prompts.asked.size() == 2; }));
    testing_support::RunLoopFor(50);
    EXPECT_EQ(env.prompts.asked[0], "Confirm: You are currently connected!  Still exit?");
    EXPECT_EQ(env.prompts.asked[1], "Confirm: You have 1 users connected.  Still exit?");
    EXPECT_FALSE(w.Closed());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(env.shell->Ftp().Connected());
    env.shell->Client().Disconnect();
}

TEST(ServerPage, BannedAddressesShowTheirTimeLeftAndCanBeLifted) {
    WindowEnv env;
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    ASSERT_EQ(
        accounts::WriteBanFile(env.shell->DataFolder(), {{"203.0.113.9", now + 3'600'000 - 500, 10},
                                                         {"198.51.100.7", now + 90'000 + 500, 12}}),
        0);
    BannedList* banned = env.window->Server()->Banned();
    banned->Reload();
    QTreeWidget* tree = banned->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "198.51.100.7");
    EXPECT_EQ(tree->topLevelItem(0)->text(1), "0:01:31");
    EXPECT_EQ(tree->topLevelItem(0)->text(2), "12");
    EXPECT_EQ(tree->topLevelItem(1)->text(1), "1:00:00");
    EXPECT_EQ(env.window->Server()->Refused()->text(),
              "2 banned, 0 refused by bans, 0 by the per-address limit");

    EXPECT_FALSE(banned->LiftButton()->isEnabled());
    tree->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(banned->LiftButton()->isEnabled());
    QTest::mouseClick(banned->LiftButton(), Qt::LeftButton);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "198.51.100.7");
    std::vector<accounts::Ban> stored;
    ASSERT_EQ(accounts::ReadBanFile(env.shell->DataFolder(), stored), 0);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].address, "198.51.100.7");
}
