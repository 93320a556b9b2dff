#include "window/AccountTabs.h"

#include "accounts/AccountAdmin.h"
#include "app/AppShell.h"
#include "app/SettingsKeys.h"
#include "window/GroupSelector.h"
#include "window/RecordPage.h"
#include "window/SettingBinder.h"

#include <QListWidget>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>

void AccountPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Reload();
}

namespace {
using namespace account_tabs;

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
