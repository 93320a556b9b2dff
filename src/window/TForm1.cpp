#include "window/TForm1.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "app/AppTexts.h"
#include "app/SettingsKeys.h"
#include "base/Version.h"
#include "client/ClientSession.h"
#include "window/ClientPage.h"
#include "window/HelpWindow.h"
#include "window/LogPane.h"
#include "window/ProgramIcon.h"
#include "window/ServerPage.h"
#include "window/SettingsPage.h"
#include "window/SiteManager.h"
#include "window/TextFieldKeys.h"
#include "window/UpdateDialogs.h"
#include "window/WindowTexts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

TForm1::TForm1(AppShell& shell, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), shell_(shell), prompts_(prompts),
      signals_(std::make_unique<AppSignals>(shell)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kVersionText));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_AlwaysShowToolTips);

    toolbar_ = new QToolBar(this);
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(20, 20));
    addToolBar(toolbar_);
    commands_ = new CommandMap(*this, *toolbar_);
    // Ctrl+U edits a focused text field; elsewhere it checks for an update.
    new TextFieldKeys(this);
    connect(commands_, &CommandMap::triggered, this, &TForm1::Run);
    pages_ = new QTabWidget(this);
    pages_->setDocumentMode(true);
    client_ = new ClientPage(shell, *signals_, prompts, *commands_, pages_);
    server_ = new ServerPage(shell, *signals_, pages_);
    settings_ = new SettingsPage(shell, *signals_, prompts, pages_);
    pages_->addTab(client_, QString::fromLatin1(wintexts::kClientPage));
    pages_->addTab(server_, QString::fromLatin1(wintexts::kServerPage));
    pages_->addTab(settings_, QString::fromLatin1(wintexts::kSettingsPage));
    setCentralWidget(pages_);
    // Each pop-up's commands act on the list it was opened over.
    QWidget* popupOwners[] = {client_->RemoteList(), client_->LocalPanelWidget(), client_->Queue()};
    const Popup popups[] = {Popup::RemoteList, Popup::LocalPanel, Popup::Queue};
    for (int i = 0; i < 3; ++i)
        popups_[i] =
            commands_->AttachPopup(popups[i], *popupOwners[i],
                                   [this, owner = popupOwners[i]] { client_->PointAt(owner); });
    help_ = std::make_unique<HelpWindow>();

    connect(signals_.get(), &AppSignals::logLine, this,
            [this](int log, const QString& line, int rgb) {
                (log == logClient ? client_->Log() : server_->Log())->AddLine(line, rgb);
            });
    connect(signals_.get(), &AppSignals::serverRowsReset, this, &TForm1::ShowServerState);
    connect(signals_.get(), &AppSignals::clientIndicatorsChanged, this, &TForm1::ShowClientGroups);
    connect(signals_.get(), &AppSignals::settingChanged, this, [this](const QString& key) {
        if (key == keys::ShowClientLogWindow || key == keys::ShowServerLogWindow)
            ShowLogPanes();
    });
    connect(signals_.get(), &AppSignals::keyPairChanged, this,
            [this] { client_->ShowKeyPairState(); });
    connect(qApp, &QApplication::focusChanged, this, &TForm1::FocusChanged);

    commands_->SetEnabled(Command::Contents, shell.HelpFileFound());
    ShowServerState();
    ShowClientGroups();
    ShowLogPanes();

    resize(kInitialWidth, kInitialHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kInitialWidth / 2, kInitialHeight / 2));
    }
}

TForm1::~TForm1() {
    // Focus moves while the children go; this window no longer listens.
    disconnect(qApp, nullptr, this, nullptr);
}

void TForm1::StartUpSteps() {
    settings_->ShowLoaded();
    client_->ShowKeyPairState();
    commands_->SetEnabled(Command::Contents, shell_.HelpFileFound());
    ShowServerState();
    ShowClientGroups();
    ShowLogPanes();
    const Settings& options = shell_.Options();
    if (options.GetBool(keys::StartServerOnStartUp))
        Run(Command::StartServer);
    if (options.GetBool(keys::StartMaximized))
        setWindowState(windowState() | Qt::WindowMaximized);
    if (options.GetBool(keys::CheckForUpdateOnStartup))
        Run(Command::CheckForUpdate);
    if (options.GetBool(keys::StartMinimized))
        setWindowState(windowState() | Qt::WindowMinimized);
}

