#include "window/SiteManager.h"

#include "client/SiteDetails.h"
#include "client/SiteStore.h"
#include "models/NameListModel.h"
#include "window/PortValidator.h"
#include "window/WindowTexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QLineEdit* box) {
    return box->text().toStdString();
}

QLineEdit* Box(QWidget* parent, site_layout::TextField field, bool masked = false) {
    auto* box = new QLineEdit(parent);
    box->setMaxLength(static_cast<int>(field.capacity));
    if (masked)
        box->setEchoMode(QLineEdit::Password);
    return box;
}
} // namespace

TSiteManager::TSiteManager(SiteStore& store, const SiteRecord& current, bool maskPasswords,
                           QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("SiteManager"));
    setWindowTitle(L(wintexts::kSiteManagerTitle));
    using namespace site_layout;
    auto* layout = new QVBoxLayout(this);

    auto* body = new QHBoxLayout;
    names_ = new NameListModel(
        L(wintexts::kSiteName), [this] { return store_.Names(); }, this);
    list_ = new QTreeView(this);
    list_->setModel(names_);
    list_->setRootIsDecorated(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumWidth(150);
    body->addWidget(list_, 1);

    auto* right = new QVBoxLayout;
    auto* details = details_ = new QGroupBox(L(wintexts::kSiteDetails), this);
    auto* form = new QFormLayout(details);
    name_ = Box(details, kName);
    name_->setReadOnly(true);
    host_ = Box(details, kHost);
    port_ = Box(details, kPort);
    PortValidator::Attach(port_);
    user_ = Box(details, kUserName);
    password_ = Box(details, kPassword, maskPasswords);
    form->addRow(L(wintexts::kSiteLabel), name_);
    form->addRow(L(wintexts::kHostAddress), host_);
    form->addRow(L(wintexts::kSitePort), port_);
    form->addRow(L(wintexts::kSiteUserName), user_);
    form->addRow(L(wintexts::kSitePassword), password_);
    for (int i = 0; i < form->rowCount(); ++i)
        if (auto* label =
                qobject_cast<QLabel*>(form->itemAt(i, QFormLayout::LabelRole)
                                          ? form->itemAt(i, QFormLayout::LabelRole)->widget()
                                          : nullptr))
            label->setBuddy(form->itemAt(i, QFormLayout::FieldRole)->widget());
    auto* types = new QButtonGroup(this);
    const char* typeTexts[] = {wintexts::kLoginNormal, wintexts::kLoginAnonymous,
                               wintexts::kLoginEncrypted};
    for (int i = 0; i < 3; ++i) {
        loginTypes_[i] = new QRadioButton(L(typeTexts[i]), details);
        types->addButton(loginTypes_[i], i + 1);
        form->addRow(loginTypes_[i]);
    }
    key_ = Box(details, kEncryptionKey, maskPasswords);
    form->addRow(key_);
    mandatory_ = new QCheckBox(L(wintexts::kEncryptionMandatory), details);
    passive_ = new QCheckBox(L(wintexts::kSitePassive), details);
    noSocks_ = new QCheckBox(L(wintexts::kNoSocks), details);
    noRsa_ = new QCheckBox(L(wintexts::kNoRsa), details);
    auto* checks = new QGridLayout;
    checks->addWidget(mandatory_, 0, 0);
    checks->addWidget(passive_, 0, 1);
    checks->addWidget(noSocks_, 1, 0);
    checks->addWidget(noRsa_, 1, 1);
    form->addRow(checks);
    right->addWidget(details);

    auto* proxy = proxy_ = new QGroupBox(L(wintexts::kSiteProxyGroup), this);
    auto* proxyForm = new QGridLayout(proxy);
    const char* socksTexts[] = {wintexts::kSiteSocksServer, wintexts::kSiteSocksPort,
                                wintexts::kSiteSocksUsername, wintexts::kSiteSocksPassword};
    const TextField socksFields[] = {kSocksServer, kSocksPort, kSocksUsername, kSocksPassword};
    for (int i = 0; i < 4; ++i) {
        socks_[i] = Box(proxy, socksFields[i], maskPasswords && i == 3);
        if (i == 1)
            PortValidator::Attach(socks_[i]);
        auto* label = new QLabel(L(socksTexts[i]), proxy);
        label->setBuddy(socks_[i]);
        proxyForm->addWidget(label, i / 2, (i % 2) * 2);
        proxyForm->addWidget(socks_[i], i / 2, (i % 2) * 2 + 1);
    }
    right->addWidget(proxy);
    body->addLayout(right, 2);
    layout->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    new_ = new QPushButton(L(wintexts::kSiteNew), this);
    clone_ = new QPushButton(L(wintexts::kSiteClone), this);
    rename_ = new QPushButton(L(wintexts::kSiteRename), this);
    delete_ = new QPushButton(L(wintexts::kSiteDelete), this);
    help_ = new QPushButton(L(wintexts::kSiteHelp), this);
    connect_ = new QPushButton(L(wintexts::kSiteConnect), this);
    QFont bold = connect_->font();
    bold.setBold(true);
    connect_->setFont(bold);
    exit_ = new QPushButton(L(wintexts::kSiteExit), this);
    for (QPushButton* button : {new_, clone_, rename_, delete_, help_, connect_, exit_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    BuildMenus();

    connect(new_, &QPushButton::clicked, this, &TSiteManager::NewSite);
    connect(clone_, &QPushButton::clicked, this, &TSiteManager::CloneSite);
    connect(rename_, &QPushButton::clicked, this, &TSiteManager::RenameSite);
    connect(delete_, &QPushButton::clicked, this, &TSiteManager::DeleteSite);
    connect(help_, &QPushButton::clicked, this, [this] {
        if (OnHelp)
            OnHelp();
    });
    connect(connect_, &QPushButton::clicked, this, &TSiteManager::ConnectSite);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(types, &QButtonGroup::idClicked, this, &TSiteManager::LoginTypeClicked);
    for (QLineEdit* box : {host_, port_, socks_[1]})
        connect(box, &QLineEdit::textChanged, this, &TSiteManager::ShowConnectEnabled);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSiteManager::SelectionChanged);

    store_.Load();
    ClearDetails();
    ShowList(current.Name);
}

void TSiteManager::BuildMenus() {
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(L(wintexts::kSiteMenuFile));
    QAction* newSite = file->addAction(L(wintexts::kSiteMenuNewSite), this, &TSiteManager::NewSite);
    newSite->setShortcut(QKeySequence(Qt::Key_Insert));
    file->addSeparator();
    for (const char* text :
         {wintexts::kSiteMenuConnect, wintexts::kSiteMenuWizard, wintexts::kSiteMenuNewFolder,
          wintexts::kSiteMenuFind, wintexts::kSiteMenuExport})
        file->addAction(L(text))->setEnabled(false);
    file->addSeparator();
    QAction* exitEntry = file->addAction(L(wintexts::kSiteMenuExit), this, &QDialog::reject);
    exitEntry->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));

    QMenu* edit = bar->addMenu(L(wintexts::kSiteMenuEdit));
    edit->addAction(L(wintexts::kSiteMenuCut), this, [this] {
        for (QLineEdit* box : DetailBoxes())
            if (box->hasSelectedText())
                box->cut();
    });
    edit->addAction(L(wintexts::kSiteMenuCopy), this, [this] {
        for (QLineEdit* box : DetailBoxes())
            if (box->hasSelectedText())
                box->copy();
    });
    edit->addAction(L(wintexts::kSiteMenuPaste), this, [this] {
        for (QLineEdit* box : DetailBoxes())
            if (box->hasFocus())
                box->paste();
    });
    bar->addMenu(L(wintexts::kSiteMenuSecurity))->setEnabled(false);
    QMenu* help = bar->addMenu(L(wintexts::kSiteMenuHelp));
    help->addAction(L(wintexts::kSiteMenuContents), this, [this] {
        if (OnHelp)
            OnHelp();
    });
    layout()->setMenuBar(bar);
}

