// Both halves in one program, driven as a user drives the window: a new key
// pair, an account with a key and rights (made through the account files,
// as the account pages do), the server started, an encrypted site made in
// the site manager, connected with every indicator on, a file and a folder
// tree downloaded and a file uploaded by drag and drop through the queue, a
// partial download resumed by the file-exists dialog's countdown, and the
// disconnect. Every transferred file is compared byte for byte.
#include "AdminDriver.h"
#include "ClientWindowEnv.h"

#include "app/AppSignals.h"
#include "app/SettingsKeys.h"
#include "support/Peers.h"
#include "support/QueueEnv.h"
#include "window/ConfirmationBox.h"
#include "window/KeyPairControls.h"
#include "window/SettingsPage.h"
#include "window/SiteManager.h"
#include "window/WindowPrompts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
// A 56-character key: 448 bits of Blowfish key.
const std::string kKey = "Zq7pLm2Rt9Xw4Kc8Vb1Nh6Jd3Fs5Gy0Ue7Ia2Ob9Pr4Tl6Wm8Xn1Ck3H";

// Answers the next text prompt (a modal input dialog) with text.
void AnswerNextPrompt(const QString& text) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, text] {
        if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            dialog->setTextValue(text);
            dialog->accept();
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    // Never outlives the test.
    QTimer::singleShot(20000, timer, [timer] { timer->deleteLater(); });
}
} // namespace

