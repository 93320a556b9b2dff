#include "window/AccountTabs.h"

#include "accounts/AccountAdmin.h"
#include "app/AppShell.h"
#include "app/SettingsKeys.h"
#include "models/NameListModel.h"
#include "window/SettingBinder.h"
#include "window/SettingsDialogs.h"
#include "window/WindowTexts.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

using accounts::Right;

void AccountPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Reload();
}

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The rights boxes in screen order, with the record's right each edits and
// the suffix of its object name (UserRead, GroupInherit, ...).
struct RightBox {
    Right right;
    const char* name;
};
constexpr RightBox kRightBoxes[] = {{Right::Read, "Read"},      {Right::Write, "Write"},
                                    {Right::Create, "Create"},  {Right::List, "List"},
                                    {Right::Delete, "Delete"},  {Right::Rename, "Rename"},
                                    {Right::Inherit, "Inherit"}};
static_assert(std::size(kRightBoxes) == std::size(wintexts::kRightBoxes));

// Shows one icon before every row of a list (user, group, folder).
class IconRows : public QIdentityProxyModel {
public:
    IconRows(QAbstractItemModel* source, QIcon icon, QObject* parent)
        : QIdentityProxyModel(parent), icon_(std::move(icon)) {
        setSourceModel(source);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.column() == 0)
            return icon_;
        return QIdentityProxyModel::data(index, role);
    }

private:
    QIcon icon_;
};

QTreeView* MakeList(QWidget* parent, const QString& name, NameListModel* model, const QIcon& icon,
                    QAbstractItemView::SelectionMode mode) {
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setSelectionMode(mode);
    view->setModel(new IconRows(model, icon, view));
    return view;
}

