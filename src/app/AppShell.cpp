#include "app/AppShell.h"

#include "app/AppTexts.h"
#include "app/ClientSettings.h"
#include "app/PrivateFiles.h"
#include "app/ProgramKeySettings.h"
#include "app/SettingsKeys.h"
#include "base/Version.h"
#include "client/ClientSession.h"
#include "crypto/KeyAnnouncement.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

AppShell::AppShell(std::string dataFolder, std::string settingsPath, std::string helpFilePath,
                   Prompts* prompts)
    : dataFolder_(std::move(dataFolder)), helpFilePath_(std::move(helpFilePath)),
      settings_(dataFolder_), logger_(settings_), quietPrompts_([this](const std::string& text) {
          logger_.WriteLog(logBoth, text, colours::clRed);
      }),
      prompts_(prompts != nullptr ? *prompts : quietPrompts_),
      updateCheck_(settings_, logger_, dataFolder_) {
    settings_.SetSettingsPath(settingsPath);
    LogWriter writer = logger_.Writer();
    accountFiles_ = std::make_unique<accounts::AccountFiles>(dataFolder_, writer);
    owner_ = std::make_unique<accounts::ServerOwner>(
        server_, *accountFiles_, lists_, [this] { return PolicyFromSettings(); }, writer);
    server_.Keys = &keys_;
    server_.ProgramDirectory = dataFolder_;
    session_ = std::make_unique<ClientSession>(ftp_, keys_.RSA1, keys_.RSA2, prompts_, writer,
                                               [this] { return ClientSettings(); });
    sites_ = std::make_unique<SiteStore>(dataFolder_, prompts_);
    queue_ = std::make_unique<TransferQueue>(*session_, prompts_, writer);
    passive_ = std::make_unique<PassiveSettings>(settings_, server_, writer);
    settings_.OnChanged = [this](const std::string& key) { SettingChanged(key); };
}

AppShell::~AppShell() {
    settings_.OnChanged = nullptr;
    server_.Keys = nullptr;
}

ClientDefaults AppShell::ClientSettings() const {
    ClientDefaults defaults = ClientDefaultsFromSettings(settings_, keys_);
    defaults.programDirectory = dataFolder_;
    return defaults;
}

// Options that the running parts hold a copy of are applied at once; the
// others are read at the moment they are used (the port at the next start,
// the logging switches at the next line, the idle limit at the next sweep).
void AppShell::SettingChanged(const std::string& key) {
    if (key == keys::MaximumConcurrentUsers)
        owner_->ApplyMaxClients();
    else if (key == keys::IdleTimeout)
        owner_->SetIdleTimerRunning(settings_.GetBool(keys::IdleTimeout));
    else if (key == keys::ServerDownloadLimit || key == keys::ServerUploadLimit ||
             key == keys::ConnectionSpeedLimit)
        owner_->ApplySpeedLimits();
    else if (key == keys::DownloadLimit || key == keys::UploadLimit)
        ApplyClientLimits();
    else if (PassiveSettings::IsPassiveKey(key) && server_.Active())
        passive_->Apply();
    if (OnSettingChanged)
        OnSettingChanged(key);
}

void AppShell::ApplyClientLimits() {
    ftp_.DownloadLimit = static_cast<std::int64_t>(settings_.GetInt(keys::DownloadLimit)) * 1024;
    ftp_.UploadLimit = static_cast<std::int64_t>(settings_.GetInt(keys::UploadLimit)) * 1024;
}

