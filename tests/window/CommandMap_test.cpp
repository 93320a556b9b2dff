// The main window's structure as a user meets it: title, size, pages, tabs,
// every menu entry with its shortcut and state, every toolbar hint in order.
#include "WindowEnv.h"

#include "app/SettingsKeys.h"
#include "window/ClientPage.h"
#include "window/LocalPanel.h"
#include "window/ServerPage.h"
#include "window/SettingsPage.h"

#include "window/LogPane.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

using testing_support::WindowEnv;

namespace {
struct Expected {
    QStringList path;
    const char* shortcut;
    bool enabled;
    int checked = -1; // -1: not checkable
};

// The initial states of the command table; the main menu's Site Manager
// entry starts disabled while its toolbar button is enabled.
const std::vector<Expected> kMenu = {
    {{"&File", "&Site Manager"}, "F4", false},
    {{"&File", "&Quick Connect"}, "Ctrl+F4", false},
    {{"&File", "&Reconnect"}, "Ctrl+R", false},
    {{"&File", "&Disconnect"}, "Ctrl+D", false},
    {{"&File", "&Check for Update"}, "Ctrl+U", true},
    {{"&File", "E&xit"}, "Alt+F4", true},
    {{"&Edit", "&Copy"}, "Ctrl+C", false},
    {{"&Edit", "Group s&elect"}, "", false},
    {{"&Edit", "Group &deselect"}, "", false},
    {{"&Edit", "&Invert selection"}, "", false},
    {{"&Edit", "Fi&lter"}, "Ctrl+L", false},
    {{"&Edit", "&Find"}, "Ctrl+F", false},
    {{"&Edit", "Find &next"}, "F3", false},
    {{"&Edit", "Select &All"}, "Ctrl+A", true},
    {{"&Edit", "&Settings"}, "", true},
    {{"&View", "Short Listing"}, "Ctrl+G", true},
    {{"&View", "Long Listing"}, "Ctrl+H", true},
    {{"&View", "Sorting", "By name"}, "", false},
    {{"&View", "Sorting", "By type"}, "", false},
    {{"&View", "Sorting", "By size"}, "", false},
    {{"&View", "Sorting", "By date"}, "", false},
    {{"&View", "Sorting", "Ascending"}, "", false, 1},
    {{"&View", "Sorting", "Descending"}, "", false, 0},
    {{"&View", "Index Files", "Retrieve Index"}, "", false},
    {{"&View", "Index Files", "View Index"}, "", false},
    {{"&View", "Refresh"}, "F5", true},
    {{"&View", "Toolbar"}, "", true, 1},
    {{"&Commands", "&File Actions", "Get &link as file"}, "", false},
    {{"&Commands", "&File Actions", "D&elete"}, "Ctrl+D", true},
    {{"&Commands", "&File Actions", "Re&name..."}, "F2", false},
    {{"&Commands", "&Directory", "Change Directory..."}, "", true},
    {{"&Commands", "&Directory", "Make New Directory..."}, "", true},
    {{"&Transfer", "&Upload"}, "", false},
    {{"&Transfer", "&Download"}, "", false},
    {{"&Transfer", "&Transfer Queue"}, "", false},
    {{"&Transfer", "Manual get..."}, "", false},
    {{"&Transfer", "Queue", "Add to Queue"}, "", false},
    {{"&Transfer", "Queue", "Remove from Queue"}, "", false},
    {{"&Transfer", "Queue", "Remove All Items"}, "", false},
    {{"&Transfer", "Queue", "&Edit Queue Entry"}, "", false},
    {{"&Transfer", "Queue", "Move", "Move to Top"}, "", false},
    {{"&Transfer", "Queue", "Move", "Move to bottom"}, "", false},
    {{"&Transfer", "Queue", "Move", "Move Up"}, "", false},
    {{"&Transfer", "Queue", "Move", "Move Down"}, "", false},
    {{"&Transfer", "Queue", "Load Queue"}, "", false},
    {{"&Transfer", "Queue", "Save Queue"}, "", false},
    {{"&Transfer", "Stop"}, "F9", false},
    {{"&Server", "&Start Server"}, "F11", true},
    {{"&Server", "S&top Server"}, "F12", false},
    {{"&Server", "Kick All Users"}, "Ctrl+Del", false},
    {{"&Window", "Toggle &Client View"}, "", true},
    {{"&Window", "Toggle &Server View"}, "", true},
    {{"&Window", "Toggle Local"}, "", true},
    {{"&Window", "Toggle Remote"}, "", true},
    {{"&Window", "Toggle Queue"}, "", true},
    {{"&Window", "Toggle Client Log Window"}, "", true},
    {{"&Window", "Toggle Server Log Window"}, "", true},
    {{"&Help", "About Vexa"}, "Ctrl+F1", true},
};

// Toolbar hints in order; "|" marks a separator.
const std::vector<std::pair<const char*, bool>> kToolbar = {
    {"Site Manager", true},
    {"Quick Connect", false},
    {"Disconnect", false},
    {"Reconnect", false},
    {"|", false},
    {"MP3/File Search", false},
    {"|", false},
    {"Download", false},
    {"Upload", false},
    {"Transfer Queue", false},
    {"Stop", false},
    {"Refresh", false},
    {"|", false},
    {"Long Directory Listing", true},
    {"Short Directory Listing", true},
    {"|", false},
    {"Edit", false},
    {"Rename Files", false},
    {"Delete Files", false},
    {"Make New Directory", false},
    {"Execute", false},
};

QStringList TabTexts(const QTabWidget* tabs) {
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}
} // namespace

