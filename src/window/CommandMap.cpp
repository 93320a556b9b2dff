#include "window/CommandMap.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {
using C = Command;
using SP = QStyle::StandardPixmap;

const std::vector<MenuEntry> kMenu = {
    {"&File", "&Site Manager", "F4", false, C::SiteManager},
    {"&File", "&Quick Connect", "Ctrl+F4", false, C::QuickConnect},
    {"&File", "&Reconnect", "Ctrl+R", false, C::None},
    {"&File", "&Disconnect", "Ctrl+D", false, C::None},
    {"&File", nullptr, nullptr, true, C::None},
    {"&File", "&Check for Update", "Ctrl+U", true, C::CheckForUpdate},
    {"&File", nullptr, nullptr, true, C::None},
    {"&File", "E&xit", "Alt+F4", true, C::Exit},
    {"&Edit", "&Copy", "Ctrl+C", false, C::Copy},
    {"&Edit", nullptr, nullptr, true, C::None},
    {"&Edit", "Group s&elect", nullptr, false, C::None},
    {"&Edit", "Group &deselect", nullptr, false, C::None},
    {"&Edit", "&Invert selection", nullptr, false, C::None},
    {"&Edit", "Fi&lter", "Ctrl+L", false, C::None},
    {"&Edit", "&Find", "Ctrl+F", false, C::None},
    {"&Edit", "Find &next", "F3", false, C::None},
    {"&Edit", "Select &All", "Ctrl+A", true, C::SelectAll},
    {"&Edit", nullptr, nullptr, true, C::None},
    {"&Edit", "&Settings", nullptr, true, C::Settings},
    {"&View", "Short Listing", "Ctrl+G", true, C::ShortListing},
    {"&View", "Long Listing", "Ctrl+H", true, C::LongListing},
    {"&View", nullptr, nullptr, true, C::None},
    {"&View/Sorting", "By name", nullptr, false, C::None},
    {"&View/Sorting", "By type", nullptr, false, C::None},
    {"&View/Sorting", "By size", nullptr, false, C::None},
    {"&View/Sorting", "By date", nullptr, false, C::None},
    {"&View/Sorting", nullptr, nullptr, true, C::None},
    {"&View/Sorting", "Ascending", nullptr, false, C::None, true, true},
    {"&View/Sorting", "Descending", nullptr, false, C::None, true, false},
    {"&View/Index Files", "Retrieve Index", nullptr, false, C::None},
    {"&View/Index Files", "View Index", nullptr, false, C::None},
    {"&View", "Refresh", "F5", true, C::Refresh},
    {"&View", nullptr, nullptr, true, C::None},
    {"&View", "Toolbar", nullptr, true, C::Toolbar, true, true},
    {"&Commands/&File Actions", "Get &link as file", nullptr, false, C::None},
    {"&Commands/&File Actions", "D&elete", "Ctrl+D", true, C::Delete},
    {"&Commands/&File Actions", "Re&name...", "F2", false, C::None},
    {"&Commands/&Directory", "Change Directory...", nullptr, true, C::ChangeDirectory},
    {"&Commands/&Directory", "Make New Directory...", nullptr, true, C::MakeDirectory},
    {"&Transfer", "&Upload", nullptr, false, C::Upload},
    {"&Transfer", "&Download", nullptr, false, C::Download},
    {"&Transfer", "&Transfer Queue", nullptr, false, C::TransferQueue},
    {"&Transfer", nullptr, nullptr, true, C::None},
    {"&Transfer", "Manual get...", nullptr, false, C::None},
    {"&Transfer/Queue", "Add to Queue", nullptr, false, C::None},
    {"&Transfer/Queue", "Remove from Queue", nullptr, false, C::RemoveFromQueue},
    {"&Transfer/Queue", "Remove All Items", nullptr, false, C::RemoveAllItems},
    {"&Transfer/Queue", "&Edit Queue Entry", nullptr, false, C::None},
    {"&Transfer/Queue/Move", "Move to Top", nullptr, false, C::None},
    {"&Transfer/Queue/Move", "Move to bottom", nullptr, false, C::None},
    {"&Transfer/Queue/Move", "Move Up", nullptr, false, C::None},
    {"&Transfer/Queue/Move", "Move Down", nullptr, false, C::None},
    {"&Transfer/Queue", "Load Queue", nullptr, false, C::None},
    {"&Transfer/Queue", "Save Queue", nullptr, false, C::None},
    {"&Transfer", nullptr, nullptr, true, C::None},
    {"&Transfer", "Stop", "F9", false, C::Stop},
    {"&Server", "&Start Server", "F11", true, C::StartServer},
    {"&Server", "S&top Server", "F12", false, C::StopServer},
    {"&Server", nullptr, nullptr, true, C::None},
    {"&Server", "Kick All Users", "Ctrl+Del", false, C::KickAllUsers},
    {"&Window", "Toggle &Client View", nullptr, true, C::ToggleClientView},
    {"&Window", "Toggle &Server View", nullptr, true, C::ToggleServerView},
    {"&Window", nullptr, nullptr, true, C::None},
    {"&Window", "Toggle Local", nullptr, true, C::ToggleLocal},
    {"&Window", "Toggle Remote", nullptr, true, C::ToggleRemote},
    {"&Window", "Toggle Queue", nullptr, true, C::ToggleQueue},
    {"&Window", "Toggle Client Log Window", nullptr, true, C::ToggleClientLog},
    {"&Window", "Toggle Server Log Window", nullptr, true, C::ToggleServerLog},
    {"&Help", "Contents", "F1", true, C::Contents},
    {"&Help", nullptr, nullptr, true, C::None},
    {"&Help", "About Vexa", "Ctrl+F1", true, C::About},
};