QList<QLineEdit*> TSiteManager::DetailBoxes() const {
    return {host_, port_, user_, password_, key_, socks_[0], socks_[1], socks_[2], socks_[3]};
}

// --------------------------------------------------------------- the list

void TSiteManager::ShowList(const std::string& select) {
    names_->Refresh();
    Select(select);
}

void TSiteManager::Select(const std::string& name) {
    const QString wanted = Q(name);
    for (int row = 0; row < names_->rowCount(); ++row) {
        const QModelIndex index = names_->index(row, 0);
        if (!name.empty() && names_->data(index).toString() == wanted) {
            list_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
            list_->setCurrentIndex(index);
            return;
        }
    }
    list_->clearSelection();
}

int TSiteManager::SelectedCount() const {
    return static_cast<int>(list_->selectionModel()->selectedRows().size());
}

std::string TSiteManager::SelectedName() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.size() == 1 ? names_->data(rows.front()).toString().toStdString() : std::string();
}

// The site that was shown is saved before the next one is read.
void TSiteManager::SelectionChanged() {
    if (filling_)
        return;
    SaveDetails();
    const std::string name = SelectedName();
    std::optional<SiteRecord> site = name.empty() ? std::nullopt : store_.Find(name);
    if (site)
        ShowDetails(*site);
    else
        ClearDetails();
}

// ------------------------------------------------------------ the details

