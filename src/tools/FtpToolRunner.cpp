#include "tools/FtpToolRunner.h"

#include "app/WriteLog.h"
#include "client/ClientSession.h"
#include "crypto/TRSA.h"
#include "ftpclient/TFtpClient.h"
#include "tools/FtpPrompts.h"
#include "tools/FtpTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ftptool_texts;

namespace {

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int64_t LocalSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// A one-line progress bar on a terminal, redrawn at most ten times a second.
class ProgressBar {
public:
    explicit ProgressBar(std::ostream& err) : err_(err) {}
    void Start(std::int64_t total) {
        total_ = total;
        shown_ = false;
        last_ = {};
    }
    void Show(std::int64_t count, bool force = false) {
        auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        shown_ = true;
        char line[128];
        if (total_ > 0) {
            int percent = static_cast<int>(std::min<std::int64_t>(100, count * 100 / total_));
            int filled = percent * 30 / 100;
            std::snprintf(line, sizeof line, "\r[%-30s] %3d%% %lld/%lld bytes",
                          std::string(static_cast<std::size_t>(filled), '#').c_str(), percent,
                          static_cast<long long>(count), static_cast<long long>(total_));
        } else {
            std::snprintf(line, sizeof line, "\r%lld bytes", static_cast<long long>(count));
        }
        err_ << line << std::flush;
    }
    void Finish() {
        if (shown_)
            err_ << "\n";
        shown_ = false;
    }

private:
    std::ostream& err_;
    std::int64_t total_ = 0;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// Connects through the client session (login, key exchange, key-file check,
// first listing) and sleeps in the loop until it is ready or has failed: each
// finished request wakes it, and so does a timer at the time-out. The reason
// of a failure is the session's last red log line. Silence longer than the
// time-out aborts.
bool OpenSession(ClientSession& session, TFtpClient& client, const std::string& lastRed,
                 std::chrono::steady_clock::time_point& lastActivity, int timeout,
                 std::string& reason) {
    QEventLoop loop;
    bool openDone = false;
    bool ready = false;
    bool timedOut = false;
    auto finished = [&] {
        if (session.Groups().RemoteUp)
            ready = true;
        return ready || (openDone && !client.Connected());
    };
    auto sessionDone = client.OnRequestDone;
    client.OnRequestDone = [&](TCustomFtpCli* sender, TFtpRequest request, int error) {
        if (request == ftpOpen)
            openDone = true;
        if (sessionDone)
            sessionDone(sender, request, error);
        if (finished())
            loop.quit();
    };
    QTimer silence;
    silence.setSingleShot(true);
    auto armSilence = [&] {
        using namespace std::chrono;
        const auto left = lastActivity + seconds(timeout) - steady_clock::now();
        silence.start(
            static_cast<int>(std::max<std::int64_t>(0, duration_cast<milliseconds>(left).count())));
    };
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        // Activity moves the time-out on; the timer looks again when it fires early.
        if (std::chrono::steady_clock::now() - lastActivity < std::chrono::seconds(timeout)) {
            armSilence();
            return;
        }
        timedOut = true;
        loop.quit();
    });
    lastActivity = std::chrono::steady_clock::now();
    session.Connect();
    if (timeout > 0)
        armSilence();
    if (!finished())
        loop.exec();
    // A server that closes right after the first listing (refusing it) has
    // not let the session in.
    if (ready && !client.Connected())
        ready = false;
    if (timedOut && !ready) {
        client.Abort();
        QCoreApplication::processEvents();
        reason = kTimedOut;
    }
    // From here on the tool drives the engine itself; the session stays only
    // for its cipher hooks and its log.
    client.OnRequestDone = nullptr;
    if (!ready && reason.empty())
        reason = lastRed;
    return ready;
}

} // namespace

