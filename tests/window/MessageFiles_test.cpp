// The message-file buttons of the "Server Settings" tab: a new file is asked
// for, named in the option and edited, and its lines greet the next client.
#include "AdminDriver.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

using namespace testing_support;

namespace {
QDialog* OpenEditor() {
    QDialog* found = nullptr;
    RunLoopUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "MessageEditor" && w->isVisible())
                found = static_cast<QDialog*>(w);
        return found != nullptr;
    });
    return found;
}

QPushButton* EditorButton(QDialog* editor, const char* text) {
    for (QPushButton* button : editor->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    ADD_FAILURE() << text;
    return nullptr;
}
} // namespace

TEST(MessageFiles, CreateAsksForANewFileEditsItAndItsLinesGreetTheNextClient) {
    WindowEnv env;
    QWidget* tab = ShowSettingsTab(env, 1);
    auto* create = Named<QToolButton>(tab, QStringLiteral("ConnectMessageCreate"));
    ASSERT_TRUE(create->isEnabled());
    QString title;
    AnswerFileDialog(env.data + "welcome", &title);
    create->click();
    EXPECT_EQ(title, "Create New Connect Message");
    const std::string path = env.data + "welcome.txt";
    EXPECT_EQ(env.shell->Options().GetString(keys::ConnectMessage), path);
    EXPECT_EQ(Named<QLineEdit>(tab, QStringLiteral("ConnectMessage"))->text().toStdString(), path);
    EXPECT_EQ(ReadFile(path), "");

    QDialog* editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    editor->findChild<QPlainTextEdit*>()->setPlainText("Hello there\nSecond line");
    EditorButton(editor, "&Save")->click();
    EXPECT_EQ(ReadFile(path), "Hello there\nSecond line");
    ASSERT_TRUE(RunLoopUntil([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "MessageEditor")
                return false;
        return true;
    }));

    ASSERT_TRUE(env.StartServer());
    const auto lines = FtpCheck(env.Port(), ShellEnv::kUser, ShellEnv::kPass);
    EXPECT_TRUE(HasLine(lines, "WELCOME 220-Hello there"));
    EXPECT_TRUE(HasLine(lines, "WELCOME 220-Second line"));
    EXPECT_TRUE(HasLine(lines, "LOGIN OK"));

    // With a file named, the button edits it again without asking.
    create->click();
    editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->findChild<QPlainTextEdit*>()->toPlainText(), "Hello there\nSecond line");
    EditorButton(editor, "&Close")->click();
    EXPECT_EQ(ReadFile(path), "Hello there\nSecond line");
}
