#include "accounts/ServerOwner.h"

#include "accounts/AccountTexts.h"
#include "accounts/Admission.h"
#include "accounts/Login.h"
#include "accounts/MessageFile.h"
#include "accounts/PathRights.h"
#include "accounts/Validation.h"
#include "base/ControlBytes.h"
#include "base/Version.h"
#include "ftpserver/FtpServer.h"

#include <filesystem>

namespace accounts {

namespace {
constexpr int kIdleTickMs = 5000;
constexpr int kIdleIncrement = 5;

std::string AddressOf(TFtpCtrlSocket* client) {
    return HostPortText(client->PeerAddr, client->PeerPort);
}
} // namespace

namespace {
// SECURITY: every server log line passes through here: what a client sent
// (user names, command lines, paths) never puts a control byte into the log,
// so it can neither split a line into a forged one nor drive a terminal.
LogWriter Escaping(LogWriter log) {
    if (!log)
        return log;
    return [log = std::move(log)](int level, const std::string& text, TColor colour) {
        log(level, EscapeControlBytes(text), colour);
    };
}
} // namespace

ServerOwner::ServerOwner(TFtpServer& server, const AccountFiles& files, ServerLists& lists,
                         std::function<ServerPolicy()> policy, LogWriter log)
    : server_(server), files_(files), lists_(lists), policy_(std::move(policy)),
      log_(Escaping(std::move(log))), protection_(*server.Clock, files.ProgramDir(), log_) {
    idleTimer_.setInterval(kIdleTickMs);
    QObject::connect(&idleTimer_, &QTimer::timeout, [this] { IdleTick(); });
    lists_.OnTablesChanged = [this] { CopyTables(); };
    CopyTables();
    Hook();
    ApplyMaxClients();
    ApplySpeedLimits();
    SetIdleTimerRunning(policy_().idleTimeout);
}

ServerOwner::~ServerOwner() {
    lists_.OnTablesChanged = nullptr;
    // The server may outlive this owner: leave it no handler pointing here.
    server_.OnStart = nullptr;
    server_.OnStop = nullptr;
    server_.OnListenerFailed = nullptr;
    server_.OnClientConnect = nullptr;
    server_.OnClientDisconnect = nullptr;
    server_.OnClientCommand = nullptr;
    server_.OnAnswerToClient = nullptr;
    server_.OnAuthenticate = nullptr;
    server_.OnLoginFailed = nullptr;
    server_.OnChangeDirectory = nullptr;
    server_.OnMakeDirectory = nullptr;
    server_.OnBuildDirectory = nullptr;
    server_.OnListWay = nullptr;
    server_.OnValidateGet = nullptr;
    server_.OnValidatePut = nullptr;
    server_.OnValidateSize = nullptr;
    server_.OnValidateDele = nullptr;
    server_.OnValidateRnFr = nullptr;
    server_.OnValidateRnTo = nullptr;
    server_.OnValidateTime = nullptr;
    server_.OnFolderRights = nullptr;
    server_.OnStorSessionConnected = nullptr;
    server_.OnRetrSessionConnected = nullptr;
    server_.OnStorSessionClosed = nullptr;
    server_.OnRetrSessionClosed = nullptr;
    server_.OnRetrDataSent = nullptr;
    server_.OnStorDataAvailable = nullptr;
    server_.Log = nullptr;
}

void ServerOwner::Log(int level, const std::string& text, TColor colour) const {
    if (log_)
        log_(level, text, colour);
}

void ServerOwner::CopyTables() {
    server_.VirtMapTable.clear();
    for (const ListPair& pair : lists_.VirtMapTable)
        server_.VirtMapTable.push_back({pair.folder, pair.name});
    server_.PermaLinkTable.clear();
    for (const ListPair& pair : lists_.PermaLinkTable)
        server_.PermaLinkTable.push_back({pair.folder, pair.name});
}

void ServerOwner::ApplyMaxClients() {
    server_.MaxClients = std::max(0, policy_().maximumConcurrentUsers);
}

void ServerOwner::ApplySpeedLimits() {
    const ServerPolicy policy = policy_();
    const auto bytes = [](int kib) { return static_cast<std::int64_t>(std::max(0, kib)) * 1024; };
    server_.DownloadLimit = bytes(policy.serverDownloadLimit);
    server_.UploadLimit = bytes(policy.serverUploadLimit);
    server_.ConnectionLimit = bytes(policy.connectionSpeedLimit);
}

std::string ServerOwner::ProtectionText() {
    return texts::ProtectionStatus(protection_.Bans().size(), protection_.BannedRefusals(),
                                   protection_.AddressLimitRefusals());
}

int ServerOwner::ConnectionsFrom(const std::string& address) const {
    int count = 0;
    for (int i = 0; i < server_.ClientCount(); ++i)
        if (server_.Client(i)->PeerAddr == address)
            ++count;
    return count;
}

bool ServerOwner::OnAllowList(const std::string& address, const ServerPolicy& policy) const {
    return policy.ipMode == IpMode::Allow && !lists_.IpList.empty() &&
           IpAdmitted(lists_.IpList, IpMode::Allow, address, nullptr);
}

void ServerOwner::Start(const std::string& port) {
    server_.Port = port;
    server_.Start();
}

void ServerOwner::Stop() {
    server_.Stop();
}

void ServerOwner::KickAllUsers() {
    server_.DisconnectAll();
}

bool ServerOwner::Kick(const std::string& id) {
    for (int i = 0; i < server_.ClientCount(); ++i) {
        TFtpCtrlSocket* client = server_.Client(i);
        if (std::to_string(client->HSocket()) != id || client->State() == wsClosed)
            continue;
        Log(logServer, texts::kKickedPrefix + id, colours::clGreen);
        client->Close(); // its close queues the disconnect and the free
        return true;
    }
    return false;
}

bool ServerOwner::KickAllEnabled() const {
    return server_.ClientCount() > 0;
}

void ServerOwner::IdleTick() {
    std::string message;
    server_.CheckIdleClients(kIdleIncrement, policy_().idleCount, message);
    if (!message.empty())
        Log(logServer, message, colours::clGreen);
}

void ServerOwner::SetIdleTimerRunning(bool on) {
    if (on && !idleTimer_.isActive())
        idleTimer_.start();
    else if (!on)
        idleTimer_.stop();
}

std::string ServerOwner::StatusText() const {
    return texts::StatusText(server_.Active(), server_.ClientCount());
}

void ServerOwner::Refresh() {
    rows_ = ConnectionRows(table_);
    if (OnListChanged)
        OnListChanged();
}

void ServerOwner::RowChanged(const ConnectionRow* row) {
    if (OnRowChanged)
        OnRowChanged(static_cast<int>(row - rows_.data()));
    else if (OnListChanged)
        OnListChanged();
}

void ServerOwner::ShowFigures(ConnectionRow& row, const Transfer& t, long long moved) {
    row.Bytes = t.offset + moved;
    row.Total = t.total;
    row.BytesPerSecond = BytesPerSecond(moved, t.started.elapsed());
    row.Complete = false;
}

ConnectionRow* ServerOwner::RowOf(TFtpCtrlSocket* client) {
    const std::string id = std::to_string(client->HSocket());
    for (auto& row : rows_)
        if (row.Id == id)
            return &row;
    return nullptr;
}

LoginSlot* ServerOwner::SlotOf(TFtpCtrlSocket* client) {
    if (!LoginTable::Valid(client->SlotNumber) || !table_[client->SlotNumber].InUse)
        return nullptr;
    return &table_[client->SlotNumber];
}

TraverseScope ServerOwner::ScopeOf(TFtpCtrlSocket* client) const {
    TraverseScope scope;
    // SECURITY: the current and home folders need no right because they were
    // judged (or set by the administrator) as the folders they were then. One
    // that has since become a link, or lies below one (a folder removed and a
    // link renamed into its place), is some other folder now: it is judged
    // like any other.
    scope.current = StillCanonical(client->Directory) ? client->Directory : std::string();
    scope.home = StillCanonical(client->HomeDir) ? client->HomeDir : std::string();
    for (const auto& map : server_.VirtMapTable)
        if (!map.DirPath.empty())
            scope.virtualFolders.push_back(map.DirPath);
    return scope;
}

void ServerOwner::Decide(TFtpCtrlSocket* client, int op, const std::string& path, bool& allowed) {
    LoginSlot* slot = SlotOf(client);
    if (!slot) {
        // SECURITY: a connection without a login slot is granted nothing.
        allowed = false;
        return;
    }
    Verdict v = Validate(*slot, static_cast<Operation>(op), path, policy_().encryptedOnlyClients,
                         client->EncryptionActive, ScopeOf(client));
    allowed = v.allowed;
    if (v.closeConnection) {
        client->SendLastReplyAndClose(v.gateReply);
        return;
    }
    if (v.recorded)
        Refresh();
}

void ServerOwner::Hook() {
    server_.Log = [this](int level, const std::string& text, TColor colour) {
        Log(level, text, colour);
    };
    server_.OnStart = [this](TFtpServer*) {
        // The port actually bound: with port 0 the system chose it.
        listeningPort_ = server_.ListeningPort();
        Log(logServer, texts::ServerStarted(listeningPort_), colours::clBlue);
        Refresh();
    };
    server_.OnStop = [this](TFtpServer*) {
        Log(logServer, texts::ServerStopped(listeningPort_.empty() ? server_.Port : listeningPort_),
            colours::clRed);
        Refresh();
    };

    server_.OnListenerFailed = [this](TFtpServer*, const std::string& reason) {
        if (OnListenerFailed)
            OnListenerFailed(reason);
    };

    server_.OnClientConnect = [this](TFtpServer*, TFtpCtrlSocket* client, int) {
        const ServerPolicy policy = policy_();
        server_.MaxClients = std::max(0, policy.maximumConcurrentUsers);
        Log(logServer, texts::kConnectFrom + AddressOf(client), colours::clGreen);
        if (!IpAdmitted(lists_.IpList, policy.ipMode, client->PeerAddr, log_)) {
            Log(logServer, texts::DeniedAccess(AddressOf(client)), colours::clRed);
            client->Close();
            return;
        }
        switch (protection_.Admit(client->PeerAddr, ConnectionsFrom(client->PeerAddr),
                                  policy.protection)) {
        case ServerProtection::Verdict::Banned:
            client->Close();
            Refresh();
            return;
        case ServerProtection::Verdict::TooManyFromAddress:
            client->SendLastReplyAndClose(texts::kTooManyFromAddress);
            Refresh();
            return;
        case ServerProtection::Verdict::Admitted:
            break;
        }
        for (const auto& line : MessageLines(policy.connectMessage, texts::kConnectPrefix))
            client->SendReplyLine(line);
        client->Banner = std::string(texts::kGreetingPrefix) + kVersionText;
    };

    server_.OnAuthenticate = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& user,
                                    const std::string& password, bool& authenticated) {
        // A second login on one connection gives up the slot of the first.
        if (LoginTable::Valid(client->SlotNumber)) {
            table_.Clear(client->SlotNumber);
            client->SlotNumber = 0;
            Refresh();
        }
        const ServerPolicy policy = policy_();
        // SECURITY: a connection opened before its address was banned tries
        // no more passwords: every login is refused and the connection ends.
        if (protection_.Banned(client->PeerAddr, policy.protection)) {
            authenticated = false;
            return;
        }
        LoginRequest request;
        request.userName = user;
        request.password = password;
        request.socketId = std::to_string(client->HSocket());
        request.peerAddress = client->PeerAddr;
        request.peerPort = std::atoi(client->PeerPort.c_str());
        request.currentHome = client->HomeDir;
        request.showSuperUserWarnings = policy.showSuperUserWarnings;
        request.defaultHomeDirectory = policy.defaultHomeDirectory;
        request.loginMessage = policy.loginMessage;
        LoginOutcome outcome = Authenticate(files_, table_, request, log_);
        authenticated = outcome.authenticated;
        if (!outcome.authenticated)
            return;
        protection_.Succeeded(client->PeerAddr);
        client->SlotNumber = outcome.slotNumber;
        client->EncryptionKey = outcome.encryptionKey.substr(0, 80);
        client->HomeDir = outcome.homeDir;
        table_[outcome.slotNumber].Location = client->HomeDir;
        Refresh();
        for (const auto& line : outcome.replyLines)
            client->SendReplyLine(line);
    };

