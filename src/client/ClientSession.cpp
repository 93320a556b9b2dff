#include "client/ClientSession.h"

#include "client/MlsdListing.h"
#include "client/SessionCipher.h"
#include "client/SessionTexts.h"
#include "crypto/ChunkCipher.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/KeyFile.h"
#include "net/TWSocket.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace session_texts;

namespace {
std::atomic<int> sessionCounter{0};

std::string ReadWholeFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream out;
    if (ok)
        out << in.rdbuf();
    return out.str();
}
} // namespace

ClientSession::ClientSession(TFtpClient& ftp, TRSA& rsa1, TRSA& rsa2, Prompts& prompts,
                             LogWriter log, std::function<ClientDefaults()> defaults)
    : ftp_(ftp), rsa1_(rsa1), cipher_(std::make_unique<TSessionCipher>(rsa1, rsa2)),
      prompts_(prompts), log_(std::move(log)), defaults_(std::move(defaults)),
      number_(++sessionCounter) {
    programDirectory_ = defaults_().programDirectory;
    ftp_.CipherHooks = cipher_.get();
    Hook();
}

ClientSession::~ClientSession() {
    ftp_.CipherHooks = nullptr;
    ftp_.OnCommand = nullptr;
    ftp_.OnResponse = nullptr;
    ftp_.OnSessionConnected = nullptr;
    ftp_.OnSessionClosed = nullptr;
    ftp_.OnNotice = nullptr;
    ftp_.OnProgress = nullptr;
    ftp_.OnDisplayFile = nullptr;
    ftp_.OnBgException = nullptr;
    ftp_.OnRequestDone = nullptr;
}

// The number in the key-file and listing names: the process id and this
// session's counter, so a server and a client sharing one folder never
// write the same file.
std::string ClientSession::KeyFileName() const {
    return programDirectory_ + std::to_string(::getpid()) + std::to_string(number_) +
           kKeyFileSuffix;
}

std::string ClientSession::ListingFileName() const {
    return programDirectory_ + ftp_.HostName + std::to_string(::getpid()) +
           std::to_string(number_) + ".tmp";
}

void ClientSession::Log(const std::string& text, TColor colour) const {
    if (log_)
        log_(logClient, text, colour);
}

void ClientSession::Changed(SessionChange what) {
    if (OnChanged)
        OnChanged(what);
}

void ClientSession::Hook() {
    ftp_.OnCommand = [this](TCustomFtpCli*, std::string& command) {
        Log(kSendPrefix + command, colours::clMaroon);
    };
    ftp_.OnResponse = [this](TCustomFtpCli* client) {
        Log(kRecvPrefix + client->LastResponse(), colours::clPurple);
    };
    ftp_.OnSessionConnected = [this](TCustomFtpCli* client, int error) {
        if (error != 0 || !client->ControlSocket())
            return;
        Log(kConnectedTo + client->ControlSocket()->GetPeerAddr() + ":" +
                client->ControlSocket()->GetPeerPort(),
            colours::clNavy);
    };
    ftp_.OnSessionClosed = [this](TCustomFtpCli*, int) { SessionClosed(); };
    ftp_.OnNotice = [this](TCustomFtpCli*, const std::string& note) { Log(note, colours::clRed); };
    ftp_.OnProgress = [this](TCustomFtpCli*, std::int64_t count, bool& abort) {
        double seconds = transferStart_.isValid() ? transferStart_.elapsed() / 1000.0 : 0.0;
        progressCount_ = count;
        figures_ = ComputeTransferFigures(count, resumeBase_, fileSize_, seconds);
        if (StopRequested)
            abort = true;
        Changed(SessionChange::Progress);
    };
    ftp_.OnDisplayFile = [this](TCustomFtpCli*, const std::string& line) {
        if (listingLine_)
            listingLine_(line);
    };
    ftp_.OnBgException = [this](TCustomFtpCli* client, const std::exception&, bool& canClose) {
        Log(client->ErrorMessage().empty() ? std::string(kTrashedSession)
                                           : kErrorPrefix + client->ErrorMessage(),
            colours::clRed);
        canClose = true;
    };
    ftp_.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest request, int error) {
        RequestDone(request, error);
        Changed(SessionChange::Indicators);
    };
}