TEST(EndToEnd, EncryptedSessionTransfersThroughTheQueueByDragAndDrop) {
    WindowPrompts dialogs;
    WindowEnv env(&dialogs, {}, true);
    dialogs.SetParent(env.window.get());
    TForm1& w = *env.window;
    ClientPage& page = *w.Client();
    AppShell& shell = *env.shell;
    shell.Options().SetBool(keys::VerboseLogging, true);
    QStringList log;
    QObject::connect(&w.Signals(), &AppSignals::logLine, [&](int which, const QString& line, int) {
        if (which == 1)
            log << line;
    });

    // A new 512-bit key pair from the key controls.
    KeyPairControls& keys = *w.SettingsTab()->Keys();
    auto* bits = w.SettingsTab()->findChild<QComboBox*>(QString::fromLatin1(keys::RSAKeyBits));
    ASSERT_NE(bits, nullptr);
    bits->setCurrentIndex(bits->findText("512"));
    emit bits->activated(bits->currentIndex());
    keys.GenerateButton()->click();
    ASSERT_TRUE(RunLoopUntil([&] { return !shell.GeneratingKeyPair(); }, 120000));
    ASSERT_TRUE(shell.RSA1().PrivateKeyLoaded());

    // An account with the key and every right on its home, made on the
    // User Admin tab.
    QWidget* users = ShowSettingsTab(env, 3);
    const auto click = [&](const char* name) {
        auto* button = Named<QAbstractButton>(users, QString::fromLatin1(name));
        ASSERT_NE(button, nullptr);
        button->click();
    };
    const auto type = [&](const char* name, const std::string& text) {
        auto* field = Named<QLineEdit>(users, QString::fromLatin1(name));
        ASSERT_NE(field, nullptr);
        QTest::keyClicks(field, QString::fromStdString(text));
    };
    AnswerNextPrompt("bob");
    click("UserNew");
    ASSERT_TRUE(
        RunLoopUntil([&] { return shell.Accounts().Users().Find("bob").has_value(); }, 20000));
    type("Password", "hunter2");
    type("EncryptionKey", kKey);
    type("UserHomeDirectory", env.served);
    AnswerFileDialog(env.served);
    click("UserAccessAdd");
    auto* access = Named<QTreeView>(users, QStringLiteral("UserAccess"));
    ASSERT_NE(access, nullptr);
    ASSERT_TRUE(ClickRow(access, 0));
    // The rights are check boxes ("UserDelete" also names the Delete button).
    for (const char* box : {"UserRead", "UserWrite", "UserCreate", "UserList", "UserDelete",
                            "UserRename", "UserInherit", "UserEnabled"}) {
        auto* check = Named<QCheckBox>(users, QString::fromLatin1(box));
        ASSERT_NE(check, nullptr);
        check->click();
    }
    click("UserSave");
    const auto bob = shell.Accounts().Users().Find("bob");
    ASSERT_TRUE(bob.has_value());
    EXPECT_EQ(bob->EncryptionKey.Get(), kKey);
    EXPECT_TRUE(bob->Enabled && bob->Access[0].Read && bob->Access[0].Write &&
                bob->Access[0].Create && bob->Access[0].List);

    // What the server offers, and the local folder.
    const std::string one = PatternBytes(300000, 11);
    const std::string big = PatternBytes(3 * 1024 * 1024 + 17, 12);
    WriteFile(env.served + "one.bin", one);
    WriteFile(env.served + "big.bin", big);
    MakeTree(env.served + "tree");
    const std::string local = env.root.File("local/");
    fs::create_directories(local);
    page.Local()->ShowFolder(QString::fromStdString(local));

    env.Entry({"&Server", "&Start Server"})->trigger();
    ASSERT_TRUE(shell.Server().Active());

    // An encrypted site in the site manager; its Connect connects.
    w.Commands().Tool(Command::SiteManager)->trigger();
    TSiteManager* sm = w.SiteManager();
    ASSERT_NE(sm, nullptr);
    AnswerNextPrompt("own server");
    sm->NewButton()->click();
    ASSERT_EQ(sm->NameBox()->text(), "own server");
    EXPECT_FALSE(sm->ConnectButton()->isEnabled());
    sm->HostBox()->setText("127.0.0.1");
    sm->PortBox()->setText(QString::number(env.Port()));
    sm->UserBox()->setText("bob");
    sm->PasswordBox()->setText("hunter2");
    sm->LoginType(3)->click();
    sm->KeyBox()->setText(QString::fromStdString(kKey));
    sm->Mandatory()->setChecked(true);
    sm->Passive()->setChecked(true);
    ASSERT_TRUE(sm->ConnectButton()->isEnabled());
    sm->ConnectButton()->click();

    ASSERT_TRUE(WaitForListing(shell, page));
    ASSERT_TRUE(RunLoopUntil([&] { return page.Indicator(0)->text() == "ON"; }, 30000));
    EXPECT_EQ(page.Indicator(1)->text(), "448 bit");
    EXPECT_EQ(page.Indicator(2)->text(), "Blowfish");
    EXPECT_EQ(page.Indicator(3)->text(), "ENABLED");
    EXPECT_EQ(shell.Client().ConnectedSite.Name, "own server");
    for (const char* name : {"one.bin", "big.bin", "tree"})
        EXPECT_GE(RowOf(page.RemoteList(), name), 0) << name;
    const std::string top = shell.Client().RemotePath();

    // A file and a folder tree dragged from the remote list onto the queue.
    ASSERT_EQ(SelectRows(page.RemoteList(), {"one.bin", "tree"}), 2);
    ASSERT_TRUE(DropOn(page.Queue(), page.RemoteDragData()));
    EXPECT_EQ(page.Queue()->model()->rowCount(), 2);
    EXPECT_EQ(page.Totals(0)->text(), "2");
    QAction* runQueue = w.Commands().Tool(Command::TransferQueue);
    ASSERT_TRUE(runQueue->isEnabled());
    runQueue->trigger();
    ASSERT_TRUE(WaitForQueue(shell));
    EXPECT_EQ(ReadFile(local + "one.bin"), one);
    EXPECT_EQ(TreeOf(local + "tree"), TreeOf(env.served + "tree"));

    // Back to the top on both sides: the remote path box and the local panel.
    QComboBox* paths = page.RemotePath();
    const int first = paths->findText(QString::fromStdString(top));
    ASSERT_GE(first, 0);
    paths->setCurrentIndex(first);
    emit paths->activated(first);
    ASSERT_TRUE(RunLoopUntil(
        [&] { return shell.Client().RemotePath() == top && shell.Client().Groups().RemoteUp; },
        20000));
    page.Local()->ShowFolder(QString::fromStdString(local));

    // A local file dragged onto the remote list is uploaded.
    const std::string up = PatternBytes(200001, 13);
    WriteFile(local + "up.bin", up);
    page.Local()->Refresh();
    ASSERT_EQ(SelectRows(page.Local()->ReportView(), {"up.bin"}), 1);
    ASSERT_TRUE(DropOn(page.RemoteList(), page.LocalDragData()));
    runQueue->trigger();
    ASSERT_TRUE(WaitForQueue(shell));
    EXPECT_EQ(ReadFile(env.served + "up.bin"), up);
    ASSERT_TRUE(RunLoopUntil([&] { return RowOf(page.RemoteList(), "up.bin") >= 0; }, 20000));

    // A partial local copy: the remote file dropped on the local panel, the
    // dialog left alone, its countdown takes Resume.
    WriteFile(local + "big.bin", big.substr(0, 700000));
    page.Local()->Refresh();
    shell.Queue().CountdownMs = 2000;
    ASSERT_EQ(SelectRows(page.RemoteList(), {"big.bin"}), 1);
    ASSERT_TRUE(DropOn(page.Local()->ReportView(), page.RemoteDragData()));
    runQueue->trigger();
    TConfirmationBox* box = nullptr;
    ASSERT_TRUE(RunLoopUntil([&] { return (box = dialogs.FileExistsBox()) != nullptr; }, 20000));
    EXPECT_EQ(box->Current(), FileExistsAnswer::Resume);
    EXPECT_EQ(box->Countdown()->text(), "Auto closing in 2 seconds");
    ASSERT_TRUE(WaitForQueue(shell));
    EXPECT_EQ(dialogs.FileExistsBox(), nullptr);
    EXPECT_EQ(ReadFile(local + "big.bin"), big);
    EXPECT_TRUE(log.contains("SEND -> REST 700000")) << log.join("\n").toStdString();

    // Disconnect: the page is cleared; the key pair leaves "READY".
    QAction* disconnect = w.Commands().Tool(Command::Disconnect);
    ASSERT_TRUE(disconnect->isEnabled());
    disconnect->trigger();
    ASSERT_TRUE(RunLoopUntil([&] { return !shell.Ftp().Connected(); }, 20000));
    ASSERT_TRUE(RunLoopUntil([&] { return page.RemoteList()->model()->rowCount() == 0; }));
    // Whichever comes last of the QUIT reply and the close, the key pair is ready.
    RunLoopFor(300);
    EXPECT_EQ(page.Indicator(0)->text(), "READY");
    EXPECT_TRUE(page.Indicator(1)->text().isEmpty());
    EXPECT_EQ(page.RemotePath()->count(), 0);
    EXPECT_FALSE(w.Commands().Tool(Command::Disconnect)->isEnabled());
    // The served files are as they were.
    EXPECT_EQ(ReadFile(env.served + "big.bin"), big);
    EXPECT_EQ(ReadFile(env.served + "one.bin"), one);
}