// The rows of a view that are selected, in row order.
std::vector<int> SelectedRows(const QTreeView* view) {
    std::vector<int> rows;
    for (const QModelIndex& index : view->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SelectRow(QTreeView* view, int row) {
    if (row < 0 || row >= view->model()->rowCount()) {
        view->clearSelection();
        return;
    }
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The Add and Remove buttons under a list, named name + "Add" and name +
// "Remove". Tool buttons: they take only the room of their text.
std::pair<QToolButton*, QToolButton*> EntryButtons(QWidget* box, QVBoxLayout* layout,
                                                   const QString& name) {
    auto* row = new QHBoxLayout;
    QToolButton* made[2] = {};
    int i = 0;
    for (const char* text : {wintexts::kEntryAdd, wintexts::kEntryRemove}) {
        auto* button = new QToolButton(box);
        button->setText(L(text));
        button->setObjectName(name + L(text));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        row->addWidget(button);
        made[i++] = button;
    }
    layout->addLayout(row);
    return {made[0], made[1]};
}

// Sets an edit's text only when it differs, so the cursor of the edit being
// typed into stays where it is.
void SetText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != Q(text))
        edit->setText(Q(text));
}

QString Folder(QString path) {
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    return path;
}

// The "Group Selector" window: every group name, several selectable. The
// chosen names count whichever button closes it.
std::vector<std::string> ChooseGroups(QWidget* parent, const std::vector<std::string>& groups) {
    QDialog dialog(parent->window());
    dialog.setObjectName(QStringLiteral("GroupSelector"));
    dialog.setWindowTitle(L(wintexts::kGroupSelectorTitle));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const std::string& name : groups)
        list->addItem(Q(name));
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(L(wintexts::kSelectorOk), &dialog);
    auto* cancel = new QPushButton(L(wintexts::kSelectorCancel), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog.exec();
    std::vector<std::string> chosen;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            chosen.push_back(list->item(row)->text().toStdString());
    return chosen;
}

// What the user page and the group page share: the name list, the six
// buttons, the name, home directory and enabled fields, the access list and
// the rights panel. Admin is accounts::UserAdmin or accounts::GroupAdmin;
// every edit goes to it, and Show() puts its state back on screen.
template <class Admin> class RecordPage : public AccountPage {
public:
    RecordPage(const char* prefix, std::unique_ptr<Admin> admin, Prompts& prompts)
        : prefix_(L(prefix)), admin_(std::move(admin)), prompts_(prompts) {}

    void Reload() override {
        admin_->LoadNames();
        Show();
    }

    bool SaveIfUnsaved() {
        if (!admin_->Unsaved())
            return false;
        ReportRefusal(prompts_, admin_->Save());
        Show();
        return true;
    }

protected:
    // The page's parts; details is the area enabled only while a record is
    // shown. The user page adds its own fields through the hooks.
    void Build(const char* listHeader, const char* nameLabel, const char* enabledText,
               QWidget* details) {
        auto* layout = new QHBoxLayout(this);
        auto* left = new QVBoxLayout;
        names_ = new NameListModel(
            L(listHeader),
            [this] {
                std::vector<std::string> sorted = admin_->Names();
                std::sort(sorted.begin(), sorted.end());
                return sorted;
            },
            this);
        list_ = MakeList(this, prefix_ + "ListBox", names_, ListIcon(),
                         QAbstractItemView::SingleSelection);
        list_->setMaximumWidth(200);
        left->addWidget(list_, 1);
        auto* buttons = new QGridLayout;
        buttons->setSpacing(4);
        newButton_ = Button(wintexts::kNew, "New", buttons, 0, 0);
        clone_ = Button(wintexts::kClone, "Clone", buttons, 0, 1);
        delete_ = Button(wintexts::kDelete, "Delete", buttons, 1, 0);
        rename_ = Button(wintexts::kRename, "Rename", buttons, 1, 1);
        save_ = Button(wintexts::kSave, "Save", buttons, 2, 0);
        discard_ = Button(wintexts::kDiscard, "Discard", buttons, 2, 1);
        left->addLayout(buttons);
        layout->addLayout(left);
        layout->addWidget(details_ = details, 1);

        basic_ = new QWidget(details);
        auto* basic = new QVBoxLayout(basic_);
        auto* grid = new QGridLayout;
        grid->setVerticalSpacing(4);
        int row = 0;
        name_ = new QLineEdit(basic_);
        name_->setObjectName(prefix_ + "Name");
        name_->setReadOnly(true);
        grid->addWidget(new QLabel(L(nameLabel), basic_), row, 0);
        grid->addWidget(name_, row++, 1);
        AddOwnFields(grid, row);
        home_ = new QLineEdit(basic_);
        home_->setObjectName(prefix_ + "HomeDirectory");
        home_->setMaxLength(80);
        auto* homeRow = new QHBoxLayout;
        homeRow->setSpacing(2);
        homeRow->addWidget(home_, 1);
        auto* browse = new QToolButton(basic_);
        browse->setObjectName(prefix_ + "HomeBrowse");
        browse->setText(QStringLiteral("..."));
        browse->setToolTip(L(wintexts::kBrowseHint));
        homeRow->addWidget(browse);
        grid->addWidget(new QLabel(L(wintexts::kHomeDirectoryLabel), basic_), row, 0);
        grid->addLayout(homeRow, row++, 1);
        basic->addLayout(grid);

        auto* flags = new QHBoxLayout;
        AddOwnFlags(flags);
        enabled_ = new QCheckBox(L(enabledText), basic_);
        enabled_->setObjectName(prefix_ + "Enabled");
        flags->addWidget(enabled_);
        flags->addStretch(1);
        basic->addLayout(flags);

        auto* lists = new QHBoxLayout;
        AddOwnLists(lists);
        lists->addWidget(AccessBox(), 2);
        lists->addWidget(RightsBox());
        basic->addLayout(lists, 1);

        connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (showing_)
                return;
            const std::vector<int> rows = SelectedRows(list_);
            // A click that leaves no name selected changes nothing.
            if (rows.empty())
                return;
            Act(admin_->Select(
                list_->model()->index(rows.front(), 0).data().toString().toStdString()));
        });
        connect(newButton_, &QPushButton::clicked, this,
                [this] { Act(admin_->NewFromPrompt(), false); });
        // Clone, Delete and Rename act on the selected account, which is
        // the one shown.
        connect(clone_, &QPushButton::clicked, this,
                [this] { Act(admin_->CloneFromPrompt(admin_->Current().Name.Get()), false); });
        connect(delete_, &QPushButton::clicked, this,
                [this] { Act(admin_->Delete(admin_->Current().Name.Get())); });
        connect(rename_, &QPushButton::clicked, this,
                [this] { Act(admin_->RenameFromPrompt(admin_->Current().Name.Get()), false); });
        connect(save_, &QPushButton::clicked, this, [this] { Act(admin_->Save()); });
        connect(discard_, &QPushButton::clicked, this, [this] { Act(admin_->Discard()); });
        connect(home_, &QLineEdit::textEdited, this, [this](const QString& text) {
            admin_->SetHomeDirectory(text.toStdString());
            Show();
        });
        connect(browse, &QToolButton::clicked, this, [this] {
            const QString folder = Folder(PickFolder(this));
            if (folder.isEmpty())
                return;
            home_->setText(folder);
            admin_->SetHomeDirectory(folder.toStdString());
            Show();
        });
        connect(enabled_, &QCheckBox::clicked, this, [this](bool on) {
            admin_->SetEnabled(on);
            Show();
        });
    }

    // The user page's fields, flags and membership list.
    virtual void AddOwnFields(QGridLayout*, int&) {}
    virtual void AddOwnFlags(QHBoxLayout*) {}
    virtual void AddOwnLists(QHBoxLayout*) {}
    virtual void ShowOwn() {}
    virtual QIcon ListIcon() const = 0;

    // Carries out an operation's outcome: a refusal is shown (unless the
    // operation asked through a prompt and showed it already), then the state.
    void Act(const accounts::AdminResult& result, bool tell = true) {
        if (tell)
            ReportRefusal(prompts_, result);
        Show();
    }

    void Show() {
        showing_ = true;
        const auto& record = admin_->Current();
        const bool shown = !record.Name.Empty();
        names_->Refresh();
        SelectName(record.Name.Get());
        for (QPushButton* button : {clone_, delete_, rename_})
            button->setEnabled(shown);
        details_->setEnabled(shown);
        name_->setText(Q(admin_->ShownName()));
        SetText(home_, record.HomeDirectory.Get());
        enabled_->setChecked(record.Enabled != 0);
        access_->Refresh();
        SelectRow(accessView_, admin_->SelectedEntry() - 1);
        const accounts::AccessEntry panel = admin_->PanelEntry();
        for (std::size_t i = 0; i < std::size(kRightBoxes); ++i)
            rightBoxes_[i]->setChecked(accounts::HasRight(panel, kRightBoxes[i].right));
        rights_->setEnabled(admin_->SelectedEntry() > 0);
        ShowOwn();
        // The unsaved mark: a bold Save, and Save and Discard enabled.
        const bool unsaved = admin_->Unsaved();
        QFont font = save_->font();
        font.setBold(unsaved);
        save_->setFont(font);
        save_->setEnabled(unsaved);
        discard_->setEnabled(unsaved);
        showing_ = false;
    }

    QString prefix_;
    std::unique_ptr<Admin> admin_;
    Prompts& prompts_;
    QWidget* basic_ = nullptr;
    bool showing_ = false;