void ClientSession::Start(const std::function<void()>& request) {
    try {
        request();
    } catch (const std::exception& e) {
        // A request that cannot start (not connected, busy) is told, never lost.
        Log(e.what(), colours::clRed);
    }
}

// ------------------------------------------------------------- connecting

void ClientSession::SetCurrentSite(const SiteRecord& site) {
    CurrentSite = site;
    groups_.QuickConnect = !CurrentSite.Name.empty();
    Changed(SessionChange::Indicators);
}

void ClientSession::Connect() {
    // A connection the session has already given up (a time-out, a lost
    // server) is no one's to keep: there is nothing to ask.
    if (!ftp_.Connected() || !groups_.Disconnect) {
        if (ftp_.Connected())
            ftp_.Abort();
        Open();
        return;
    }
    const std::string question =
        kStillConnectedPrefix + ConnectedSite.Name + " (" + ConnectedSite.Host + ":" +
        ConnectedSite.Port + kStillConnectedMiddle + CurrentSite.Name + " (" + CurrentSite.Host +
        ":" + (CurrentSite.Port.empty() ? "21" : CurrentSite.Port) + kStillConnectedSuffix;
    // The answer comes on a later pass of the loop: the command may have come
    // from inside an engine event.
    std::weak_ptr<int> alive = lifetime_;
    prompts_.ConfirmLater(kConfirmTitle, question, [this, alive](bool yes) {
        if (alive.expired() || !yes)
            return;
        if (ftp_.Connected())
            ftp_.Abort();
        Open();
    });
}

void ClientSession::Open() {
    KeyCheckDone = false;
    typeFor_ = TypeFor::Nothing;
    reconnecting_ = false;
    ClientEncryptionActive = false;
    ftp_.ClientEncryptionActive = false;
    cipher_->ClearDataKey();
    failure_ = SessionFailure::None;
    // Nothing of an earlier session describes this one.
    ClearIndicatorValues();
    indicators_.CommandPortEncryption.clear();

    const ClientDefaults defaults = defaults_();
    programDirectory_ = defaults.programDirectory;
    if (CurrentSite.Port.empty())
        CurrentSite.Port = "21";
    ftp_.HostName = CurrentSite.Host;
    ftp_.Port = CurrentSite.Port;
    ftp_.UserName = CurrentSite.UserName;
    ftp_.PassWord = CurrentSite.Password;
    ftp_.ProxyServer = CurrentSite.ProxyServer;
    ftp_.MyPublicKey = defaults.publicKey;
    ftp_.MyPrivateKey = defaults.privateKey;
    ftp_.MyPublicKeyLength = defaults.keyLengthText;
    ftp_.MyPublicKeyBits = defaults.keyBitsText;
    ftp_.ServerPublicKey.clear();
    ftp_.ServerPublicKeyLength.clear();
    ftp_.ServerPublicKeyBits.clear();
    ftp_.HostFileName.clear();
    ftp_.HostDirName.clear();
    if (CurrentSite.NoRSA) {
        ftp_.MyPublicKey.clear();
        ftp_.MyPrivateKey.clear();
    }
    std::string socksServer = CurrentSite.SocksServer, socksPort = CurrentSite.SocksPort;
    std::string socksUser = CurrentSite.SocksUsername, socksPassword = CurrentSite.SocksPassword;
    if (CurrentSite.NoSocks) {
        socksServer.clear();
        socksPort.clear();
        socksUser.clear();
        socksPassword.clear();
    } else if (socksServer.empty()) {
        socksServer = defaults.socksServer;
        socksPort = defaults.socksPort;
        socksUser = defaults.socksUsername;
        socksPassword = defaults.socksPassword;
    }
    // A connection through a SOCKS server goes passive (version 5 unless the
    // caller chose another), offering user-name authentication when a user
    // name is set.
    ftp_.SetConnectionType(socksServer.empty() ? ftpDirect : defaults.socksLevel);
    ftp_.SetSocksServer(socksServer);
    ftp_.SetSocksPort(socksPort);
    ftp_.SetSocksUserCode(socksUser);
    ftp_.SetSocksPassword(socksPassword);
    ftp_.SetUsePassive(CurrentSite.Passive || defaults.passiveMode);
    ftp_.Timeout = defaults.timeoutSeconds;
    cancelled_ = false;

    std::string line =
        kAttemptingPrefix + CurrentSite.Name + " (" + CurrentSite.Host + ":" + CurrentSite.Port;
    line += socksServer.empty() ? std::string(")") : kViaSocks + socksServer + ":" + socksPort;
    Log(line, colours::clBlue);
    ConnectedSite = CurrentSite;
    groups_.Disconnect = true;
    Start([this] { ftp_.Open(); });
    Changed(SessionChange::Indicators);
}

