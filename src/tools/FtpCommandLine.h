#pragma once
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
};

struct FtpToolCommand {
    std::string name; // ls, nlst, get, put, append, resume-get, resume-put, mkdir, rmdir, rm, mv, size, pwd, quote
    std::vector<std::string> args;
};

struct FtpToolOptions {
    bool passive = true;
    std::string socksHost;
    std::string socksPort;
    std::string socksLevel = "5";
    std::string socksUser;
    std::string socksPassword;
    bool verbose = false;
    bool help = false;
    int timeout = 15;
    std::optional<std::string> dataDir;
    FtpUrl url;
    std::vector<FtpToolCommand> commands;
    std::string error; // non-empty when the arguments are wrong
};

// Reads "ftp://[user[:password]@]host[:port]/[path]" (user, password and path
// may be percent-encoded). Empty on a malformed address.
std::optional<FtpUrl> ParseFtpUrl(const std::string& text);

// args excludes the program name.
FtpToolOptions ParseFtpToolArgs(const std::vector<std::string>& args);