TEST(CommandMap, EveryMenuEntryHasItsTextShortcutAndInitialState) {
    WindowEnv env;
    for (const Expected& e : kMenu) {
        SCOPED_TRACE(e.path.join(" > ").toStdString());
        QAction* action = env.Entry(e.path);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut().toString().toStdString(), e.shortcut);
        EXPECT_EQ(action->isEnabled(), e.enabled);
        EXPECT_EQ(action->isCheckable(), e.checked >= 0);
        if (e.checked >= 0) {
            EXPECT_EQ(action->isChecked(), e.checked == 1);
        }
    }
    // The help entry is there exactly when the help file is.
    QAction* contents = env.Entry({"&Help", "Contents"});
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(contents->shortcut().toString(), "F1");
    EXPECT_EQ(contents->isEnabled(), env.shell->HelpFileFound());
    EXPECT_FALSE(env.shell->HelpFileFound());
}

TEST(CommandMap, ToolbarHintsInOrderWithTheirStates) {
    WindowEnv env;
    const QList<QAction*> actions = env.window->Toolbar()->actions();
    ASSERT_EQ(actions.size(), static_cast<int>(kToolbar.size()));
    for (int i = 0; i < actions.size(); ++i) {
        const auto& [hint, enabled] = kToolbar[i];
        SCOPED_TRACE(hint);
        if (std::string(hint) == "|") {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(actions[i]->toolTip().toStdString(), hint);
        EXPECT_EQ(actions[i]->isEnabled(), enabled);
        EXPECT_FALSE(actions[i]->icon().isNull());
    }
}

TEST(CommandMap, WindowPagesTabsAndStatusBars) {
    WindowEnv env;
    TForm1& w = *env.window;
    EXPECT_EQ(w.windowTitle(), "Vexa Version 2.0.6.323");
    EXPECT_EQ(w.size(), QSize(770, 564));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(TabTexts(w.Pages()),
              QStringList({"Client Session", "Server Session", "Settings / Server Admin"}));
    EXPECT_EQ(TabTexts(w.SettingsTab()->Tabs()),
              QStringList({"Client Settings", "Server Settings", "Global Settings", "User Admin",
                           "Group Admin", "Server Protection"}));
    EXPECT_EQ(w.Server()->Status()->text(), "OFFLINE - 0 connections");
    EXPECT_EQ(w.SettingsTab()->SettingsFile()->text().toStdString(), env.data + "vexa2.ini");
    EXPECT_EQ(w.Client()->Indicator(3)->text(), "DISABLED");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(w.Client()->Indicator(i)->text(), "");
    // The labels beside the value panels.
    QStringList labels;
    for (QLabel* label : w.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"Settings File", "Server Status", "Encryption", "Strength",
                             "Algorythm", "Command Port Encryption"})
        EXPECT_TRUE(labels.contains(text)) << text;
}

