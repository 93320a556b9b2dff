#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What vexa2-ftp was asked to do, read from its arguments.
struct FtpUrl {
    std::string user;
    std::string password;
    std::string host;
    std::string port = "21";
    std::string path; // directory to change into after login; empty: stay
    // Which parts the address spelt out; with --site only those override
    // the stored site.
    bool given = false;
    bool userGiven = false;
    bool passwordGiven = false;
    bool portGiven = false;
};

struct FtpToolCommand {
    std::string name; // ls, nlst, get, put, append, resume-get, resume-put, mkdir, rmdir, rm, mv,
                      // size, pwd, quote
    std::vector<std::string> args;
    bool recursive = false; // get -r, put -r: a folder by recursion
    bool reverse = false;   // mirror -R: local to remote
};

// What to do with a transfer's target that exists already.
enum class FtpExisting { Overwrite, Resume, Skip, Ask };

struct FtpToolOptions {
    bool passive = true;
    bool passiveGiven = false; // --passive or --active was given
    std::string socksHost;
    std::string socksPort;
    std::string socksLevel = "5";
    std::string socksUser;
    std::string socksPassword;
    bool verbose = false;
    bool help = false;
    int timeout = 15;
    std::optional<std::string> dataDir;
    std::optional<std::string> settingsFile;       // --settings FILE
    std::optional<std::string> site;               // --site NAME from the site store
    std::optional<std::string> key;                // --key TEXT: an encrypted login (type 3)
    bool mandatory = false;                        // --mandatory: quit unless encryption is agreed
    bool noRsa = false;                            // --no-rsa: no enciphered command channel
    FtpExisting existing = FtpExisting::Overwrite; // --resume, --overwrite, --skip, --ask
    bool existingGiven = false;
    bool progress = false; // --progress: the progress line also on a pipe
    bool quiet = false;    // -q, --quiet: no progress line, no notices
    // --limit-rate RATE: bytes per second for each transfer, both ways
    // (-1: not given). RATE takes a k, m or g suffix (times 1024 each).
    std::int64_t limitRate = -1;
    // -j N, --parallel N: transfers at once (1..10); unset: the settings'.
    std::optional<int> parallel;
    bool mirrorDelete = false; // --delete: mirror removes what the source lacks
    bool dryRun = false;       // --dry-run: mirror lists and changes nothing
    FtpUrl url;
    std::vector<FtpToolCommand> commands;
    std::string error; // non-empty when the arguments are wrong
};

// A rate such as "500", "200k", "2M" or "1g" in bytes per second
// (k, m, g: times 1024, 1024^2, 1024^3); empty when malformed.
std::optional<std::int64_t> ParseRate(const std::string& text);

// Reads "ftp://[user[:password]@]host[:port]/[path]" (user, password and path
// may be percent-encoded). Empty on a malformed address.
std::optional<FtpUrl> ParseFtpUrl(const std::string& text);

// args excludes the program name. The address may be left out when --site
// names a stored site.
FtpToolOptions ParseFtpToolArgs(const std::vector<std::string>& args);