void ClientSession::Disconnect() {
    if (ftp_.State() != TFtpState::ftpcReady) {
        const TFtpState state = ftp_.State();
        const bool connecting =
            state == TFtpState::ftpcResolving || state == TFtpState::ftpcAwaitingGreeting;
        cancelled_ = true;
        ftp_.Abort();
        // The abort dropped the connection: there is no one left to send QUIT to.
        if (ftp_.Connected())
            Start([this] { ftp_.Quit(); });
        groups_.Disconnect = false;
        Log((connecting ? kConnectCancelledPrefix : kRequestCancelledPrefix) + ftp_.HostName + ":" +
                ftp_.Port + kCancelledSuffix,
            colours::clNavy);
    } else {
        Start([this] { ftp_.Quit(); });
    }
    Changed(SessionChange::Indicators);
}

void ClientSession::Reconnect() {
    // An idle connection says goodbye first; the new one starts once QUIT
    // has ended.
    if (ftp_.Connected() && ftp_.State() == TFtpState::ftpcReady) {
        reconnecting_ = true;
        Start([this] { ftp_.Quit(); });
        if (reconnecting_ && ftp_.State() != TFtpState::ftpcReady)
            return;
        reconnecting_ = false;
    }
    Connect();
}

// ------------------------------------------------------------- navigation

void ClientSession::OpenRemoteFolder(const std::string& name) {
    std::string path = remotePath_;
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += '/';
    ChangeDirectory(path + name);
}

void ClientSession::ChangeDirectory(const std::string& path) {
    if (path.empty())
        return;
    groups_.RemoteUp = false;
    ftp_.HostDirName = path;
    Start([this] { ftp_.Cwd(); });
    Changed(SessionChange::Indicators);
}

void ClientSession::Up() {
    groups_.RemoteUp = false;
    Start([this] { ftp_.CDup(); });
    Changed(SessionChange::Indicators);
}

void ClientSession::MakeDirectory(const std::string& name) {
    if (name.empty() || !ftp_.Connected())
        return;
    ftp_.HostFileName = name;
    ftp_.HostDirName = remotePath_;
    Start([this] { ftp_.Mkd(); });
}

void ClientSession::Refresh() {
    ftp_.HostFileName.clear();
    ftp_.HostDirName = remotePath_;
    ftp_.LocalFileName = ListingFileName();
    ftp_.Binary = false;
    StartTransferClock(0, 0);
    Start([this] { ftp_.Dir(); });
}

void ClientSession::Stop() {
    Log(kAborting, colours::clRed);
    StopRequested = true;
}

void ClientSession::SortBy(int column) {
    // The same column again turns the order round.
    SortDescending = column == SortColumn && !SortDescending;
    SortColumn = column;
    SortRemoteItems(remoteItems_, column, SortDescending);
    Changed(SessionChange::Listing);
}

TransferProgress ClientSession::Progress() const {
    TransferProgress p;
    p.Count = progressCount_;
    p.ResumeBase = resumeBase_;
    p.FileSize = fileSize_;
    p.Seconds = transferStart_.isValid() ? transferStart_.elapsed() / 1000.0 : 0.0;
    return p;
}

void ClientSession::StartTransferClock(long long resumeBase, long long fileSize) {
    transferStart_.start();
    progressCount_ = resumeBase;
    resumeBase_ = resumeBase;
    fileSize_ = fileSize;
    StopRequested = false;
}

// ---------------------------------------------------------- the session flow