void TSiteManager::ShowDetails(const SiteRecord& site) {
    filling_ = true;
    edit_ = site;
    name_->setText(Q(site.Name));
    host_->setText(Q(site.Host));
    port_->setText(Q(site.Port));
    user_->setText(Q(site.UserName));
    password_->setText(Q(site.Password));
    key_->setText(Q(site.EncryptionKey));
    mandatory_->setChecked(site.EncryptionMandatory);
    passive_->setChecked(site.Passive);
    noSocks_->setChecked(site.NoSocks);
    noRsa_->setChecked(site.NoRSA);
    const std::string* socks[] = {&site.SocksServer, &site.SocksPort, &site.SocksUsername,
                                  &site.SocksPassword};
    for (int i = 0; i < 4; ++i)
        socks_[i]->setText(Q(*socks[i]));
    ShowLoginType(site.LoginType);
    // Details belong to a site: without one nothing can be typed, so nothing
    // typed is lost and there is nothing to connect to.
    details_->setEnabled(!site.Name.empty());
    proxy_->setEnabled(!site.Name.empty());
    filling_ = false;
    ShowConnectEnabled();
}

void TSiteManager::ClearDetails() {
    ShowDetails(SiteRecord{});
}

void TSiteManager::SaveDetails() {
    if (edit_.Name.empty())
        return;
    edit_.Host = S(host_);
    edit_.Port = S(port_);
    edit_.UserName = S(user_);
    edit_.Password = S(password_);
    for (int type = 1; type <= 3; ++type)
        if (loginTypes_[type - 1]->isChecked())
            edit_.LoginType = type;
    edit_.EncryptionKey = S(key_);
    edit_.EncryptionMandatory = mandatory_->isChecked();
    edit_.Passive = passive_->isChecked();
    edit_.NoSocks = noSocks_->isChecked();
    edit_.NoRSA = noRsa_->isChecked();
    edit_.SocksServer = S(socks_[0]);
    edit_.SocksPort = S(socks_[1]);
    edit_.SocksUsername = S(socks_[2]);
    edit_.SocksPassword = S(socks_[3]);
    store_.SaveDetails(edit_);
}

// The radio buttons show the stored type (none for a new record) and the
// boxes follow it.
void TSiteManager::ShowLoginType(int type) {
    QButtonGroup* group = loginTypes_[0]->group();
    group->setExclusive(false);
    for (int i = 0; i < 3; ++i)
        loginTypes_[i]->setChecked(i + 1 == type);
    group->setExclusive(true);
    const LoginTypeControls controls = ControlsForLoginType(type);
    user_->setEnabled(controls.userNameEnabled);
    key_->setReadOnly(!controls.keyEditable);
    key_->setEnabled(controls.keyEditable);
    mandatory_->setEnabled(controls.mandatoryEnabled);
}

void TSiteManager::LoginTypeClicked(int type) {
    if (type == 2) {
        std::string user = S(user_), password = S(password_);
        ApplyAnonymousLogin(user, password);
        user_->setText(Q(user));
        password_->setText(Q(password));
    }
    ShowLoginType(type);
}

void TSiteManager::ShowConnectEnabled() {
    connect_->setEnabled(!edit_.Name.empty() && SiteConnectAllowed(S(host_), S(port_)));
}

// ------------------------------------------------------------ the commands

void TSiteManager::NewSite() {
    SaveDetails();
    std::optional<std::string> name = store_.New(edit_.Name.empty() ? nullptr : &edit_);
    if (name)
        ShowList(*name);
}

void TSiteManager::CloneSite() {
    if (SelectedName().empty())
        return;
    SaveDetails();
    std::optional<std::string> name = store_.Clone(edit_);
    if (name)
        ShowList(*name);
}

void TSiteManager::RenameSite() {
    if (SelectedName().empty())
        return;
    SaveDetails();
    std::optional<std::string> name = store_.Rename(edit_);
    if (!name)
        return;
    // The renamed record is the one shown; nothing is left to save first.
    filling_ = true;
    names_->Refresh();
    Select(*name);
    filling_ = false;
    name_->setText(Q(*name));
}

void TSiteManager::DeleteSite() {
    const std::string name = SelectedName();
    if (name.empty())
        return;
    SaveDetails();
    store_.Delete(name, nullptr);
    filling_ = true;
    names_->Refresh();
    list_->clearSelection();
    filling_ = false;
    ClearDetails();
}

void TSiteManager::ConnectSite() {
    if (edit_.Name.empty())
        return;
    SaveDetails();
    result_ = Result::Connect;
    chosen_ = edit_;
    accept();
}

void TSiteManager::done(int result) {
    // Closing with one site selected makes it the current site.
    if (SelectedCount() == 1 && !edit_.Name.empty()) {
        SaveDetails();
        if (std::optional<SiteRecord> saved = store_.Find(edit_.Name))
            chosen_ = *saved;
    }
    QDialog::done(result);
}
