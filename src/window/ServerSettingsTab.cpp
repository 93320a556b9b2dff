#include "accounts/AccountTexts.h"
#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/SettingsKeys.h"
#include "window/MessageFileRow.h"
#include "window/PathRow.h"
#include "window/SettingBinder.h"
#include "window/SettingsDialogs.h"
#include "window/SettingsTabs.h"
#include "window/WindowTexts.h"

#include "window/RangeSpinBox.h"
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

// One of the three server lists: its rows, and the buttons beside them.
class ListBox : public QGroupBox {
public:
    static constexpr int kFolderColumnWidth = 200;
    static constexpr int kNameColumnWidth = 100;

    using Rows = std::function<std::vector<QStringList>()>;

    ListBox(const char* title, QStringList columns, Rows rows, QWidget* parent)
        : QGroupBox(L(title), parent), rows_(std::move(rows)) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(6, 2, 6, 4);
        tree_ = new QTreeWidget(this);
        tree_->setHeaderLabels(columns);
        tree_->setRootIsDecorated(false);
        tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
        if (columns.size() == 1) {
            // The address list: one column as wide as the list, no header.
            tree_->setHeaderHidden(true);
            tree_->header()->setStretchLastSection(true);
        } else {
            tree_->header()->setStretchLastSection(false);
            tree_->setColumnWidth(0, kFolderColumnWidth);
            tree_->setColumnWidth(1, kNameColumnWidth);
        }
        layout->addWidget(tree_, 1);
        buttons_ = new QVBoxLayout;
        buttons_->setSpacing(2);
        layout->addLayout(buttons_);
        add_ = Button(wintexts::kAdd);
        del_ = Button(wintexts::kDelete);
        clear_ = Button(wintexts::kClear);
        buttons_->addStretch(1);
        Reload();
    }

    QPushButton* Button(const char* text) {
        auto* button = new QPushButton(L(text), this);
        buttons_->addWidget(button);
        return button;
    }
    QVBoxLayout* Buttons() { return buttons_; }
    QTreeWidget* Tree() { return tree_; }

    std::set<int> SelectedRows() const {
        std::set<int> rows;
        for (QTreeWidgetItem* item : tree_->selectedItems())
            rows.insert(tree_->indexOfTopLevelItem(item));
        return rows;
    }

    void Reload() {
        tree_->clear();
        for (const QStringList& row : rows_())
            tree_->addTopLevelItem(new QTreeWidgetItem(row));
    }

    QPushButton* add_ = nullptr;
    QPushButton* del_ = nullptr;
    QPushButton* clear_ = nullptr;

private:
    Rows rows_;
    QTreeWidget* tree_ = nullptr;
    QVBoxLayout* buttons_ = nullptr;
};

std::vector<QStringList> PairRows(const std::vector<accounts::ListPair>& pairs) {
    std::vector<QStringList> rows;
    for (const auto& pair : pairs)
        rows.push_back({QString::fromStdString(pair.folder), QString::fromStdString(pair.name)});
    return rows;
}

// Add for the two lists of folder pairs: a folder, then the name asked under
// the given title; an empty name adds nothing.
void WirePairAdd(ListBox* box, Prompts& prompts, const char* title,
                 std::function<accounts::AdminResult(const std::string&, const std::string&)> add) {
    QObject::connect(box->add_, &QPushButton::clicked, box, [box, &prompts, title, add] {
        const QString folder = PickFolder(box);
        if (folder.isEmpty())
            return;
        prompts.AskTextLater(
            title, {}, {},
            [box, &prompts, add, folder = folder.toStdString()](std::optional<std::string> name) {
                if (!name || name->empty())
                    return;
                ReportRefusal(prompts, add(folder, *name));
                box->Reload();
            });
    });
}

void WireList(ListBox* box, Prompts& prompts,
              std::function<accounts::AdminResult(const std::set<int>&)> remove,
              std::function<bool()> clear) {
    QObject::connect(box->del_, &QPushButton::clicked, box, [box, remove, &prompts] {
        const std::set<int> rows = box->SelectedRows();
        if (rows.empty())
            return;
        ReportRefusal(prompts, remove(rows));
        box->Reload();
    });
    QObject::connect(box->clear_, &QPushButton::clicked, box, [box, clear] {
        if (clear())
            box->Reload();
    });
}

