// The window's part of starting and minimising: the start-up lines in both
// panes, the help entry and window, the about box, the start-up window state
// and the minimised flag; a start refused by the data folder's lock explains
// itself in a dialog.
#include "WindowEnv.h"

#include "app/ProgramLaunch.h"
#include "app/SettingsKeys.h"
#include "support/Peers.h"
#include "support/TempDir.h"
#include "window/ClientPage.h"
#include "window/HelpWindow.h"
#include "window/LaunchRefusal.h"
#include "window/LogPane.h"
#include "window/ServerPage.h"
#include "window/WindowPrompts.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

using testing_support::RunLoopUntil;
using testing_support::TempDir;
using testing_support::WindowEnv;

namespace {
// Once the loop runs: the next modal message box's title and text, then OK.
void ReadAndCloseNextBox(QString& title, QString& text) {
    QTimer::singleShot(0, [&title, &text] {
        RunLoopUntil([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return false;
            title = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
            return true;
        });
    });
}
} // namespace

TEST(StartUp, PanesShowTheStartUpLinesAndTheHelpEntryFollowsTheFile) {
    TempDir root;
    ::setenv("XDG_DATA_HOME", root.File("xdg-data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", root.File("xdg-config").c_str(), 1);
    const std::string data = root.File("data/");
    ::mkdir(data.c_str(), 0700);
    testing_support::WriteFile(data + "vexa2.hlp",
                               "<html><body><h1>Vexa manual</h1></body></html>");
    testing_support::ScriptedPrompts prompts;
    AppShell shell(data, data + "vexa2.ini", data + "vexa2.hlp", &prompts);
    {
        TForm1 window(shell, prompts);
        shell.StartUp();
        window.show();
        window.StartUpSteps();
        for (LogPane* pane : {window.Client()->Log(), window.Server()->Log()}) {
            ASSERT_TRUE(RunLoopUntil([&] { return pane->Pending() == 0; }));
            const QTextBlock first = pane->document()->firstBlock();
            EXPECT_EQ(first.text(), "Application Initialization Begin - Vexa Version 2.0.6.323");
            EXPECT_EQ(first.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 0));
            EXPECT_TRUE(pane->toPlainText().contains(QString::fromStdString("PATH = " + data)));
            EXPECT_FALSE(pane->toPlainText().contains("Help File"));
        }
        QAction* contents = window.Commands().Menu(Command::Contents);
        ASSERT_TRUE(contents->isEnabled());
        contents->trigger();
        EXPECT_TRUE(window.Help()->isVisible());
        EXPECT_TRUE(window.Help()->Browser()->toPlainText().contains("Vexa manual"));
    }
    shell.Shutdown();
}

TEST(StartUp, AboutBoxShowsTheVersion) {
    WindowEnv env;
    QString title, text;
    ReadAndCloseNextBox(title, text);
    env.Entry({"&Help", "About Vexa"})->trigger();
    EXPECT_EQ(title, "About Vexa");
    EXPECT_EQ(text, "Vexa Version 2.0.6.323");
}

// What a second program on a data folder in use shows: the reason, in a
// dialog, as well as on standard error.
TEST(StartUp, ASecondProgramOnTheSameDataFolderExplainsItselfInADialog) {
    TempDir root;
    ::setenv("XDG_DATA_HOME", root.File("xdg-data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", root.File("xdg-config").c_str(), 1);
    const std::vector<std::string> args = {"--data-dir", root.File("data/")};
    ProgramLaunch first = PrepareLaunch(args, {}, root.File("bin/"));
    ASSERT_EQ(first.error, "");
    ProgramLaunch second = PrepareLaunch(args, {}, root.File("bin/"));
    ASSERT_NE(second.error.find("is in use by another Vexa program"), std::string::npos)
        << second.error;
    WindowPrompts prompts;
    QString title, text;
    ReadAndCloseNextBox(title, text);
    ShowLaunchRefusal(second.error, prompts);
    EXPECT_EQ(title, "Vexa Cannot Start");
    EXPECT_EQ(text.toStdString(), second.error);
}

TEST(StartUp, BothStartStatesStoredEndMinimised) {
    WindowEnv env;
    Settings& options = env.shell->Options();
    options.SetBool(keys::StartMaximized, true);
    options.SetBool(keys::StartMinimized, true);
    env.window->StartUpSteps();
    EXPECT_TRUE(env.window->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(env.window->windowState() & Qt::WindowMaximized);
}

TEST(StartUp, MinimisingSetsTheFlagAndRestoringClearsIt) {
    WindowEnv env;
    env.shell->Options().SetBool(keys::MinimizeToTray, true);
    env.window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(env.window->MinimisedToTray());
    // Without a system tray (offscreen) minimising is plain.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        EXPECT_EQ(env.window->Tray(), nullptr);
    }
    env.window->RestoreFromTray();
    EXPECT_FALSE(env.window->MinimisedToTray());
    EXPECT_FALSE(env.window->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(env.window->isVisible());
}
