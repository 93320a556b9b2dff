#pragma once
// The part of the "User Admin" and "Group Admin" tabs that both share.
// Included by AccountTabs.cpp only.
#include "accounts/AccessList.h"
#include "accounts/RecordAdmin.h"
#include "models/NameListModel.h"
#include "window/AccountTabs.h"
#include "window/AdminLists.h"
#include "window/SettingsDialogs.h"
#include "window/WindowTexts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <memory>

namespace account_tabs {

inline QString L(const char* text) {
    return QString::fromLatin1(text);
}
inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

using accounts::Right;

// The rights boxes in screen order, with the record's right each edits and
// the suffix of its object name (UserRead, GroupInherit, ...).
struct RightBox {
    Right right;
    const char* name;
};
inline constexpr RightBox kRightBoxes[] = {{Right::Read, "Read"},      {Right::Write, "Write"},
                                           {Right::Create, "Create"},  {Right::List, "List"},
                                           {Right::Delete, "Delete"},  {Right::Rename, "Rename"},
                                           {Right::Inherit, "Inherit"}};
static_assert(std::size(kRightBoxes) == std::size(wintexts::kRightBoxes));

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

} // namespace account_tabs
