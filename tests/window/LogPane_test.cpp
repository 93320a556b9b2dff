// The log panes: coloured lines through the shell's log, a burst that leaves
// the event loop free between batches, Copy and Select All on the focused pane.
#include "WindowEnv.h"

#include "window/LogPane.h"
#include "window/ServerPage.h"

#include <QClipboard>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

using testing_support::RunLoopUntil;
using testing_support::WindowEnv;

namespace {
int Lines(const LogPane* pane) {
    return pane->document()->isEmpty() ? 0 : pane->document()->blockCount();
}

QColor LineColour(LogPane* pane, int block) {
    const QTextBlock line = pane->document()->findBlockByNumber(block);
    EXPECT_TRUE(line.isValid());
    return line.begin().fragment().charFormat().foreground().color();
}
} // namespace

TEST(LogPane, LinesArriveInTheirColoursInTheirPane) {
    WindowEnv env;
    LogPane* server = env.window->Server()->Log();
    ASSERT_TRUE(RunLoopUntil([&] { return server->Pending() == 0; }));
    const int before = Lines(server);
    env.shell->Log().WriteLog(logServer, "a red line", colours::clRed);
    env.shell->Log().WriteLog(logServer, "a blue line", colours::clBlue);
    ASSERT_TRUE(RunLoopUntil([&] { return server->Pending() == 0; }));
    ASSERT_EQ(Lines(server), before + 2);
    EXPECT_EQ(server->document()->findBlockByNumber(before).text(), "a red line");
    EXPECT_EQ(LineColour(server, before), QColor(255, 0, 0));
    EXPECT_EQ(LineColour(server, before + 1), QColor(0, 0, 255));
    EXPECT_FALSE(server->toPlainText().contains("a red line\n\n"));
}

TEST(LogPane, ABurstOfTenThousandLinesLeavesTheLoopFree) {
    WindowEnv env;
    LogPane* server = env.window->Server()->Log();
    ASSERT_TRUE(RunLoopUntil([&] { return server->Pending() == 0; }));
    const int before = Lines(server);
    constexpr int kLines = 10000;
    int shownWhenTimerRan = -1;
    for (int i = 0; i < kLines; ++i) {
        env.shell->Log().WriteLog(logServer, "burst line " + std::to_string(i), colours::clPurple);
        if (i == kLines / 2)
            QTimer::singleShot(0, [&] { shownWhenTimerRan = Lines(server); });
    }
    ASSERT_TRUE(RunLoopUntil([&] { return server->Pending() == 0; }, 60000));
    EXPECT_EQ(Lines(server), before + kLines);
    ASSERT_GE(shownWhenTimerRan, 0);
    // The timer ran while most of the burst was still waiting for the pane.
    EXPECT_LT(shownWhenTimerRan, before + kLines);
    EXPECT_EQ(server->document()->lastBlock().text(), "burst line 9999");
    // The pane follows the newest line.
    QScrollBar* bar = server->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(LogPane, SelectAllAndCopyActOnTheFocusedPane) {
    WindowEnv env;
    TForm1& w = *env.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    LogPane* server = w.Server()->Log();
    env.shell->Log().WriteLog(logServer, "line to copy", colours::clGreen);
    ASSERT_TRUE(RunLoopUntil([&] { return server->Pending() == 0; }));
    env.Entry({"&Window", "Toggle Server Log Window"})->trigger();
    ASSERT_TRUE(server->hasFocus());
    // Ctrl+A, the main menu's shortcut, selects the whole focused pane.
    QTest::keyClick(server, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(server->textCursor().selectedText().size(), server->toPlainText().size());
    QApplication::clipboard()->clear();
    env.Entry({"&Edit", "&Copy"})->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().contains("line to copy"));
}