    server_.OnLoginFailed = [this](TFtpServer*, TFtpCtrlSocket* client, TLoginFailure& failure) {
        const ServerPolicy policy = policy_();
        const ServerProtection::LoginFailure outcome = protection_.Failed(
            client->PeerAddr, policy.protection, OnAllowList(client->PeerAddr, policy));
        failure.DelayMs = outcome.delayMs;
        failure.Close = outcome.close;
    };

    server_.OnClientCommand = [this](TFtpServer*, TFtpCtrlSocket* client, std::string& keyword,
                                     std::string& params, std::string& answer) {
        Log(logServer, texts::kReceived + keyword + " " + params + " " + answer, colours::clPurple);
        if (keyword == "QUIT")
            for (const auto& line : MessageLines(policy_().logoutMessage, texts::kLogoutPrefix))
                client->SendReplyLine(line);
        client->IdleSeconds = 0;
    };

    server_.OnAnswerToClient = [this](TFtpServer*, TFtpCtrlSocket*, std::string& answer) {
        Log(logServer, texts::kSent + answer, colours::clMaroon);
    };

    server_.OnClientDisconnect = [this](TFtpServer*, TFtpCtrlSocket* client, int error) {
        if (LoginTable::Valid(client->SlotNumber))
            table_.Clear(client->SlotNumber);
        client->SlotNumber = 0;
        transfers_.erase(client);
        if (error != 0)
            Log(logServer, texts::DisconnectWithError(client->PeerAddr, error), colours::clRed);
        else
            Log(logServer, texts::CleanDisconnect(client->PeerAddr), colours::clBlue);
        Refresh();
    };