void TForm1::Run(Command command) {
    ClientSession& session = shell_.Client();
    switch (command) {
    case Command::None:
        break;
    case Command::QuickConnect: {
        const std::string refused = shell_.ConnectClient();
        if (!refused.empty())
            prompts_.InformLater(apptexts::kInformationTitle, refused, nullptr);
        break;
    }
    case Command::Reconnect:
        session.Reconnect();
        break;
    case Command::Disconnect:
        session.Disconnect();
        break;
    case Command::Stop:
        session.Stop();
        break;
    case Command::Refresh:
        if (!settings_->RefreshAccounts())
            client_->Refresh();
        break;
    case Command::Exit:
        if (minimised_)
            LeaveTray();
        close();
        break;
    case Command::Copy:
        if (LogPane* pane = FocusedLog())
            pane->copy();
        break;
    case Command::SelectAll:
        if (LogPane* pane = FocusedLog())
            pane->selectAll();
        else
            client_->SelectAll();
        break;
    case Command::Settings:
        settings_->Tabs()->setCurrentIndex(0);
        ShowPage(settings_);
        break;
    case Command::ShortListing:
        client_->SetLocalViewStyle(ClientPage::ViewStyle::List);
        break;
    case Command::LongListing:
        client_->SetLocalViewStyle(ClientPage::ViewStyle::Report);
        break;
    case Command::Toolbar: {
        toolbar_->setVisible(toolbar_->isHidden());
        commands_->Menu(Command::Toolbar)->setChecked(!toolbar_->isHidden());
        break;
    }
    case Command::StartServer:
        StartServer();
        break;
    case Command::StopServer:
        shell_.Owner().Stop();
        break;
    case Command::KickAllUsers:
        shell_.Owner().KickAllUsers();
        break;
    case Command::ToggleClientView:
        ShowPage(client_);
        break;
    case Command::ToggleServerView:
        ShowPage(server_);
        break;
    case Command::ToggleLocal:
        ShowPage(client_, client_->LocalList());
        break;
    case Command::ToggleRemote:
        ShowPage(client_, client_->RemoteList());
        break;
    case Command::ToggleQueue:
        ShowPage(client_, client_->Queue());
        break;
    case Command::ToggleClientLog:
        ShowPage(client_, client_->Log());
        break;
    case Command::ToggleServerLog:
        ShowPage(server_, server_->Log());
        break;
    case Command::Contents:
        help_->ShowContents(QString::fromStdString(shell_.HelpFilePath()));
        break;
    case Command::About:
        ShowAboutBox(this);
        break;
    case Command::SiteManager:
        OpenSiteManager();
        break;
    case Command::CheckForUpdate:
        CheckForUpdate();
        break;
    case Command::Delete:
        client_->Delete();
        break;
    case Command::ChangeDirectory:
        client_->ChangeDirectory();
        break;
    case Command::MakeDirectory:
        client_->MakeDirectory();
        break;
    case Command::Upload:
        client_->Upload();
        break;
    case Command::Download:
        client_->Download();
        break;
    case Command::TransferQueue:
        client_->RunQueue();
        break;
    case Command::RemoveFromQueue:
        client_->RemoveFromQueue();
        break;
    case Command::RemoveAllItems:
        client_->RemoveAllItems();
        break;
    }
}

// The site manager is window-modal; what it was left with is taken when it
// closes.
void TForm1::OpenSiteManager() {
    if (siteManager_)
        return;
    siteManager_ = new TSiteManager(shell_.Sites(), shell_.Client().CurrentSite,
                                    shell_.Options().GetBool(keys::MaskPasswords), this);
    siteManager_->setAttribute(Qt::WA_DeleteOnClose);
    // The manual opens beside the site manager and stays usable while the
    // site manager holds the main window.
    siteManager_->OnHelp = [this] {
        help_->ShowContents(QString::fromStdString(shell_.HelpFilePath()),
                            QString::fromLatin1(wintexts::kSiteManagerHelpAnchor), siteManager_);
    };
    connect(siteManager_, &QDialog::finished, this, [this, dialog = siteManager_.data()] {
        ClientSession& session = shell_.Client();
        const SiteRecord& chosen = dialog->Chosen();
        session.SetCurrentSite(chosen.Name.empty() ? session.CurrentSite : chosen);
        if (dialog->Outcome() == TSiteManager::Result::Connect)
            Run(Command::QuickConnect);
    });
    siteManager_->open();
}