bool ClientSession::SessionEnded(TFtpRequest request, int error) {
    if (error == 0 || request == ftpOpen || request == ftpQuit)
        return false;
    // A refused login that the server follows with a close is still a
    // refused login.
    const bool loginStep = request == ftpUser || request == ftpPass;
    if (ftp_.StatusCode() != 421 && (ftp_.Connected() || loginStep))
        return false;
    // The server closed the session (421) or the connection went: its reason
    // is said, and nothing more is sent.
    if (!ftp_.ErrorMessage().empty())
        Log(ftp_.ErrorMessage(), colours::clRed);
    failure_ = SessionFailure::Connection;
    if (ftp_.Connected())
        ftp_.Abort();
    return true;
}

void ClientSession::RequestDone(TFtpRequest request, int error) {
    if (TransferStep(request, error))
        return;
    // A request the user's Disconnect ended: the Disconnect has said so.
    if (cancelled_ && error != 0 && request != ftpOpen)
        return;
    if (SessionEnded(request, error))
        return;
    switch (request) {
    case ftpOpen: {
        if (error != 0) {
            // The connection never came up: say why and go back to idle (a
            // Disconnect has said so already).
            if (!cancelled_)
                Log(ftp_.ErrorMessage().empty() ? ftp_.LastResponse() : ftp_.ErrorMessage(),
                    colours::clRed);
            groups_.Disconnect = false;
            failure_ = SessionFailure::Connection;
            return;
        }
        const std::string& greeting = ftp_.LastResponse();
        if (greeting.find("Vexa", 1) != std::string::npos && !ftp_.MyPublicKey.empty()) {
            Start([this] { ftp_.Pubk(); });
        } else {
            // No key exchange in this session: switched off here (no key
            // pair, or the site says so), or a server that does not offer it.
            indicators_.CommandPortEncryption =
                ftp_.MyPublicKey.empty() ? kDisabled : kNotSupported;
            Start([this] { ftp_.User(); });
        }
        return;
    }
    case ftpPubk:
        if (AfterPubk())
            Start([this] { ftp_.User(); });
        return;
    case ftpUser:
        // A server that logs the user in on USER alone (230) gets no PASS,
        // which a strict server would refuse; a refused USER ends the login
        // as a refused PASS does.
        if (error != 0 || ftp_.StatusCode() == 230)
            AfterPass(error);
        else
            Start([this] { ftp_.Pass(); });
        return;
    case ftpPass:
        AfterPass(error);
        return;
    case ftpFeat:
        if (error != 0) {
            AfterPass(error);
            return;
        }
        Start([this] { ftp_.Syst(); });
        return;
    case ftpSyst:
        AfterSyst();
        return;
    case ftpGet:
    case ftpRestGet:
        AfterGet(request, error);
        return;
    case ftpCwd:
    case ftpCDup:
        if (error != 0 && ftp_.Connected()) {
            // A folder that cannot be entered: say why; the list stays as it was.
            Log(kCannotEnterPrefix +
                    (request == ftpCwd ? ftp_.HostDirName : std::string(kParentFolder)) +
                    kReasonSeparator + ftp_.ErrorMessage(),
                colours::clRed);
            groups_.RemoteUp = true;
            return;
        }
        Start([this] { ftp_.Pwd(); });
        return;
    case ftpPwd:
        AfterPwd();
        return;
    case ftpDir:
        AfterDir(error);
        return;
    case ftpMkd:
        AfterMkd(error);
        return;
    case ftpPut:
    case ftpAppend:
        if (OnTransferDone)
            OnTransferDone(request, error);
        return;
    case ftpTypeSet:
        AfterType();
        return;
    case ftpQuit:
        ClearIndicatorValues();
        // The close may have come first: the program's key pair is still
        // ready for the next session.
        if (!ftp_.Connected() && rsa1_.PrivateKeyLoaded())
            indicators_.Encryption = kReady;
        if (reconnecting_) {
            reconnecting_ = false;
            Connect();
        }
        return;
    default:
        return;
    }
}