int RunFtpTool(const FtpToolOptions& o, const FtpSessionSetup& setup, TRSA& rsa1, std::ostream& out,
               std::ostream& err, bool progressBar) {
    // The session writes its key file and listings here, never into the
    // data folder, and everything goes when the run ends.
    QTemporaryDir work(QDir::tempPath() + "/vexa2-ftp-XXXXXX");
    if (!work.isValid()) {
        err << kPrefix << kTempFolderFailed << work.errorString().toStdString() << "\n";
        return 1;
    }
    ClientDefaults defaults = setup.defaults;
    defaults.programDirectory = work.path().toStdString() + "/";

    TFtpClient client;
    TRSA rsa2;
    FtpNoPrompts prompts(err);
    std::string lastRed;
    // Red lines (errors, refusals, a failed key check) are never lost: with
    // --verbose they are in the log; without it, those met while logging in
    // are shown once the session goes on regardless (a failure shows its
    // reason instead), and later ones at once.
    std::vector<std::string> heldRed;
    bool loggedIn = false;
    auto lastActivity = std::chrono::steady_clock::now();
    LogWriter log = [&](int, const std::string& text, TColor colour) {
        lastActivity = std::chrono::steady_clock::now();
        if (colour == colours::clRed) {
            lastRed = text;
            if (!o.verbose && !loggedIn)
                heldRed.push_back(text);
            else if (!o.verbose)
                err << kPrefix << text << "\n";
        }
        // SECURITY: the password is never shown, as in the program's own log.
        if (o.verbose)
            err << MaskPassword(text) << "\n";
    };
    if (o.socksLevel != "5")
        defaults.socksLevel = o.socksLevel == "4" ? ftpSocks4 : ftpSocks4A;
    ClientSession session(client, rsa1, rsa2, prompts, log, [defaults] { return defaults; });
    session.CurrentSite = setup.site;
    client.Timeout = o.timeout;
    auto sessionProgress = client.OnProgress;
    client.OnProgress = [&](TCustomFtpCli* sender, std::int64_t count, bool& abort) {
        lastActivity = std::chrono::steady_clock::now();
        if (sessionProgress)
            sessionProgress(sender, count, abort);
    };

    ProgressBar bar(err);
    bool barActive = false;
    auto fail = [&](const std::string& what, std::string reason = {}) {
        bar.Finish();
        if (reason.empty())
            reason = client.ErrorMessage();
        if (reason.empty())
            reason = client.LastResponse();
        if (reason.empty())
            reason = kNoReply;
        err << kPrefix << kFailedPrefix << what << ": " << reason << "\n";
        if (client.Connected() && client.State() == TFtpState::ftpcReady)
            client.QuitSync();
        return 1;
    };

    std::string reason;
    if (!OpenSession(session, client, lastRed, lastActivity, o.timeout, reason))
        return fail(kLoginStep, reason);
    loggedIn = true;
    for (const std::string& line : heldRed)
        err << kPrefix << line << "\n";
    // SECURITY: with mandatory encryption no file is moved or changed in
    // plain, also when the key check never ran (a server that does not call
    // itself ours, or a site without a key): the session only quits when a
    // check that ran failed.
    if (session.ConnectedSite.EncryptionMandatory && !session.ClientEncryptionActive)
        return fail(kLoginStep, kMandatoryNotAgreed);

    client.OnProgress = [&](TCustomFtpCli*, std::int64_t count, bool&) {
        if (barActive)
            bar.Show(count);
    };
    client.OnDisplayFile = [&out](TCustomFtpCli*, const std::string& line) { out << line << "\n"; };

    if (!o.url.path.empty()) {
        client.HostDirName = o.url.path;
        if (!client.CwdSync())
            return fail("cd " + o.url.path);
    }
    if (!client.TypeBinarySync())
        return fail("TYPE I");

    for (const auto& cmd : o.commands) {
        const auto& a = cmd.args;
        bool ok = false;
        client.DisplayFileFlag = false;
        client.ResumeOffset = 0;
        std::string label = cmd.name;
        for (const auto& arg : a)
            label += " " + arg;
        auto transfer = [&](std::int64_t total, const std::function<bool()>& run) {
            barActive = progressBar;
            if (barActive)
                bar.Start(total);
            bool result = run();
            if (barActive && result)
                bar.Show(client.TransferCount() + client.ResumeOffset, true);
            bar.Finish();
            barActive = false;
            return result;
        };
        if (cmd.name == "ls" || cmd.name == "nlst") {
            client.HostFileName = a.empty() ? "" : a[0];
            client.LocalFileName.clear();
            client.DisplayFileFlag = true;
            ok = cmd.name == "ls" ? client.DirSync() : client.LsSync();
            out.flush();
        } else if (cmd.name == "get" || cmd.name == "resume-get") {
            client.HostFileName = a[0];
            client.LocalFileName = a.size() > 1 ? a[1] : BaseName(a[0]);
            // The size also lets the engine fail a download that ends short
            // (a server that does not know SIZE just leaves it unknown).
            std::int64_t total = -1;
            if (client.SizeSync())
                total = client.ReplySize();
            client.HostFileName = a[0];
            ok = transfer(
                total, [&] { return cmd.name == "get" ? client.GetSync() : client.RestGetSync(); });
        } else if (cmd.name == "put" || cmd.name == "append" || cmd.name == "resume-put") {
            client.LocalFileName = a[0];
            client.HostFileName = a.size() > 1 ? a[1] : BaseName(a[0]);
            if (cmd.name == "resume-put") {
                // Continue from what the server already holds; nothing there
                // means from the start.
                client.ResumeOffset = client.SizeSync() ? client.ReplySize() : 0;
            }
            std::int64_t total = LocalSize(a[0]);
            ok = transfer(total, [&] {
                if (cmd.name == "put")
                    return client.PutSync();
                if (cmd.name == "append")
                    return client.AppendSync();
                return client.RestPutSync();
            });
        } else if (cmd.name == "mkdir") {
            client.HostFileName = a[0];
            ok = client.MkdSync();
        } else if (cmd.name == "rmdir") {
            client.HostFileName = a[0];
            ok = client.RmdSync();
        } else if (cmd.name == "rm") {
            client.HostFileName = a[0];
            ok = client.DeleSync();
        } else if (cmd.name == "mv") {
            client.HostFileName = a[0];
            client.LocalFileName = a[1];
            ok = client.RenameSync();
        } else if (cmd.name == "size") {
            client.HostFileName = a[0];
            ok = client.SizeSync();
            if (ok)
                out << client.ReplySize() << "\n";
        } else if (cmd.name == "pwd") {
            ok = client.PwdSync();
            if (ok)
                out << client.ReplyPath() << "\n";
        } else if (cmd.name == "quote") {
            client.LocalFileName = a[0];
            ok = client.QuoteSync();
            if (ok)
                out << client.LastResponse() << "\n";
        }
        if (!ok)
            return fail(label);
    }
    client.QuitSync();
    return 0;
}