accounts::ServerPolicy AppShell::PolicyFromSettings() const {
    accounts::ServerPolicy policy;
    policy.encryptedOnlyClients = settings_.GetBool(keys::EncryptedOnlyClients);
    policy.showSuperUserWarnings = settings_.GetBool(keys::ShowSuperUserWarnings);
    // A limit that is not a number keeps the last good one.
    int limit = 0;
    if (ParseSettingInt(settings_.GetString(keys::MaximumConcurrentUsers), limit) && limit >= 0)
        lastUserLimit_ = limit;
    policy.maximumConcurrentUsers = lastUserLimit_;
    policy.idleTimeout = settings_.GetBool(keys::IdleTimeout);
    policy.idleCount = settings_.GetInt(keys::IdleCount);
    policy.connectMessage = settings_.GetString(keys::ConnectMessage);
    policy.loginMessage = settings_.GetString(keys::LoginMessage);
    policy.logoutMessage = settings_.GetString(keys::LogoutMessage);
    policy.defaultHomeDirectory = settings_.GetString(keys::DefaultHomeDirectory);
    policy.ipMode =
        settings_.GetBool(keys::Allow) ? accounts::IpMode::Allow : accounts::IpMode::Deny;
    policy.protection.guard.banAfterFailedLogins = settings_.GetInt(keys::BanAfterFailedLogins);
    policy.protection.guard.banWindowMinutes = settings_.GetInt(keys::BanWindowMinutes);
    policy.protection.guard.banHours = settings_.GetInt(keys::BanHours);
    policy.protection.exemptLoopback = settings_.GetBool(keys::ExemptLoopback);
    policy.protection.maxConnectionsPerAddress = settings_.GetInt(keys::MaxConnectionsPerAddress);
    policy.serverDownloadLimit = settings_.GetInt(keys::ServerDownloadLimit);
    policy.serverUploadLimit = settings_.GetInt(keys::ServerUploadLimit);
    policy.connectionSpeedLimit = settings_.GetInt(keys::ConnectionSpeedLimit);
    return policy;
}

void AppShell::StartUp() {
    settings_.LoadSettingsFile();
    logger_.ClearOpenedFlags();

    const std::string version = kVersionText;
    logger_.WriteLog(logBoth, apptexts::kInitBeginPrefix + version, colours::clBlack);
    logger_.WriteLog(logBoth, apptexts::kPathPrefix + dataFolder_, colours::clGreen);
    if (!settings_.PendingMessage().empty()) {
        logger_.WriteLog(logBoth, settings_.PendingMessage(), colours::clPurple);
        settings_.ClearPendingMessage();
    }
    for (const std::string& error : settings_.LoadErrors())
        logger_.WriteLog(logBoth, error, colours::clRed);
    for (const std::string& correction : settings_.LoadCorrections())
        logger_.WriteLog(logBoth, correction, colours::clRed);

    std::error_code ec;
    helpFileFound_ = fs::exists(helpFilePath_, ec);
    if (!helpFileFound_)
        logger_.WriteLog(
            logBoth, apptexts::kHelpFilePrefix + helpFilePath_ + apptexts::kHelpFileNotFoundSuffix,
            colours::clRed);

    // Files holding passwords and keys may come from an older version that
    // left them readable by every local user.
    for (const std::string& line : MakeStoredFilesPrivate(dataFolder_))
        logger_.WriteLog(logBoth, line, colours::clRed);

    // The account files' working copies start from the saved ones; the lists
    // and their tables are loaded for the engine.
    accountFiles_->StartUp();
    lists_.Load(dataFolder_);
    ClearMissingMessagePaths();
    owner_->SetIdleTimerRunning(settings_.GetBool(keys::IdleTimeout));
    owner_->ApplySpeedLimits();
    ApplyClientLimits();

    // The stored key pair: a pair that does not load leaves the program
    // without one, and says so.
    const bool hadKeys = !settings_.GetString(keys::PublicKey).empty() ||
                         !settings_.GetString(keys::PrivateKey).empty();
    LoadProgramKeys(settings_, keys_);
    if (hadKeys && !keys_.RSA1.PrivateKeyLoaded())
        logger_.WriteLog(logBoth, apptexts::kKeysNotSet, colours::clRed);
    sites_->Load();
}

void AppShell::ClearMissingMessagePaths() {
    std::error_code ec;
    for (const char* key : {keys::LogoutMessage, keys::LoginMessage, keys::ConnectMessage}) {
        const std::string path = settings_.GetString(key);
        if (!path.empty() && !fs::exists(path, ec))
            settings_.SetString(key, "");
    }
}

bool AppShell::StartServer(std::string& error) {
    // A session must never see the key pair change under it.
    if (keyWorker_.Running()) {
        error = apptexts::kBusyGeneratingKeys;
        return false;
    }
    // A number beyond 65535 would be cut to 16 bits by the socket layer and
    // listen on another port than the one configured.
    const std::string port = settings_.GetString(keys::ServerPort);
    int number = -1;
    if (port.empty() || port.find_first_not_of("0123456789 \t") != std::string::npos ||
        !ParseSettingInt(port, number) || number < 0 || number > 65535) {
        error = apptexts::ServerPortInvalid(port);
        return false;
    }
    passive_->Apply();
    try {
        owner_->Start(port);
    } catch (const std::exception& e) {
        // One line: the socket error's text follows its CR LF.
        std::string reason = e.what();
        for (size_t pos; (pos = reason.find("\r\n")) != std::string::npos;)
            reason.replace(pos, 2, " - ");
        error =
            apptexts::kServerStartFailed + settings_.GetString(keys::ServerPort) + ": " + reason;
        return false;
    }
    if (!server_.Active()) {
        error = apptexts::kServerStartFailed + settings_.GetString(keys::ServerPort);
        return false;
    }
    return true;
}