private:
    QPushButton* Button(const char* text, const char* role, QGridLayout* grid, int row,
                        int column) {
        auto* button = new QPushButton(L(text), this);
        button->setObjectName(prefix_ + role);
        grid->addWidget(button, row, column);
        return button;
    }

    void SelectName(const std::string& name) {
        int found = -1;
        for (int row = 0; row < names_->rowCount() && found < 0 && !name.empty(); ++row)
            if (names_->index(row, 0).data().toString().toStdString() == name)
                found = row;
        SelectRow(list_, found);
    }

    QGroupBox* AccessBox() {
        auto* box = new QGroupBox(L(wintexts::kAccessGroup), basic_);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(6, 2, 6, 4);
        access_ = new NameListModel(
            L(wintexts::kDirectoryColumn),
            [this] {
                std::vector<std::string> paths;
                for (const auto& entry : admin_->Current().Access)
                    if (entry.Used())
                        paths.push_back(entry.Path.Get());
                return paths;
            },
            box);
        accessView_ =
            MakeList(box, prefix_ + "Access", access_, style()->standardIcon(QStyle::SP_DirIcon),
                     QAbstractItemView::SingleSelection);
        layout->addWidget(accessView_, 1);
        auto [add, remove] = EntryButtons(box, layout, prefix_ + "Access");

        connect(accessView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] {
                    if (showing_)
                        return;
                    const std::vector<int> rows = SelectedRows(accessView_);
                    Act(admin_->SelectEntry(rows.size() == 1 ? rows.front() + 1 : 0));
                });
        connect(add, &QToolButton::clicked, this, [this] {
            const QString folder = Folder(PickFolder(this));
            if (!folder.isEmpty())
                Act(admin_->AddAccess(folder.toStdString()));
        });
        connect(remove, &QToolButton::clicked, this, [this] {
            const std::vector<int> rows = SelectedRows(accessView_);
            if (rows.size() == 1)
                Act(admin_->RemoveAccess(rows.front() + 1));
        });
        return box;
    }

    QGroupBox* RightsBox() {
        rights_ = new QGroupBox(L(wintexts::kRightsGroup), basic_);
        rights_->setObjectName(prefix_ + "Rights");
        auto* layout = new QVBoxLayout(rights_);
        layout->setContentsMargins(6, 2, 6, 4);
        layout->setSpacing(2);
        for (std::size_t i = 0; i < std::size(kRightBoxes); ++i) {
            auto* box = new QCheckBox(L(wintexts::kRightBoxes[i]), rights_);
            box->setObjectName(prefix_ + kRightBoxes[i].name);
            layout->addWidget(box);
            rightBoxes_[i] = box;
            const Right right = kRightBoxes[i].right;
            // A click only: boxes set by the program write nothing.
            connect(box, &QCheckBox::clicked, this,
                    [this, right](bool on) { Act(admin_->SetSelectedRight(right, on)); });
        }
        layout->addStretch(1);
        return rights_;
    }

    NameListModel* names_ = nullptr;
    NameListModel* access_ = nullptr;
    QTreeView* list_ = nullptr;
    QTreeView* accessView_ = nullptr;
    QWidget* details_ = nullptr;
    QPushButton* newButton_ = nullptr;
    QPushButton* clone_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* rename_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* discard_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* home_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QGroupBox* rights_ = nullptr;
    QCheckBox* rightBoxes_[std::size(kRightBoxes)] = {};
};

