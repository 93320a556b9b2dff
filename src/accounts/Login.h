#pragma once
#include "accounts/AccountFiles.h"
#include "accounts/LoginTable.h"
#include "base/LogColour.h"

#include <functional>
#include <string>
#include <vector>

namespace accounts {

// What a login decision needs to know of the connection and the settings.
struct LoginRequest {
    std::string userName;
    std::string password;
    std::string socketId;    // the socket handle in decimal
    std::string peerAddress; // dotted IPv4 or IPv6 text
    int peerPort = 0;
    std::string currentHome; // the connection's home directory before login
    bool showSuperUserWarnings = true;
    std::string defaultHomeDirectory;
    std::string loginMessage; // path of the login message file, may be empty
};

struct [[nodiscard]] LoginOutcome {
    bool authenticated = false;
    int slotNumber = 0;
    std::string homeDir;                 // the connection's home directory after login
    std::string encryptionKey;           // the account's key text (at most 80 characters)
    std::vector<std::string> replyLines; // "230-" lines sent before the engine's reply
};

// The login decision: reads the working user and group files, takes a free
// slot of the table and fills it. A refused login takes no slot. The slot is
// drawn at random among the free ones; with no slot free the login is refused.
LoginOutcome Authenticate(const AccountFiles& files, LoginTable& table, const LoginRequest& request,
                          const LogWriter& log, const std::function<int(int)>& randomBelow = {});

} // namespace accounts
