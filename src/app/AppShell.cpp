#include "app/AppShell.h"

#include "app/AppTexts.h"
#include "app/SettingsKeys.h"
#include "crypto/KeyAnnouncement.h"
#include "ftpserver/Version.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

AppShell::AppShell(std::string dataFolder, std::string settingsPath, std::string helpFilePath)
    : dataFolder_(std::move(dataFolder)), helpFilePath_(std::move(helpFilePath)),
      settings_(dataFolder_), logger_(settings_) {
    settings_.SetSettingsPath(settingsPath);
    LogWriter writer = logger_.Writer();
    accountFiles_ = std::make_unique<accounts::AccountFiles>(dataFolder_, writer);
    owner_ = std::make_unique<accounts::ServerOwner>(
        server_, *accountFiles_, lists_, [this] { return PolicyFromSettings(); }, writer);
}

AppShell::~AppShell() = default;

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
    if (!fs::exists(helpFilePath_, ec))
        logger_.WriteLog(
            logBoth, apptexts::kHelpFilePrefix + helpFilePath_ + apptexts::kHelpFileNotFoundSuffix,
            colours::clRed);

    // The account files' working copies start from the saved ones; the lists
    // and their tables are loaded for the engine.
    accountFiles_->StartUp();
    lists_.Load(dataFolder_);
    ClearMissingMessagePaths();
    owner_->SetIdleTimerRunning(settings_.GetBool(keys::IdleTimeout));

    // The stored key pair: a pair that does not load leaves the program
    // without one, and says so.
    const bool hadKeys = !settings_.GetString(keys::PublicKey).empty() ||
                         !settings_.GetString(keys::PrivateKey).empty();
    settings_.LoadKeyPair(rsa1_);
    if (hadKeys && !rsa1_.PrivateKeyLoaded())
        logger_.WriteLog(logBoth, apptexts::kKeysNotSet, colours::clRed);
    ApplyKeyPairToServer();
}

void AppShell::ApplyKeyPairToServer() {
    server_.KeyPair = &rsa1_;
    server_.PeerKey = &rsa2_;
    server_.ProgramDirectory = dataFolder_;
    server_.OwnPublicKey = rsa1_.PublicKeyLoaded() ? rsa1_.PublicKey() : std::string();
    server_.OwnKeyLength = SymKeyLengthText(rsa1_.SymKeyLength());
    server_.OwnKeyBits = KeyBitsText(rsa1_.KeyBits());
    // The announced sizes are those of the pair in use.
    const std::string storedLength = settings_.GetString(keys::CurrentKeyLength);
    const std::string storedBits = settings_.GetString(keys::CurrentKeyBits);
    if (SymKeyLengthFromText(storedLength))
        server_.OwnKeyLength = storedLength;
    if (KeyBitsFromText(storedBits))
        server_.OwnKeyBits = storedBits;
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
    // A number beyond 65535 would be cut to 16 bits by the socket layer and
    // listen on another port than the one configured.
    const std::string port = settings_.GetString(keys::ServerPort);
    int number = -1;
    if (port.empty() || port.find_first_not_of("0123456789 \t") != std::string::npos ||
        !ParseSettingInt(port, number) || number < 0 || number > 65535) {
        error = apptexts::ServerPortInvalid(port);
        return false;
    }
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

void AppShell::Close() {
    if (!settings_.SaveSettings())
        logger_.WriteLog(logBoth, settings_.LastSaveError(), colours::clRed);
    if (SaveUnsavedAccountEdits)
        SaveUnsavedAccountEdits();
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