// A page of controls that no code reads or fills, shown disabled.
QWidget* DisabledTab(QWidget* parent, std::initializer_list<const char*> fields,
                     std::initializer_list<const char*> lists) {
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const char* field : fields) {
        grid->addWidget(new QLabel(L(field), page), row, 0);
        grid->addWidget(new QSpinBox(page), row++, 1);
    }
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    auto* boxes = new QHBoxLayout;
    for (const char* title : lists) {
        auto* box = new QGroupBox(L(title), page);
        auto* inner = new QVBoxLayout(box);
        inner->addWidget(new QListWidget(box));
        boxes->addWidget(box);
    }
    layout->addLayout(boxes, 1);
    if (lists.size() == 0)
        layout->addStretch(1);
    page->setEnabled(false);
    return page;
}

class UserPage : public RecordPage<accounts::UserAdmin> {
public:
    UserPage(AppShell& shell, Prompts& prompts)
        : RecordPage("User",
                     std::make_unique<accounts::UserAdmin>(
                         shell.Accounts(), prompts,
                         [&shell] { return shell.Options().GetBool(keys::ShowSuperUserWarnings); }),
                     prompts),
          shell_(shell) {
        auto* details = new QTabWidget(this);
        Build(wintexts::kUsers, wintexts::kUserNameLabel, wintexts::kUserEnabled, details);
        details->addTab(basic_, L(wintexts::kBasicConfiguration));
        details->addTab(
            DisabledTab(details, {wintexts::kConnectionLimit, wintexts::kCredit, wintexts::kRatio},
                        {}),
            L(wintexts::kAdvancedConfiguration));
        details->addTab(DisabledTab(details,
                                    {wintexts::kUploads, wintexts::kDownloads,
                                     wintexts::kUploadSpeed, wintexts::kDownloadSpeed},
                                    {wintexts::kIpHistory, wintexts::kTransferHistory}),
                        L(wintexts::kStatistics));
    }

private:
    QIcon ListIcon() const override { return style()->standardIcon(QStyle::SP_DirHomeIcon); }

    void AddOwnFields(QGridLayout* grid, int& row) override {
        password_ = Secret(grid, row, wintexts::kPasswordLabel, "Password", 40);
        key_ = Secret(grid, row, wintexts::kEncryptionKeyLabel, "EncryptionKey", 80);
        connect(password_, &QLineEdit::textEdited, this, [this](const QString& text) {
            admin_->SetPassword(text.toStdString());
            Show();
        });
        connect(key_, &QLineEdit::textEdited, this, [this](const QString& text) {
            admin_->SetEncryptionKey(text.toStdString());
            Show();
        });
    }

    QLineEdit* Secret(QGridLayout* grid, int& row, const char* label, const char* name, int max) {
        auto* edit = new QLineEdit(basic_);
        edit->setObjectName(L(name));
        edit->setEchoMode(QLineEdit::Password);
        // Masked with "*", not the style's dot.
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
        edit->setMaxLength(max);
        grid->addWidget(new QLabel(L(label), basic_), row, 0);
        grid->addWidget(edit, row++, 1);
        return edit;
    }

