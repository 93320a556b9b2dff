#pragma once
#include "ftpclient/FtpClientTypes.h"

#include <cstdint>
#include <string>

// The values the client session takes and shows, apart from the session
// itself, so that what only shows them need not see the session.

// What the session reads from the settings when a connection starts.
struct ClientDefaults {
    std::string programDirectory; // ends in "/"
    std::string publicKey;        // the program's key texts
    std::string privateKey;
    std::string keyLengthText; // "064".."256"
    std::string keyBitsText;   // "0512".."2048"
    std::string socksServer, socksPort, socksUsername, socksPassword;
    // The SOCKS version for connections through a SOCKS server: ftpSocks5,
    // ftpSocks4 or ftpSocks4A (the site store has no field for it).
    TFtpConnectionType socksLevel = ftpSocks5;
    bool passiveMode = false;
    // Seconds to wait for the greeting and for each reply.
    int timeoutSeconds = 20;
};

// The client page's state as values the window shows.
struct ClientIndicators {
    std::string Encryption;
    std::string Strength;
    std::string Algorythm;
    // What this session's key exchange gave; empty while no session has
    // reached that point (the window then shows the key pair's state).
    std::string CommandPortEncryption;
};

// Command groups enabled and disabled together.
struct ClientCommandGroups {
    bool Reconnect = false;     // 10
    bool SiteManager = true;    // 11
    bool QuickConnect = false;  // 12
    bool Disconnect = false;    // 13
    bool TransferQueue = false; // 17
    bool Stop = false;          // 18
    bool RemoteUp = false;      // 99 (with 13 and 10)
};

// Why the last connection attempt ended before the session was usable.
enum class SessionFailure { None, Connection, Login, Encryption };

// The running transfer's figures as numbers.
struct TransferProgress {
    std::int64_t Count = 0;      // bytes of the file so far, resume base included
    std::int64_t ResumeBase = 0; // bytes already there when it started
    std::int64_t FileSize = 0;   // 0 when unknown
    double Seconds = 0;          // since it started
};

// The groups of values a change notification of the session is about.
enum class SessionChange {
    Listing,    // the remote list, the path box and its paths
    Indicators, // the indicators and the command groups
    Progress,   // the running transfer's figures (after every data block)
};