bool ClientSession::AfterPubk() {
    // "666 " then the key text, its 3-character length and 4-character size.
    const std::string& reply = ftp_.LastResponse();
    if (reply.size() > 4 + 7 && reply.compare(4, 2, "++") == 0) {
        ftp_.ServerPublicKeyBits = reply.substr(reply.size() - 4);
        ftp_.ServerPublicKeyLength = reply.substr(reply.size() - 7, 3);
        ftp_.ServerPublicKey = reply.substr(4, reply.size() - 4 - 7);
        // A key that does not load would fail every command before it is
        // sent, and the login would wait for an answer that never comes.
        try {
            TRSA trial;
            LoadPeerKey(trial, ftp_.ServerPublicKey, ftp_.ServerPublicKeyLength,
                        ftp_.ServerPublicKeyBits);
            trial.EncryptString(kKeyFileRemoteName);
        } catch (const std::exception& e) {
            ftp_.ServerPublicKey.clear();
            failure_ = SessionFailure::Encryption;
            indicators_.CommandPortEncryption = kNotSupported;
            Log(kServerKeyRefusedPrefix + std::string(e.what()) + kServerKeyRefusedSuffix,
                colours::clRed);
            ftp_.Abort();
            return false;
        }
    }
    indicators_.CommandPortEncryption = ftp_.ServerPublicKey.empty() ? kNotSupported : kEnabled;
    return true;
}

void ClientSession::AfterPass(int error) {
    KeyCheckDone = false;
    if (error != 0) {
        Log(ftp_.ErrorMessage(), colours::clRed);
        failure_ = SessionFailure::Login;
        ftp_.Abort();
        return;
    }
    groups_.Disconnect = true;
    groups_.Reconnect = true;
    // What the server supports is asked once per session; an enciphered
    // command channel keeps exactly the commands it always had.
    if (ftp_.ServerPublicKey.empty())
        Start([this] { ftp_.Feat(); });
    else
        Start([this] { ftp_.Syst(); });
}

void ClientSession::AfterSyst() {
    const std::string& reply = ftp_.LastResponse();
    if (reply.find(kEncryptionEnabledMark) != std::string::npos) {
        Start([this] { ftp_.Pwd(); });
        return;
    }
    ServerKind = ServerKindFromSyst(reply);
    if (ServerKind != skVexaServer || ConnectedSite.EncryptionKey.empty() ||
        ConnectedSite.LoginType != 3)
        KeyCheckDone = true;
    if (KeyCheckDone) {
        // An encrypted site marked mandatory never continues in plain, also
        // when no key check could run (another server, or no key to check).
        if (!ClientEncryptionActive && ConnectedSite.LoginType == 3 &&
            ConnectedSite.EncryptionMandatory) {
            KeyCheckFailed();
            return;
        }
        if (!ClientEncryptionActive)
            ShowPlainData();
        Start([this] { ftp_.Pwd(); });
        return;
    }
    KeyCheckDone = true;
    ftp_.LocalFileName = KeyFileName();
    ftp_.HostFileName = kKeyFileRemoteName;
    ftp_.Binary = true;
    typeFor_ = TypeFor::KeyFile;
    Start([this] { ftp_.TypeSet(); });
}

void ClientSession::AfterType() {
    // A refused TYPE does not stop the step it came before; a 421 or a lost
    // connection has ended the flow already.
    const TypeFor next = typeFor_;
    typeFor_ = TypeFor::Nothing;
    switch (next) {
    case TypeFor::KeyFile:
        StartTransferClock(0, 0);
        Start([this] { ftp_.Get(); });
        return;
    case TypeFor::Listing:
        StartTransferClock(0, 0);
        Start([this] { ftp_.Dir(); });
        return;
    case TypeFor::Nothing:
        return;
    }
}

void ClientSession::AfterGet(TFtpRequest request, int error) {
    if (ftp_.LocalFileName == KeyFileName()) {
        KeyCheckDone = true;
        KeyCheck();
        ftp_.HostFileName.clear();
        return;
    }
    if (OnTransferDone)
        OnTransferDone(request, error);
}