const std::vector<MenuEntry> kRemotePopup = {
    {"", "Make New Directory...", nullptr, true, C::MakeDirectory},
    {"", "Change Directory...", nullptr, true, C::ChangeDirectory},
    {"", nullptr, nullptr, true, C::None},
    {"", "Group s&elect", nullptr, false, C::None},
    {"", "Group &deselect", nullptr, false, C::None},
    {"", "&Invert selection", nullptr, false, C::None},
    {"", "Select &All", "Ctrl+A", true, C::SelectAll},
};

const std::vector<MenuEntry> kLocalPopup = {
    {"", "Change Directory...", nullptr, true, C::None},
    {"", "Make New Directory...", nullptr, true, C::MakeDirectory},
    {"", "Select &All", "Ctrl+A", true, C::SelectAll},
};

const std::vector<MenuEntry> kQueuePopup = {
    {"", "&Transfer Queue", nullptr, false, C::TransferQueue},
    {"", nullptr, nullptr, true, C::None},
    {"", "Remove from Queue", nullptr, true, C::RemoveFromQueue},
    {"", "Remove All Items", nullptr, true, C::RemoveAllItems},
    {"Move", "Move to Top", nullptr, false, C::None},
    {"Move", "Move to bottom", nullptr, false, C::None},
    {"Move", "Move Up", nullptr, false, C::None},
    {"Move", "Move Down", nullptr, false, C::None},
    {"", nullptr, nullptr, true, C::None},
    {"", "Load Queue", nullptr, false, C::None},
    {"", "Save Queue", nullptr, false, C::None},
};

const std::vector<ToolEntry> kTools = {
    {"Site Manager", true, C::SiteManager, SP::SP_DirHomeIcon},
    {"Quick Connect", false, C::QuickConnect, SP::SP_DriveNetIcon},
    {"Disconnect", false, C::Disconnect, SP::SP_MessageBoxCritical},
    {"Reconnect", false, C::Reconnect, SP::SP_BrowserReload},
    {nullptr, true, C::None, SP::SP_CustomBase},
    {"MP3/File Search", false, C::None, SP::SP_FileDialogContentsView},
    {nullptr, true, C::None, SP::SP_CustomBase},
    {"Download", false, C::None, SP::SP_ArrowDown},
    {"Upload", false, C::None, SP::SP_ArrowUp},
    {"Transfer Queue", false, C::TransferQueue, SP::SP_MediaPlay},
    {"Stop", false, C::Stop, SP::SP_BrowserStop},
    {"Refresh", false, C::None, SP::SP_BrowserReload},
    {nullptr, true, C::None, SP::SP_CustomBase},
    {"Long Directory Listing", true, C::LongListing, SP::SP_FileDialogDetailedView},
    {"Short Directory Listing", true, C::ShortListing, SP::SP_FileDialogListView},
    {nullptr, true, C::None, SP::SP_CustomBase},
    {"Edit", false, C::None, SP::SP_FileIcon},
    {"Rename Files", false, C::None, SP::SP_FileLinkIcon},
    {"Delete Files", false, C::None, SP::SP_TrashIcon},
    {"Make New Directory", false, C::None, SP::SP_FileDialogNewFolder},
    {"Execute", false, C::None, SP::SP_CommandLink},
};
} // namespace