// Passive mode behind NAT: the port range, the external address and whether
// local clients are told it too, as three rows of the grid from row on.
int AddPassiveRows(SettingBinder& binder, QGridLayout* grid, int row, QWidget* parent) {
    auto* range = new QWidget(parent);
    auto* rangeLayout = new QHBoxLayout(range);
    rangeLayout->setContentsMargins(0, 0, 0, 0);
    for (const char* key : {keys::PassivePortMin, keys::PassivePortMax}) {
        auto* spin = new RangeSpinBox(range);
        spin->setObjectName(L(key));
        binder.Bind(spin, key);
        spin->setToolTip(L(wintexts::kPassiveAnyPort));
        if (key == keys::PassivePortMax)
            rangeLayout->addWidget(new QLabel(L(wintexts::kPassivePortTo), range));
        rangeLayout->addWidget(spin);
    }
    rangeLayout->addStretch(1);
    grid->addWidget(new QLabel(L(wintexts::kPassivePortRange), parent), row, 0);
    grid->addWidget(range, row++, 1);
    auto* external = new QLineEdit(parent);
    external->setObjectName(L(keys::PassiveExternalAddress));
    external->setPlaceholderText(L(wintexts::kPassiveExternalHint));
    external->setToolTip(L(wintexts::kPassiveExternalHint));
    binder.Bind(external, keys::PassiveExternalAddress);
    grid->addWidget(new QLabel(L(wintexts::kPassiveExternal), parent), row, 0);
    grid->addWidget(external, row++, 1);
    auto* forLocal = new QCheckBox(L(wintexts::kPassiveExternalForLocal), parent);
    forLocal->setObjectName(L(keys::PassiveExternalForLocal));
    binder.Bind(forLocal, keys::PassiveExternalForLocal);
    grid->addWidget(forLocal, row++, 0, 1, 2);
    return row;
}

} // namespace