std::string AppShell::ConnectClient() {
    if (keyWorker_.Running())
        return apptexts::kBusyGeneratingKeys;
    // Without a host there is nothing to connect to; the site is named so
    // the user knows which one to complete.
    const SiteRecord& site = session_->CurrentSite;
    if (site.Host.empty())
        return apptexts::kSiteWithoutHostPrefix + site.Name + apptexts::kSiteWithoutHostSuffix;
    session_->Connect();
    return {};
}

KeyPairGuard AppShell::KeyGuard() {
    KeyPairGuard guard;
    guard.serverListening = server_.Active();
    guard.serverClients = server_.ClientCount();
    guard.clientConnected = ftp_.Connected();
    guard.stopListening = [this] { owner_->Stop(); };
    return guard;
}

std::string AppShell::GenerateKeyPair(std::function<void(const std::string& outcome)> done) {
    if (keyWorker_.Running())
        return apptexts::kBusyGeneratingKeys;
    std::string refused = GenerateRefusal(KeyGuard());
    if (!refused.empty())
        return refused;
    keyWorker_.Start(keys_.RSA1, [this, done = std::move(done)](const TRSA& pair) {
        InstallGeneratedPair(pair, done);
    });
    return {};
}

void AppShell::InstallGeneratedPair(const TRSA& pair,
                                    const std::function<void(const std::string&)>& done) {
    std::string outcome;
    if (!pair.PrivateKeyLoaded()) {
        outcome = apptexts::kGenerationFailed;
        logger_.WriteLog(logBoth, outcome, colours::clRed);
    } else {
        // Start Server and Connect were refused meanwhile, so no session
        // sees its key change.
        keys_.RSA1 = pair;
        StoreGeneratedPair(settings_, pair);
        AnnounceStoredSizes(settings_, keys_);
        if (OnKeyPairChanged)
            OnKeyPairChanged();
    }
    if (done)
        done(outcome);
}

std::string AppShell::ClearKeyPair() {
    if (keyWorker_.Running())
        return apptexts::kBusyGeneratingKeys;
    std::string refused = ::ClearKeyPair(settings_, keys_.RSA1, KeyGuard());
    if (refused.empty() && OnKeyPairChanged)
        OnKeyPairChanged();
    return refused;
}

void AppShell::Shutdown() {
    owner_->Stop();
    server_.DisconnectAll();
    if (ftp_.Connected())
        ftp_.Abort();
    Close();
}

bool AppShell::CheckForUpdateOnStartup(UpdateCheck::Done done) {
    if (!settings_.GetBool(keys::CheckForUpdateOnStartup))
        return false;
    return updateCheck_.Start(std::move(done));
}

void AppShell::SaveBeforeClose() {
    if (!settings_.SaveSettings())
        logger_.WriteLog(logBoth, settings_.LastSaveError(), colours::clRed);
    if (SaveUnsavedAccountEdits)
        SaveUnsavedAccountEdits();
}

std::vector<std::string> AppShell::CloseQuestions() const {
    std::vector<std::string> questions;
    if (ftp_.Connected())
        questions.push_back(apptexts::kStillExitConnected);
    if (server_.ClientCount() > 0)
        questions.push_back(apptexts::kUsersConnectedPrefix +
                            std::to_string(server_.ClientCount()) +
                            apptexts::kUsersConnectedSuffix);
    return questions;
}

void AppShell::Close() {
    SaveBeforeClose();
    for (const std::string& failure : lists_.Save(dataFolder_))
        logger_.WriteLog(logBoth, failure, colours::clRed);
    if (settings_.GetBool(keys::DeleteTemporaryFiles))
        DeleteTemporaryFiles(dataFolder_);
}

void DeleteTemporaryFiles(const std::string& folder) {
    for (const char* extension : {".tmp", ".key"}) {
        std::error_code ec;
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == extension && entry.is_regular_file(ec))
                found.push_back(entry.path());
        for (const auto& path : found)
            if (fs::exists(path, ec))
                fs::remove(path, ec);
    }
}
