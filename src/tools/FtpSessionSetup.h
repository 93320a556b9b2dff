#pragma once
#include "client/ClientSession.h"
#include "client/SiteRecord.h"
#include "tools/FtpCommandLine.h"

#include <functional>
#include <optional>
#include <string>

class TRSA;

// The data folder vexa2-ftp reads its key pair and sites from. It only ever
// reads there: it takes no lock and creates nothing, so it can share the
// folder with a running program.
struct FtpDataFolder {
    std::string path;  // absolute, ending in "/"; empty: no folder (defaults only)
    std::string error; // set when --data-dir names no folder
};

// --data-dir when given (it must exist), else $XDG_DATA_HOME/vexa2/ when it
// exists, else none.
FtpDataFolder FindFtpDataFolder(const std::optional<std::string>& dataDir);

// What the client session needs: the site to connect to and the settings'
// defaults (programDirectory is left for the caller: it is where the session
// writes its key and listing files).
struct FtpSessionSetup {
    SiteRecord site;
    ClientDefaults defaults;
    int parallel = 2;   // transfers at once from the settings (1..10)
    std::string error;  // non-empty when the session cannot be set up
    std::string notice; // a warning to show before connecting
};

// Asks the user for a password (the prompt is given); nothing when nobody
// can answer.
using AskPassword = std::function<std::optional<std::string>(const std::string& prompt)>;

// Reads the settings file (when there is one) and loads its key pair into
// rsa1; takes the site from the store with --site, then lets the address and
// the options override it. A login the command line leaves open is completed
// from VEXA2_FTP_PASSWORD, ~/.netrc and finally askPassword.
FtpSessionSetup PrepareFtpSession(const FtpToolOptions& options, const std::string& dataFolder,
                                  TRSA& rsa1, const AskPassword& askPassword = {});