QWidget* MakeServerSettingsTab(AppShell& shell, Prompts& prompts, SettingBinder& binder) {
    auto* tab = new QWidget;
    auto* layout = new QHBoxLayout(tab);
    accounts::ServerLists& lists = shell.Lists();

    auto* left = new QVBoxLayout;
    auto* links = new ListBox(
        wintexts::kPermaLinksGroup, {L(wintexts::kDirectoryPath), L(wintexts::kLinkName)},
        [&lists] { return PairRows(lists.PermaLinks); }, tab);
    links->Tree()->setObjectName(QStringLiteral("PermaLinks"));
    WireList(
        links, prompts,
        [&lists](const std::set<int>& rows) { return lists.DeletePermaLinks(rows); },
        [&lists, &prompts] { return lists.ClearPermaLinks(prompts); });
    auto* ips = new ListBox(
        wintexts::kIpGroup, {L(wintexts::kAddressList)},
        [&lists] {
            std::vector<QStringList> rows;
            for (const auto& ip : lists.IpList)
                rows.push_back({QString::fromStdString(ip)});
            return rows;
        },
        tab);
    ips->Tree()->setObjectName(QStringLiteral("IPDenied"));
    WireList(
        ips, prompts, [&lists](const std::set<int>& rows) { return lists.DeleteIp(rows); },
        [&lists, &prompts] { return lists.ClearIp(prompts); });
    auto* allow = new QRadioButton(L(wintexts::kAllow), ips);
    auto* deny = new QRadioButton(L(wintexts::kDeny), ips);
    allow->setObjectName(L(keys::Allow));
    deny->setObjectName(L(keys::Deny));
    ips->Buttons()->addWidget(allow);
    ips->Buttons()->addWidget(deny);
    binder.BindPair(allow, deny, keys::Allow);
    binder.BindPair(deny, allow, keys::Deny);
    auto* virt = new ListBox(
        wintexts::kVirtGroup, {L(wintexts::kDirectoryPath), L(wintexts::kVirtualMap)},
        [&lists] { return PairRows(lists.VirtMaps); }, tab);
    virt->Tree()->setObjectName(QStringLiteral("Virtmaps"));
    WireList(
        virt, prompts, [&lists](const std::set<int>& rows) { return lists.DeleteVirtMaps(rows); },
        [&lists, &prompts] { return lists.ClearVirtMaps(prompts); });
    namespace texts = accounts::texts;
    WirePairAdd(links, prompts, texts::kLinkNameTitle,
                [&lists](const std::string& folder, const std::string& name) {
                    return lists.AddPermaLink(folder, name);
                });
    WirePairAdd(virt, prompts, texts::kVirtualMappingTitle,
                [&lists](const std::string& folder, const std::string& name) {
                    return lists.AddVirtMap(folder, name);
                });
    QObject::connect(ips->add_, &QPushButton::clicked, ips, [ips, &lists, &prompts] {
        prompts.AskTextLater(texts::kAddIpTitle, texts::kAddIpText, {},
                             [ips, &lists, &prompts](std::optional<std::string> text) {
                                 if (!text)
                                     return;
                                 ReportRefusal(prompts, lists.AddIp(*text));
                                 ips->Reload();
                             });
    });
    binder.OnShowAll([links, ips, virt] {
        links->Reload();
        ips->Reload();
        virt->Reload();
    });
    left->addWidget(links);
    left->addWidget(ips);
    left->addWidget(virt);
    // The lists get the room their two columns (200 and 100 pixels) need.
    layout->addLayout(left, 4);

    auto* right = new QGridLayout;
    right->setVerticalSpacing(4);
    int row = 0;
    auto addRow = [&](const char* label, QWidget* field) {
        right->addWidget(new QLabel(L(label), tab), row, 0);
        right->addWidget(field, row, 1);
        ++row;
    };
    auto* port = new QLineEdit(tab);
    port->setObjectName(L(keys::ServerPort));
    binder.Bind(port, keys::ServerPort);
    addRow(wintexts::kServerPort, port);
    addRow(wintexts::kDefaultHome,
           MakePathRow(binder, keys::DefaultHomeDirectory, PathKind::Folder, tab));
    auto* maxUsers = new QLineEdit(tab);
    maxUsers->setObjectName(L(keys::MaximumConcurrentUsers));
    binder.Bind(maxUsers, keys::MaximumConcurrentUsers);
    addRow(wintexts::kMaxUsers, maxUsers);

    auto* idle = new QCheckBox(L(wintexts::kIdleTimeout), tab);
    idle->setObjectName(L(keys::IdleTimeout));
    binder.Bind(idle, keys::IdleTimeout);
    auto* idleRow = new QWidget(tab);
    auto* idleLayout = new QHBoxLayout(idleRow);
    idleLayout->setContentsMargins(0, 0, 0, 0);
    auto* seconds = new RangeSpinBox(idleRow);
    seconds->setObjectName(L(keys::IdleCount));
    binder.Bind(seconds, keys::IdleCount);
    idleLayout->addWidget(seconds);
    auto* secondsLabel = new QLabel(L(wintexts::kSeconds), idleRow);
    binder.EnableWith(secondsLabel, keys::IdleCount);
    idleLayout->addWidget(secondsLabel);
    idleLayout->addStretch(1);
    right->addWidget(idle, row, 0);
    right->addWidget(idleRow, row, 1);
    ++row;

    const std::string& folder = shell.DataFolder();
    addRow(wintexts::kConnectMessage,
           MakeMessageFileRow(binder, keys::ConnectMessage, wintexts::kCreateConnectMessage, folder,
                              prompts, tab));
    addRow(wintexts::kLoginMessage,
           MakeMessageFileRow(binder, keys::LoginMessage, wintexts::kCreateLoginMessage, folder,
                              prompts, tab));
    addRow(wintexts::kLogoutMessage,
           MakeMessageFileRow(binder, keys::LogoutMessage, wintexts::kCreateLogoutMessage, folder,
                              prompts, tab));

    auto* onStartup = new QCheckBox(L(wintexts::kStartServerOnStartup), tab);
    onStartup->setObjectName(L(keys::StartServerOnStartUp));
    binder.Bind(onStartup, keys::StartServerOnStartUp);
    right->addWidget(onStartup, row++, 0, 1, 2);

    auto* encryption = new QGroupBox(L(wintexts::kEncryptionGroup), tab);
    auto* encLayout = new QVBoxLayout(encryption);
    encLayout->setContentsMargins(6, 2, 6, 4);
    auto* normal = new QRadioButton(L(wintexts::kEncryptedAndNormal), encryption);
    auto* only = new QRadioButton(L(wintexts::kEncryptedOnly), encryption);
    only->setObjectName(L(keys::EncryptedOnlyClients));
    encLayout->addWidget(normal);
    encLayout->addWidget(only);
    binder.BindPair(only, normal, keys::EncryptedOnlyClients);
    right->addWidget(encryption, row++, 0, 1, 2);

    auto* warnings = new QCheckBox(L(wintexts::kShowSuperuserWarnings), tab);
    warnings->setObjectName(L(keys::ShowSuperUserWarnings));
    binder.Bind(warnings, keys::ShowSuperUserWarnings);
    right->addWidget(warnings, row++, 0, 1, 2);
    row = AddPassiveRows(binder, right, row, tab);
    right->setRowStretch(row, 1);
    layout->addLayout(right, 3);
    return tab;
}
