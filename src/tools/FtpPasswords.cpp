#include "tools/FtpPasswords.h"

#include "base/FileIo.h"
#include "base/PathText.h"
#include "tools/FtpTexts.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The words of a netrc file, one at a time.
class NetrcWords {
public:
    explicit NetrcWords(const std::string& text) : t_(text) {}

    std::optional<std::string> Next() {
        for (;;) {
            while (pos_ < t_.size() && IsBlank(t_[pos_]))
                ++pos_;
            if (pos_ >= t_.size())
                return std::nullopt;
            if (t_[pos_] != '#' || !FirstOnLine())
                break;
            SkipLine();
        }
        if (t_[pos_] == '"')
            return Quoted();
        const std::size_t start = pos_;
        while (pos_ < t_.size() && !IsBlank(t_[pos_]))
            ++pos_;
        return t_.substr(start, pos_ - start);
    }

    // A macro's body: the rest of its line, then every line up to an empty one.
    void SkipMacro() {
        SkipLine();
        while (pos_ < t_.size()) {
            const std::size_t end = t_.find('\n', pos_);
            const std::string line = t_.substr(pos_, end == std::string::npos ? end : end - pos_);
            pos_ = end == std::string::npos ? t_.size() : end + 1;
            if (line.empty() || line == "\r")
                return;
        }
    }

private:
    bool FirstOnLine() const {
        std::size_t i = pos_;
        while (i > 0 && (t_[i - 1] == ' ' || t_[i - 1] == '\t'))
            --i;
        return i == 0 || t_[i - 1] == '\n';
    }
    void SkipLine() {
        const std::size_t end = t_.find('\n', pos_);
        pos_ = end == std::string::npos ? t_.size() : end + 1;
    }
    std::string Quoted() {
        std::string word;
        for (++pos_; pos_ < t_.size(); ++pos_) {
            char c = t_[pos_];
            if (c == '"') {
                ++pos_;
                break;
            }
            if (c == '\\' && pos_ + 1 < t_.size()) {
                c = t_[++pos_];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
            word += c;
        }
        return word;
    }

    const std::string& t_;
    std::size_t pos_ = 0;
};

std::string HomeFolder() {
    if (const char* home = ::getenv("HOME"); home && *home)
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

// The terminal settings to put back when a signal ends the program while
// echo is off.
int gTerminal = -1;
termios gSavedTerminal{};

void RestoreTerminalAndDie(int signal) {
    ::tcsetattr(gTerminal, TCSANOW, &gSavedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

std::optional<NetrcLogin> FindNetrcLogin(const std::string& text, const std::string& host,
                                         const std::string& user) {
    struct Entry {
        bool isDefault;
        std::string machine;
        NetrcLogin login;
    };
    std::vector<Entry> entries;
    NetrcWords words(text);
    while (auto word = words.Next()) {
        if (*word == "default") {
            entries.push_back({true, {}, {}});
            continue;
        }
        if (*word == "macdef") {
            words.Next();
            words.SkipMacro();
            continue;
        }
        const bool takesValue =
            *word == "machine" || *word == "login" || *word == "password" || *word == "account";
        if (!takesValue)
            continue;
        auto value = words.Next();
        if (!value)
            break;
        if (*word == "machine")
            entries.push_back({false, *value, {}});
        else if (entries.empty())
            continue; // a value before any entry belongs to none
        else if (*word == "login")
            entries.back().login.login = *value;
        else if (*word == "password")
            entries.back().login.password = *value;
    }
    auto fits = [&](const Entry& e) {
        return user.empty() || !e.login.login || *e.login.login == user;
    };
    for (const Entry& e : entries)
        if (!e.isDefault && ::strcasecmp(e.machine.c_str(), host.c_str()) == 0 && fits(e))
            return e.login;
    for (const Entry& e : entries)
        if (e.isDefault && fits(e))
            return e.login;
    return std::nullopt;
}

NetrcLookup LookUpNetrc(const std::string& host, const std::string& user) {
    NetrcLookup result;
    const std::string home = HomeFolder();
    if (home.empty())
        return result;
    const std::string path = WithTrailingSlash(home) + ".netrc";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return result;
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[4096];
        // A password file is small; a huge one is read no further than this.
        for (ssize_t n; text.size() < (1u << 20) && (n = ::read(fd, buf, sizeof buf)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    result.entry = FindNetrcLogin(text, host, user);
    // SECURITY: a password in a file that other users can read or change, or
    // that belongs to someone else, is not the user's secret alone (anyone
    // could have read it, or planted a login of their own); as the classic
    // ftp client does, it is not used, and the user is told how to fix it.
    if (result.entry && result.entry->password &&
        ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid())) {
        result.entry->password.reset();
        result.notice = ftptool_texts::NetrcNotPrivate(path);
    }
    return result;
}

std::optional<std::string> AskPasswordOnTerminal(const std::string& prompt) {
    const int in = STDIN_FILENO;
    termios saved{};
    if (!::isatty(in) || ::tcgetattr(in, &saved) != 0)
        return std::nullopt;
    // The prompt goes to the terminal itself, so it shows even when standard
    // error is redirected.
    const int tty = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    const int out = tty >= 0 ? tty : STDERR_FILENO;
    gTerminal = in;
    gSavedTerminal = saved;
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[4];
    for (int i = 0; i < 4; ++i)
        ::sigaction(signals[i], &restore, &previous[i]);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    ::tcsetattr(in, TCSANOW, &quiet);
    WriteAll(out, prompt.data(), prompt.size());

    std::string line;
    bool ended = false;
    for (char c;;) {
        const ssize_t n = ::read(in, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ended = true;
            break;
        }
        if (c == '\n')
            break;
        if (line.size() < 4096)
            line += c;
    }
    ::tcsetattr(in, TCSANOW, &saved);
    for (int i = 0; i < 4; ++i)
        ::sigaction(signals[i], &previous[i], nullptr);
    WriteAll(out, "\n", 1); // the Enter key was not echoed
    if (tty >= 0)
        ::close(tty);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (ended && line.empty())
        return std::nullopt;
    return line;
}