TEST(CommandMap, PageAndFocusCommands) {
    WindowEnv env;
    TForm1& w = *env.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    struct Case {
        QStringList entry;
        QWidget* page;
        QWidget* focus;
    };
    const Case cases[] = {
        {{"&Window", "Toggle &Server View"}, w.Server(), nullptr},
        {{"&Window", "Toggle &Client View"}, w.Client(), nullptr},
        {{"&Window", "Toggle Remote"}, w.Client(), w.Client()->RemoteList()},
        {{"&Window", "Toggle Queue"}, w.Client(), w.Client()->Queue()},
        {{"&Window", "Toggle Client Log Window"}, w.Client(), w.Client()->Log()},
        {{"&Window", "Toggle Local"}, w.Client(), w.Client()->LocalList()},
        {{"&Window", "Toggle Server Log Window"}, w.Server(), w.Server()->Log()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.join(" > ").toStdString());
        env.Entry(c.entry)->trigger();
        EXPECT_EQ(w.Pages()->currentWidget(), c.page);
        if (c.focus != nullptr) {
            EXPECT_TRUE(c.focus->hasFocus());
        }
    }
    // A log pane with the focus enables Copy; elsewhere it is disabled.
    EXPECT_TRUE(env.Entry({"&Edit", "&Copy"})->isEnabled());
    env.Entry({"&Window", "Toggle Remote"})->trigger();
    EXPECT_FALSE(env.Entry({"&Edit", "&Copy"})->isEnabled());

    w.SettingsTab()->Tabs()->setCurrentIndex(3);
    env.Entry({"&Edit", "&Settings"})->trigger();
    EXPECT_EQ(w.Pages()->currentWidget(), w.SettingsTab());
    EXPECT_EQ(w.SettingsTab()->Tabs()->currentIndex(), 0);
}

TEST(CommandMap, ToolbarToggledTwiceIsBackWithItsCheckMark) {
    WindowEnv env;
    QAction* entry = env.Entry({"&View", "Toolbar"});
    entry->trigger();
    EXPECT_TRUE(env.window->Toolbar()->isHidden());
    EXPECT_FALSE(entry->isChecked());
    entry->trigger();
    EXPECT_FALSE(env.window->Toolbar()->isHidden());
    EXPECT_TRUE(entry->isChecked());
}

