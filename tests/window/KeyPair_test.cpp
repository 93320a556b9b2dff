// Generating a key pair from the settings page: the window keeps serving
// events while the worker runs, and the new pair is the one a client then
// negotiates with.
#include "WindowEnv.h"

#include "app/SettingsKeys.h"
#include "window/ClientPage.h"
#include "window/KeyPairControls.h"
#include "window/SettingsPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using testing_support::RunLoopUntil;
using testing_support::WindowEnv;

TEST(KeyPair, GenerationKeepsTheWindowServingAndTheNewPairNegotiates) {
    WindowEnv env;
    SettingsPage& page = *env.window->SettingsTab();
    KeyPairControls& keys = *page.Keys();
    auto* bits = page.findChild<QComboBox*>(QString::fromLatin1(keys::RSAKeyBits));
    auto* length = page.findChild<QComboBox*>(QString::fromLatin1(keys::SymKeyLength));
    ASSERT_TRUE(bits && length);
    EXPECT_EQ(bits->currentText(), "2048");
    EXPECT_EQ(length->currentText(), "256");
    bits->setCurrentIndex(1);
    emit bits->activated(1);
    length->setCurrentIndex(1);
    emit length->activated(1);
    EXPECT_EQ(env.shell->Options().GetString(keys::RSAKeyBits), "1024");
    EXPECT_EQ(env.shell->RSA1().KeyBits(), kb1024);

    // An idle listening server is stopped by the generation.
    env.Entry({"&Server", "&Start Server"})->trigger();
    ASSERT_TRUE(env.shell->Server().Active());

    int ticksWhileGenerating = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (env.shell->GeneratingKeyPair() && keys.GenerateButton()->text() == "Generating")
            ++ticksWhileGenerating;
    });
    ticker.start(0);
    keys.GenerateButton()->click();
    EXPECT_FALSE(env.shell->Server().Active());
    EXPECT_EQ(keys.GenerateButton()->text(), "Generating");
    EXPECT_FALSE(keys.GenerateButton()->isEnabled());
    ASSERT_TRUE(RunLoopUntil([&] { return !env.shell->GeneratingKeyPair(); }, 120000));
    ticker.stop();
    EXPECT_GT(ticksWhileGenerating, 0);
    EXPECT_EQ(keys.GenerateButton()->text(), "Generate New Keypair");
    EXPECT_TRUE(keys.GenerateButton()->isEnabled());
    EXPECT_TRUE(env.prompts.messages.empty());
    EXPECT_EQ(env.window->Client()->Indicator(3)->text(), "READY");

    const std::string publicKey = env.shell->Options().GetString(keys::PublicKey);
    ASSERT_FALSE(publicKey.empty());
    QList<QPlainTextEdit*> memos = page.findChildren<QPlainTextEdit*>();
    bool shown = false;
    for (QPlainTextEdit* memo : memos)
        shown |= memo->toPlainText().toStdString() == publicKey;
    EXPECT_TRUE(shown);
    QStringList current;
    for (QLineEdit* edit : keys.findChildren<QLineEdit*>())
        current << edit->text();
    EXPECT_TRUE(current.contains("128")) << current.join(",").toStdString();
    EXPECT_TRUE(current.contains("1024")) << current.join(",").toStdString();

    // A client negotiates with the new pair.
    ASSERT_TRUE(env.StartServer());
    EXPECT_EQ(env.shell->ConnectClient(), "");
    QLabel* indicator = env.window->Client()->Indicator(3);
    ASSERT_TRUE(RunLoopUntil([&] { return indicator->text() == "ENABLED"; }, 30000))
        << indicator->text().toStdString();
    env.shell->Client().Disconnect();
    ASSERT_TRUE(RunLoopUntil(
        [&] { return !env.shell->Ftp().Connected() && env.shell->Server().ClientCount() == 0; },
        30000));

    // Clearing with only an idle listening server stops it and empties the pair.
    keys.ClearButton()->click();
    EXPECT_FALSE(env.shell->Server().Active());
    EXPECT_TRUE(env.shell->Options().GetString(keys::PublicKey).empty());
    for (QPlainTextEdit* memo : page.findChildren<QPlainTextEdit*>())
        EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_EQ(indicator->text(), "DISABLED");
    EXPECT_TRUE(env.prompts.messages.empty());
}
