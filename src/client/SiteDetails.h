#pragma once
#include <string>

// How the site manager's details follow the login type: which boxes can be
// edited, and what the anonymous login puts into the login boxes.
struct LoginTypeControls {
    bool userNameEnabled = true;   // the user-name box
    bool keyEditable = false;      // the key box (read-only and greyed otherwise)
    bool mandatoryEnabled = false; // "Encryption &mandatory"
};

// 1 normal, 2 anonymous, 3 encrypted; a new record (0) edits as normal.
LoginTypeControls ControlsForLoginType(int loginType);

// The anonymous login: the user name "anonymous", and a placeholder e-mail
// address as the password unless it holds an "@" after its first character.
void ApplyAnonymousLogin(std::string& userName, std::string& password);

// "&Connect" needs a host and a port.
bool SiteConnectAllowed(const std::string& host, const std::string& port);
