#pragma once
#include <QObject>
#include <QStyle>

#include <functional>
#include <map>
#include <set>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// Every command of the main window that something carries out. Entries of
// the menus that exist only as disabled placeholders have Command::None.
enum class Command {
    None,
    SiteManager,
    QuickConnect,
    Reconnect,
    Disconnect,
    CheckForUpdate,
    Exit,
    Copy,
    SelectAll,
    Settings,
    ShortListing,
    LongListing,
    Refresh,
    Toolbar,
    Delete,
    ChangeDirectory,
    MakeDirectory,
    Upload,
    Download,
    TransferQueue,
    RemoveFromQueue,
    RemoveAllItems,
    Stop,
    StartServer,
    StopServer,
    KickAllUsers,
    ToggleClientView,
    ToggleServerView,
    ToggleLocal,
    ToggleRemote,
    ToggleQueue,
    ToggleClientLog,
    ToggleServerLog,
    Contents,
    About,
};

// One entry of the main menu. menu is the path of its menu ("&View/Sorting");
// a null text is a separator.
struct MenuEntry {
    const char* menu;
    const char* text;
    const char* shortcut;
    bool enabled;
    Command command;
    bool checkable = false;
    bool checked = false;
};

// One toolbar button; a null hint is a separator.
struct ToolEntry {
    const char* hint;
    bool enabled;
    Command command;
    QStyle::StandardPixmap icon;
};

// The pop-up menus of the client page.
enum class Popup { RemoteList, LocalPanel, Queue };

const std::vector<MenuEntry>& MainMenuEntries();
// The entries of a pop-up menu; their menu path is relative to the pop-up.
const std::vector<MenuEntry>& PopupEntries(Popup popup);
const std::vector<ToolEntry>& ToolbarEntries();

// The main menu and the toolbar built from the tables, with the actions of
// each command reachable by its name. A command may have a menu entry and a
// toolbar button; both run the same handler.
class CommandMap : public QObject {
    Q_OBJECT
public:
    CommandMap(QMainWindow& window, QToolBar& toolbar);

    // The menu entry of a command (nullptr when it has none).
    QAction* Menu(Command command) const;
    // The toolbar button of a command (nullptr when it has none).
    QAction* Tool(Command command) const;
    // Enables or disables the menu entry and the toolbar button together.
    void SetEnabled(Command command, bool enabled);
    // A command whose handler is not part of the window yet: it stays
    // visibly disabled whatever SetEnabled is told.
    void Await(Command command);
    // Gives the widget its pop-up menu (opened on a right click). The
    // entries' shortcuts are shown and act only while the menu is open.
    // opening runs before the menu shows, so that its commands act on the
    // widget it was opened over.
    QMenu* AttachPopup(Popup popup, QWidget& widget, std::function<void()> opening = {});

signals:
    void triggered(Command command);

private:
    QMenu* MenuFor(QMainWindow& window, const QString& path);
    QAction* AddEntry(QMenu& menu, const MenuEntry& entry);

    std::map<QString, QMenu*> menus_;
    std::map<Command, QAction*> menuActions_;
    std::map<Command, QAction*> toolActions_;
    std::multimap<Command, QAction*> popupActions_;
    std::set<Command> awaiting_;
};