TEST(CommandMap, LongThenShortListingLeavesTheLocalPanelInListView) {
    WindowEnv env;
    ClientPage& page = *env.window->Client();
    env.Entry({"&View", "Long Listing"})->trigger();
    EXPECT_EQ(page.LocalViewStyle(), ClientPage::ViewStyle::Report);
    env.Entry({"&View", "Short Listing"})->trigger();
    EXPECT_EQ(page.LocalViewStyle(), ClientPage::ViewStyle::List);
    // The toolbar buttons do the same; the remote list keeps its columns.
    env.window->Commands().Tool(Command::LongListing)->trigger();
    EXPECT_EQ(page.LocalViewStyle(), ClientPage::ViewStyle::Report);
    QAbstractItemModel* remote = page.RemoteList()->model();
    ASSERT_EQ(remote->columnCount(), 3);
    EXPECT_EQ(remote->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(remote->headerData(1, Qt::Horizontal).toString(), "Size");
    EXPECT_EQ(remote->headerData(2, Qt::Horizontal).toString(), "Modified");
}

TEST(CommandMap, PopupMenusOfTheClientPage) {
    WindowEnv env;
    struct Case {
        Popup popup;
        std::vector<Expected> entries;
    };
    const Case cases[] = {
        {Popup::RemoteList,
         {{{"Make New Directory..."}, "", true},
          {{"Change Directory..."}, "", true},
          {{"Group s&elect"}, "", false},
          {{"Group &deselect"}, "", false},
          {{"&Invert selection"}, "", false},
          {{"Select &All"}, "Ctrl+A", true}}},
        {Popup::LocalPanel,
         {{{"Change Directory..."}, "", true},
          {{"Make New Directory..."}, "", true},
          {{"Select &All"}, "Ctrl+A", true}}},
        {Popup::Queue,
         {{{"&Transfer Queue"}, "", false},
          {{"Remove from Queue"}, "", true},
          {{"Remove All Items"}, "", true},
          {{"Move", "Move to Top"}, "", false},
          {{"Move", "Move to bottom"}, "", false},
          {{"Move", "Move Up"}, "", false},
          {{"Move", "Move Down"}, "", false},
          {{"Load Queue"}, "", false},
          {{"Save Queue"}, "", false}}},
    };
    for (const Case& c : cases) {
        QMenu* popup = env.window->PopupMenu(c.popup);
        ASSERT_NE(popup, nullptr);
        int entries = 0;
        for (QAction* action : popup->actions())
            entries += action->isSeparator() ? 0
                       : action->menu()      ? action->menu()->actions().size()
                                             : 1;
        EXPECT_EQ(entries, static_cast<int>(c.entries.size()));
        for (const Expected& e : c.entries) {
            SCOPED_TRACE(e.path.join(" > ").toStdString());
            QList<QAction*> actions = popup->actions();
            QAction* found = nullptr;
            for (const QString& text : e.path) {
                found = nullptr;
                for (QAction* action : actions)
                    if (action->text() == text)
                        found = action;
                ASSERT_NE(found, nullptr);
                if (found->menu() != nullptr)
                    actions = found->menu()->actions();
            }
            EXPECT_EQ(found->shortcut().toString().toStdString(), e.shortcut);
            EXPECT_EQ(found->isEnabled(), e.enabled);
        }
    }
}

// Ctrl+U edits whichever text field has the focus (deleting back to the line
// start) and checks for an update anywhere else.
TEST(CommandMap, CtrlUEditsAFocusedTextFieldAndChecksForUpdatesElsewhere) {
    WindowEnv env;
    // A check that does start fails at once on a closed local port.
    env.shell->Options().SetString(keys::UpdateHost, "127.0.0.1:1");
    TForm1& w = *env.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QAction* check = env.Entry({"&File", "&Check for Update"});
    ASSERT_NE(check, nullptr);
    QSignalSpy checks(check, &QAction::triggered);

    auto* socks = w.SettingsTab()->findChild<QLineEdit*>(QString::fromLatin1(keys::SocksServer));
    ASSERT_NE(socks, nullptr);
    struct Field {
        const char* what;
        QWidget* page;
        QWidget* focus;
        QLineEdit* editor;
    };
    const Field fields[] = {
        {"line edit", w.SettingsTab(), socks, socks},
        {"remote path box", w.Client(), w.Client()->RemotePath(),
         w.Client()->RemotePath()->lineEdit()},
        {"local path box", w.Client(), w.Client()->Local()->PathBox(),
         w.Client()->Local()->PathBox()->lineEdit()},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.what);
        ASSERT_NE(f.editor, nullptr);
        w.Pages()->setCurrentWidget(f.page);
        f.focus->setFocus();
        f.editor->setText(QStringLiteral("/srv/ftp/pub"));
        f.editor->setCursorPosition(8);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::ControlModifier);
        EXPECT_EQ(f.editor->text(), QStringLiteral("/pub"));
        EXPECT_EQ(checks.count(), 0);
        // Undo brings the text back, as for any other edit.
        f.editor->undo();
        EXPECT_EQ(f.editor->text(), QStringLiteral("/srv/ftp/pub"));
    }

    // The remote list holds no text to edit: the shortcut runs the check.
    w.Pages()->setCurrentWidget(w.Client());
    w.Client()->RemoteList()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(checks.count(), 1);
}