    auto validator = [this](Operation op) {
        return [this, op](TFtpServer*, TFtpCtrlSocket* client, std::string& path, bool& allowed) {
            Decide(client, static_cast<int>(op), path, allowed);
        };
    };
    server_.OnValidateGet = validator(Operation::Get);
    server_.OnValidatePut = validator(Operation::Put);
    server_.OnValidateDele = validator(Operation::Dele);
    server_.OnValidateRnFr = validator(Operation::RnFr);
    server_.OnValidateRnTo = validator(Operation::RnTo);
    server_.OnValidateSize = validator(Operation::Size);
    server_.OnValidateTime = validator(Operation::Time);
    server_.OnFolderRights = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& folder,
                                    unsigned& rights) {
        const LoginSlot* slot = SlotOf(client);
        rights = slot ? FolderRightsOf(*slot, folder, ScopeOf(client)) : 0;
    };
    server_.OnChangeDirectory = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& dir,
                                       bool& allowed) {
        Decide(client, static_cast<int>(Operation::Cwd), dir, allowed);
    };
    server_.OnMakeDirectory = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& dir,
                                     bool& allowed) {
        Decide(client, static_cast<int>(Operation::Mkd), dir, allowed);
    };

    server_.OnBuildDirectory = [this](TFtpServer*, TFtpCtrlSocket* client, std::string& directory,
                                      bool) {
        if (EncryptedOnlyGate(policy_().encryptedOnlyClients, client->EncryptionActive)) {
            client->SendLastReplyAndClose(texts::kEncryptedOnlyReply);
            throw FtpServerException(texts::kNoPermission);
        }
        LoginSlot* slot = SlotOf(client);
        // A listing of another folder than the current one needs List there.
        if (!slot || DecideListing(*slot, directory, ScopeOf(client)).kind == ListingKind::Refused)
            throw FtpServerException(texts::kNoPermission);
    };
    server_.OnListWay = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& directory,
                               bool& wayOnly, std::vector<std::string>& names) {
        LoginSlot* slot = SlotOf(client);
        if (!slot)
            return;
        ListingDecision d = DecideListing(*slot, directory, ScopeOf(client));
        wayOnly = d.kind == ListingKind::WayOnly;
        names = std::move(d.wayNames);
    };

    auto started = [this](TFtpServer*, TFtpCtrlSocket* client, TWSocket*, int) {
        Transfer& t = transfers_[client];
        t.started.start();
        t.received = 0;
        t.offset = 0;
        t.total = -1;
    };
    server_.OnStorSessionConnected = started;
    server_.OnRetrSessionConnected = [this, started](TFtpServer* server, TFtpCtrlSocket* client,
                                                     TWSocket* socket, int error) {
        started(server, client, socket, error);
        // A file download knows its whole: the file's size, counted from
        // where a restart begins.
        if (client->TransferCmd != ftpcRETR)
            return;
        std::error_code failed;
        const auto size = std::filesystem::file_size(client->FilePath, failed);
        if (!failed) {
            Transfer& t = transfers_[client];
            t.offset = client->RestartPos;
            t.total = static_cast<long long>(size);
        }
    };

    server_.OnStorDataAvailable = [this](TFtpServer*, TFtpCtrlSocket* client, TWSocket*,
                                         const char*, int len, int) {
        client->IdleSeconds = 0;
        Transfer& t = transfers_[client];
        if (!t.started.isValid())
            t.started.start();
        t.received += len;
        if (ConnectionRow* row = RowOf(client)) {
            row->Progress = std::to_string(t.received);
            row->Speed = SpeedText(t.received, t.started.elapsed()) + texts::kKbPerSec;
            ShowFigures(*row, t, t.received);
            RowChanged(row);
        }
    };
    server_.OnRetrDataSent = [this](TFtpServer*, TFtpCtrlSocket* client, TWSocket*, int) {
        client->IdleSeconds = 0;
        Transfer& t = transfers_[client];
        if (!t.started.isValid())
            t.started.start();
        if (ConnectionRow* row = RowOf(client)) {
            row->Progress = std::to_string(client->ByteCount);
            row->Speed = SpeedText(client->ByteCount, t.started.elapsed());
            ShowFigures(*row, t, client->ByteCount);
            RowChanged(row);
        }
    };
    auto closed = [this](TFtpServer*, TFtpCtrlSocket* client, TWSocket*, int) {
        if (ConnectionRow* row = RowOf(client)) {
            row->Progress += texts::kComplete;
            row->Complete = true;
            RowChanged(row);
        }
    };
    server_.OnStorSessionClosed = closed;
    server_.OnRetrSessionClosed = closed;
}

} // namespace accounts