void ClientSession::KeyCheck() {
    const std::string path = KeyFileName();
    bool readable = false;
    std::string bytes = ReadWholeFile(path, readable);
    if (!readable || bytes.size() < kKeyFileSize) {
        KeyCheckFailed();
        return;
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    const std::string key = DataKeyText(ConnectedSite.EncryptionKey);
    if (!KeyFileMatches(bytes, key)) {
        KeyCheckFailed();
        return;
    }
    const std::string bits = std::to_string(8 * key.size());
    Log(kNegotiated, colours::clGreen);
    Log(kUsingPrefix + bits + kUsingSuffix, colours::clGreen);
    cipher_->SetDataKey(key);
    ClientEncryptionActive = true;
    ftp_.ClientEncryptionActive = true;
    indicators_.Encryption = kOn;
    indicators_.Strength = bits + kBitSuffix;
    indicators_.Algorythm = kBlowfish;
    Start([this] { ftp_.Syst(); });
}

void ClientSession::KeyCheckFailed() {
    ClientEncryptionActive = false;
    ftp_.ClientEncryptionActive = false;
    cipher_->ClearDataKey();
    ShowPlainData();
    Log(kNotNegotiated, colours::clRed);
    if (ConnectedSite.EncryptionMandatory) {
        Log(kMandatoryQuitting, colours::clRed);
        failure_ = SessionFailure::Encryption;
        Start([this] { ftp_.Quit(); });
    } else {
        Log(kNotMandatoryContinuing, colours::clRed);
        Start([this] { ftp_.Pwd(); });
    }
}

void ClientSession::ShowRemotePath(const std::string& path) {
    const bool known =
        std::find(remotePaths_.begin(), remotePaths_.end(), path) != remotePaths_.end();
    if (known && path == remotePath_)
        return;
    if (!known) {
        remotePaths_.push_back(path);
        std::sort(remotePaths_.begin(), remotePaths_.end());
    }
    remotePath_ = path;
    Changed(SessionChange::Listing);
}

void ClientSession::AfterPwd() {
    ShowRemotePath(ftp_.ReplyPath());
    if (!ListAfterPwd) {
        groups_.RemoteUp = true;
        groups_.Disconnect = true;
        groups_.Reconnect = true;
        return;
    }
    ftp_.LocalFileName = ListingFileName();
    ftp_.HostFileName.clear();
    ftp_.Binary = false;
    typeFor_ = TypeFor::Listing;
    Start([this] { ftp_.TypeSet(); });
}

void ClientSession::AfterDir(int error) {
    if (!ftp_.Connected())
        return;
    // A failed listing leaves no file (or the one of an earlier listing): it
    // shows as an empty list.
    bool readable = false;
    std::string listing = error == 0 ? ReadWholeFile(ListingFileName(), readable) : std::string();
    remoteItems_ =
        ftp_.ListedWithMlsd() ? ParseMlsdListing(listing) : ParseListing(listing, ServerKind);
    SortRemoteItems(remoteItems_, SortColumn, SortDescending);
    Changed(SessionChange::Listing);
    groups_.RemoteUp = true;
    groups_.Disconnect = true;
    groups_.Reconnect = true;
}

void ClientSession::AfterMkd(int error) {
    const std::string created = ftp_.HostDirName + ftp_.HostFileName;
    if (error == 0) {
        Log(kCreatedPrefix + created, colours::clBlue);
        ftp_.HostFileName.clear();
        Start([this] { ftp_.Pwd(); });
    } else {
        Log(kCreateFailedPrefix + created, colours::clRed);
    }
}

void ClientSession::ClearIndicatorValues() {
    indicators_.Encryption.clear();
    indicators_.Strength.clear();
    indicators_.Algorythm.clear();
}

void ClientSession::ShowPlainData() {
    indicators_.Encryption = kOff;
    indicators_.Strength = kNotApplicable;
    indicators_.Algorythm = kNotApplicable;
}

void ClientSession::SessionClosed() {
    groups_.Disconnect = false;
    groups_.Reconnect = false;
    groups_.RemoteUp = false;
    Log(kDisconnectedFrom + ftp_.HostName, colours::clNavy);
    remotePaths_.clear();
    remotePath_.clear();
    remoteItems_.clear();
    figures_ = TransferFigures{};
    ClearIndicatorValues();
    indicators_.CommandPortEncryption.clear();
    if (rsa1_.PrivateKeyLoaded())
        indicators_.Encryption = kReady;
    if (OnClosed)
        OnClosed();
    Changed(SessionChange::Listing);
    Changed(SessionChange::Progress);
    Changed(SessionChange::Indicators);
}