    void AddOwnFlags(QHBoxLayout* flags) override {
        superUser_ = new QCheckBox(L(wintexts::kSuperUser), basic_);
        superUser_->setObjectName(QStringLiteral("SuperUser"));
        flags->addWidget(superUser_);
        // Granting asks first when the warnings are on; No leaves it clear.
        connect(superUser_, &QCheckBox::clicked, this, [this](bool on) {
            admin_->SetSuperUser(on);
            Show();
        });
    }

    void AddOwnLists(QHBoxLayout* lists) override {
        auto* box = new QGroupBox(L(wintexts::kMembershipGroup), basic_);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(6, 2, 6, 4);
        memberships_ = new NameListModel(
            L(wintexts::kGroupColumn),
            [this] {
                std::vector<std::string> names;
                for (const auto& group : admin_->Current().GroupMembership)
                    if (!group.Empty())
                        names.push_back(group.Get());
                return names;
            },
            box);
        membershipView_ = MakeList(box, QStringLiteral("GroupMembership"), memberships_,
                                   GroupIcon(), QAbstractItemView::ExtendedSelection);
        layout->addWidget(membershipView_, 1);
        auto [add, remove] = EntryButtons(box, layout, QStringLiteral("GroupMembership"));
        lists->addWidget(box, 1);

        connect(add, &QToolButton::clicked, this, [this] {
            std::vector<std::string> groups =
                shell_.Accounts().Groups().LoadNames().value_or(std::vector<std::string>{});
            std::sort(groups.begin(), groups.end());
            Act(admin_->AddMemberships(ChooseGroups(this, groups)));
        });
        connect(remove, &QToolButton::clicked, this, [this] {
            std::vector<std::string> chosen;
            for (int row : SelectedRows(membershipView_))
                chosen.push_back(memberships_->index(row, 0).data().toString().toStdString());
            for (const std::string& group : chosen)
                (void)admin_->RemoveMembership(group);
            Show();
        });
    }

    void ShowOwn() override {
        const accounts::UserRecord& record = admin_->Current();
        SetText(password_, record.Password.Get());
        SetText(key_, record.EncryptionKey.Get());
        superUser_->setChecked(record.SuperUser != 0);
        memberships_->Refresh();
    }

    QIcon GroupIcon() const { return style()->standardIcon(QStyle::SP_FileDialogListView); }

    AppShell& shell_;
    QLineEdit* password_ = nullptr;
    QLineEdit* key_ = nullptr;
    QCheckBox* superUser_ = nullptr;
    NameListModel* memberships_ = nullptr;
    QTreeView* membershipView_ = nullptr;
};

class GroupPage : public RecordPage<accounts::GroupAdmin> {
public:
    GroupPage(AppShell& shell, Prompts& prompts)
        : RecordPage("Group", std::make_unique<accounts::GroupAdmin>(shell.Accounts(), prompts),
                     prompts) {
        auto* details = new QWidget(this);
        Build(wintexts::kGroups, wintexts::kGroupNameLabel, wintexts::kGroupEnabled, details);
        auto* layout = new QVBoxLayout(details);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(basic_);
    }

private:
    QIcon ListIcon() const override { return style()->standardIcon(QStyle::SP_FileDialogListView); }
};

// Unsaved edits of a page are saved when the program closes; a page that is
// gone is left out.
template <class Page> Page* SavedOnClose(AppShell& shell, Page* page, SettingBinder& binder) {
    QPointer<Page> guarded(page);
    auto before = std::move(shell.SaveUnsavedAccountEdits);
    shell.SaveUnsavedAccountEdits = [before, guarded] {
        if (before)
            before();
        if (guarded)
            guarded->SaveIfUnsaved();
    };
    binder.OnShowAll([guarded] {
        if (guarded)
            guarded->Reload();
    });
    return page;
}
} // namespace

AccountPage* MakeUserAdminTab(AppShell& shell, Prompts& prompts, SettingBinder& binder) {
    return SavedOnClose(shell, new UserPage(shell, prompts), binder);
}

AccountPage* MakeGroupAdminTab(AppShell& shell, Prompts& prompts, SettingBinder& binder) {
    return SavedOnClose(shell, new GroupPage(shell, prompts), binder);
}
