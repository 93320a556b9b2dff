#pragma once
#include <optional>
#include <string>

// Where vexa2-ftp finds a login the command line leaves out: the user's
// ~/.netrc and the terminal.

struct NetrcLogin {
    std::optional<std::string> login;
    std::optional<std::string> password;
};

// Reads netrc text as curl and lftp do: whitespace-separated words,
// "machine NAME", "default", "login NAME", "password TEXT", "account TEXT"
// (ignored), "macdef NAME" with its body up to the next empty line (skipped),
// a word in double quotes may hold blanks and \" \\ \n \r \t, and a line whose
// first word starts with "#" is a comment. Returns the first machine entry
// for host (letter case ignored) whose login is user or unset (any login when
// user is empty), else the default entry under the same rule.
std::optional<NetrcLogin> FindNetrcLogin(const std::string& text, const std::string& host,
                                         const std::string& user);

struct NetrcLookup {
    std::optional<NetrcLogin> entry;
    std::string notice; // why a password of the file was not used
};

// Looks host and user up in $HOME/.netrc (the password database's home when
// HOME is unset); a missing file finds nothing.
NetrcLookup LookUpNetrc(const std::string& host, const std::string& user);

// Asks for a password on the terminal without echo. Nothing when standard
// input is not a terminal (a script is never held waiting) or input ends.
std::optional<std::string> AskPasswordOnTerminal(const std::string& prompt);