const std::vector<MenuEntry>& MainMenuEntries() {
    return kMenu;
}

const std::vector<MenuEntry>& PopupEntries(Popup popup) {
    switch (popup) {
    case Popup::RemoteList:
        return kRemotePopup;
    case Popup::LocalPanel:
        return kLocalPopup;
    case Popup::Queue:
        break;
    }
    return kQueuePopup;
}

const std::vector<ToolEntry>& ToolbarEntries() {
    return kTools;
}

CommandMap::CommandMap(QMainWindow& window, QToolBar& toolbar) : QObject(&window) {
    for (const MenuEntry& entry : kMenu) {
        QAction* action = AddEntry(*MenuFor(window, QString::fromLatin1(entry.menu)), entry);
        if (action != nullptr && entry.command != Command::None)
            menuActions_[entry.command] = action;
    }
    QStyle* style = QApplication::style();
    for (const ToolEntry& entry : kTools) {
        if (entry.hint == nullptr) {
            toolbar.addSeparator();
            continue;
        }
        QAction* action = toolbar.addAction(style->standardIcon(entry.icon), QString());
        action->setToolTip(QString::fromLatin1(entry.hint));
        action->setEnabled(entry.enabled);
        if (entry.command == Command::None)
            continue;
        toolActions_[entry.command] = action;
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { emit triggered(command); });
    }
}

QAction* CommandMap::AddEntry(QMenu& menu, const MenuEntry& entry) {
    if (entry.text == nullptr) {
        menu.addSeparator();
        return nullptr;
    }
    QAction* action = menu.addAction(QString::fromLatin1(entry.text));
    if (entry.shortcut != nullptr)
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
    action->setEnabled(entry.enabled);
    action->setCheckable(entry.checkable);
    action->setChecked(entry.checked);
    if (entry.command != Command::None) {
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { emit triggered(command); });
    }
    return action;
}

QMenu* CommandMap::AttachPopup(Popup popup, QWidget& widget, std::function<void()> opening) {
    auto* menu = new QMenu(&widget);
    std::map<QString, QMenu*> submenus;
    for (const MenuEntry& entry : PopupEntries(popup)) {
        const QString path = QString::fromLatin1(entry.menu);
        QMenu* target = menu;
        if (!path.isEmpty()) {
            QMenu*& sub = submenus[path];
            if (sub == nullptr)
                sub = menu->addMenu(path);
            target = sub;
        }
        QAction* action = AddEntry(*target, entry);
        if (action == nullptr)
            continue;
        // The main menu holds the window-wide shortcut; this one acts only
        // inside the open pop-up.
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        if (entry.command != Command::None) {
            popupActions_.emplace(entry.command, action);
            if (awaiting_.count(entry.command) != 0)
                action->setEnabled(false);
        }
    }
    widget.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&widget, &QWidget::customContextMenuRequested, menu,
            [menu, &widget, opening = std::move(opening)](const QPoint& at) {
                if (opening)
                    opening();
                menu->popup(widget.mapToGlobal(at));
            });
    return menu;
}

QMenu* CommandMap::MenuFor(QMainWindow& window, const QString& path) {
    auto found = menus_.find(path);
    if (found != menus_.end())
        return found->second;
    const int cut = path.lastIndexOf('/');
    QMenu* menu = cut < 0 ? window.menuBar()->addMenu(path)
                          : MenuFor(window, path.left(cut))->addMenu(path.mid(cut + 1));
    menus_[path] = menu;
    return menu;
}

QAction* CommandMap::Menu(Command command) const {
    auto found = menuActions_.find(command);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* CommandMap::Tool(Command command) const {
    auto found = toolActions_.find(command);
    return found == toolActions_.end() ? nullptr : found->second;
}

void CommandMap::Await(Command command) {
    awaiting_.insert(command);
    SetEnabled(command, false);
}

void CommandMap::SetEnabled(Command command, bool enabled) {
    enabled = enabled && awaiting_.count(command) == 0;
    if (QAction* action = Menu(command))
        action->setEnabled(enabled);
    if (QAction* action = Tool(command))
        action->setEnabled(enabled);
    auto [first, last] = popupActions_.equal_range(command);
    for (auto it = first; it != last; ++it)
        it->second->setEnabled(enabled);
}