TSiteManager* TForm1::SiteManager() const {
    return siteManager_.data();
}

void TForm1::CheckForUpdate() {
    shell_.Updates().Start(
        [this](const UpdateCheckResult& result) { ShowUpdateResult(result, prompts_); });
}

void TForm1::ShowPage(QWidget* page, QWidget* focus) {
    pages_->setCurrentWidget(page);
    if (focus != nullptr)
        focus->setFocus(Qt::OtherFocusReason);
}

void TForm1::StartServer() {
    std::string error;
    if (!shell_.StartServer(error))
        prompts_.InformLater(apptexts::kInformationTitle, error, nullptr);
    ShowServerState();
}

void TForm1::ShowServerState() {
    const bool listening = shell_.ServerListening();
    commands_->SetEnabled(Command::StartServer, !listening);
    commands_->SetEnabled(Command::StopServer, listening);
    commands_->SetEnabled(Command::KickAllUsers, shell_.Owner().KickAllEnabled());
    server_->ShowStatus();
}

void TForm1::ShowClientGroups() {
    const ClientCommandGroups& groups = shell_.Client().Groups();
    commands_->SetEnabled(Command::QuickConnect, groups.QuickConnect);
    commands_->SetEnabled(Command::Disconnect, groups.Disconnect);
    commands_->SetEnabled(Command::Reconnect, groups.Reconnect);
    commands_->SetEnabled(Command::TransferQueue, groups.TransferQueue);
    commands_->SetEnabled(Command::Stop, groups.Stop);
}

void TForm1::ShowLogPanes() {
    const Settings& options = shell_.Options();
    client_->Log()->setVisible(options.GetBool(keys::ShowClientLogWindow));
    server_->Log()->setVisible(options.GetBool(keys::ShowServerLogWindow));
}

LogPane* TForm1::FocusedLog() const {
    return qobject_cast<LogPane*>(QApplication::focusWidget());
}

void TForm1::FocusChanged() {
    commands_->SetEnabled(Command::Copy, FocusedLog() != nullptr);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The two bottom panels each take one fifth of the client height.
    const int share = (height() - menuBar()->height()) / 5;
    client_->SetBottomHeight(share);
    server_->SetBottomHeight(share);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (!confirmed_) {
        event->ignore();
        if (asking_)
            return;
        // The settings are saved before anything can still cancel the close.
        shell_.SaveBeforeClose();
        AskNext(shell_.CloseQuestions());
        return;
    }
    LeaveTray();
    help_->close();
    shell_.Shutdown();
    closed_ = true;
    event->accept();
}

void TForm1::AskNext(std::vector<std::string> questions) {
    if (questions.empty()) {
        asking_ = false;
        confirmed_ = true;
        // From the loop: a close() inside the close event that is still
        // running (nothing was asked) would be ignored, and the window stay.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    asking_ = true;
    const std::string question = questions.front();
    questions.erase(questions.begin());
    prompts_.ConfirmLater(apptexts::kConfirmTitle, question,
                          [this, rest = std::move(questions)](bool yes) {
                              if (yes) {
                                  AskNext(rest);
                                  return;
                              }
                              asking_ = false;
                          });
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized() && !minimised_)
        EnterTray();
    else if (!isMinimized() && minimised_)
        LeaveTray();
}

void TForm1::EnterTray() {
    minimised_ = true;
    const Settings& options = shell_.Options();
    if (!options.GetBool(keys::MinimizeToTray) || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(QString::fromLatin1(wintexts::kTrayTip));
    auto* menu = new QMenu(this);
    menu->addAction(QString::fromLatin1(wintexts::kTrayRestore), this, &TForm1::RestoreFromTray);
    menu->addAction(QString::fromLatin1(wintexts::kTrayExit), this, [this] { Run(Command::Exit); });
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            RestoreFromTray();
    });
    tray_->show();
    if (options.GetBool(keys::HideFromTaskbar))
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TForm1::LeaveTray() {
    minimised_ = false;
    if (tray_ != nullptr) {
        tray_->hide();
        tray_->contextMenu()->deleteLater();
        tray_->deleteLater();
        tray_ = nullptr;
    }
}

void TForm1::RestoreFromTray() {
    LeaveTray();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}
