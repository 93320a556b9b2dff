#include "tools/FtpToolRunner.h"

#include "app/WriteLog.h"
#include "client/ClientSession.h"
#include "crypto/TRSA.h"
#include "ftpclient/TFtpClient.h"
#include "tools/FtpPrompts.h"
#include "tools/FtpTexts.h"
#include "tools/FtpToolWaiter.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ftptool_texts;
using Clock = FtpToolWaiter::Clock;

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
        auto now = Clock::now();
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
    Clock::time_point last_{};
};

// Connects through the client session (login, key exchange, key-file check,
// first listing) and waits until it is ready or has failed. The reason of a
// failure is the session's last red log line.
bool OpenSession(ClientSession& session, TFtpClient& client, FtpToolWaiter& waiter,
                 const std::string& lastRed, std::string& reason) {
    auto finished = [&] {
        return session.Groups().RemoteUp || !session.Groups().Disconnect ||
               session.Failure() != SessionFailure::None;
    };
    session.Connect();
    bool ready = waiter.Until(finished) && session.Groups().RemoteUp &&
                 session.Failure() == SessionFailure::None;
    // A server that closes right after the first listing (refusing it) has
    // not let the session in.
    if (ready && !client.Connected())
        ready = false;
    if (waiter.TimedOut())
        reason = kTimedOut;
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
    // or during a command are held and shown once it is over (a failure
    // shows its reason instead of the line that said it).
    std::vector<std::string> heldRed;
    auto lastActivity = Clock::now();
    LogWriter log = [&](int, const std::string& text, TColor colour) {
        lastActivity = Clock::now();
        if (colour == colours::clRed) {
            lastRed = text;
            if (!o.verbose)
                heldRed.push_back(text);
        }
        // SECURITY: the password is never shown, as in the program's own log.
        if (o.verbose)
            err << MaskPassword(text) << "\n";
    };
    auto showHeld = [&](const std::string& except) {
        for (const std::string& line : heldRed)
            if (line != except)
                err << kPrefix << line << "\n";
        heldRed.clear();
    };
    if (o.socksLevel != "5")
        defaults.socksLevel = o.socksLevel == "4" ? ftpSocks4 : ftpSocks4A;
    ClientSession session(client, rsa1, rsa2, prompts, log, [defaults] { return defaults; });
    session.CurrentSite = setup.site;
    client.Timeout = o.timeout;

    FtpToolWaiter waiter(client, lastActivity, o.timeout);
    ProgressBar bar(err);
    bool barActive = false;
    session.OnChanged = [&] {
        if (barActive) {
            lastActivity = Clock::now();
            bar.Show(session.Progress().Count);
        }
        waiter.Wake();
    };

    auto fail = [&](const std::string& what, std::string reason) {
        bar.Finish();
        if (reason.empty())
            reason = client.ErrorMessage();
        if (reason.empty())
            reason = client.LastResponse();
        if (reason.empty())
            reason = kNoReply;
        showHeld(reason);
        err << kPrefix << kFailedPrefix << what << ": " << reason << "\n";
        if (client.Connected() && client.State() == TFtpState::ftpcReady)
            client.QuitSync();
        return 1;
    };

    std::string reason;
    if (!OpenSession(session, client, waiter, lastRed, reason)) {
        heldRed.clear(); // the reason says it
        return fail(kLoginStep, reason);
    }
    showHeld({});
    // SECURITY: with mandatory encryption no file is moved or changed in
    // plain, also when the key check never ran (a server that does not call
    // itself ours, or a site without a key): the session only quits when a
    // check that ran failed.
    if (session.ConnectedSite.EncryptionMandatory && !session.ClientEncryptionActive)
        return fail(kLoginStep, kMandatoryNotAgreed);

    auto run = [&](const std::function<void(TransferDone)>& start) { return waiter.Run(start); };
    auto why = [](const TransferResult& r) {
        return r.ErrorMessage.empty() ? r.Reply : r.ErrorMessage;
    };

    if (!o.url.path.empty()) {
        const TransferResult r =
            run([&](TransferDone done) { session.EnterDirectory(o.url.path, std::move(done)); });
        if (r.Error != 0)
            return fail("cd " + o.url.path, why(r));
    }

    for (const auto& cmd : o.commands) {
        const auto& a = cmd.args;
        std::string label = cmd.name;
        for (const auto& arg : a)
            label += " " + arg;
        auto transfer = [&](std::int64_t total, const std::function<void(TransferDone)>& start) {
            barActive = progressBar;
            if (barActive)
                bar.Start(total);
            TransferResult r = run(start);
            if (barActive && r.Error == 0)
                bar.Show(session.Progress().Count, true);
            bar.Finish();
            barActive = false;
            return r;
        };
        TransferResult r;
        if (cmd.name == "ls" || cmd.name == "nlst") {
            const std::string path = a.empty() ? "" : a[0];
            r = run([&](TransferDone done) {
                session.ShowListing(
                    path, cmd.name == "nlst",
                    [&out](const std::string& line) { out << line << "\n"; }, std::move(done));
            });
            out.flush();
        } else if (cmd.name == "get" || cmd.name == "resume-get") {
            const std::string remote = a[0];
            const std::string local = a.size() > 1 ? a[1] : BaseName(a[0]);
            // The size also lets the engine fail a download that ends short
            // (a server that does not know SIZE just leaves it unknown).
            const TransferResult size =
                run([&](TransferDone done) { session.RemoteFileSize(remote, std::move(done)); });
            const std::int64_t total = size.Error == 0 ? size.Size : -1;
            r = transfer(total, [&](TransferDone done) {
                const std::int64_t known = std::max<std::int64_t>(0, total);
                if (cmd.name == "get")
                    session.Download(remote, local, known, std::move(done));
                else
                    session.ResumeDownload(remote, local, known, std::move(done));
            });
        } else if (cmd.name == "put" || cmd.name == "append" || cmd.name == "resume-put") {
            const std::string local = a[0];
            const std::string remote = a.size() > 1 ? a[1] : BaseName(a[0]);
            std::int64_t offset = 0;
            if (cmd.name == "resume-put") {
                // Continue from what the server already holds; nothing there
                // means from the start.
                const TransferResult size = run(
                    [&](TransferDone done) { session.RemoteFileSize(remote, std::move(done)); });
                offset = size.Error == 0 ? std::max<std::int64_t>(0, size.Size) : 0;
            }
            const std::int64_t total = LocalSize(local);
            r = transfer(total, [&](TransferDone done) {
                const std::int64_t known = std::max<std::int64_t>(0, total);
                if (cmd.name == "put")
                    session.Upload(local, remote, known, std::move(done));
                else if (cmd.name == "append")
                    session.AppendUpload(local, remote, 0, known, std::move(done));
                else
                    session.ResumeUpload(local, remote, offset, known, std::move(done));
            });
        } else if (cmd.name == "mkdir") {
            r = run([&](TransferDone done) { session.MakeRemoteDirectory(a[0], std::move(done)); });
        } else if (cmd.name == "rmdir") {
            r = run([&](TransferDone done) { session.RemoveDirectory(a[0], std::move(done)); });
        } else if (cmd.name == "rm") {
            r = run([&](TransferDone done) { session.DeleteFile(a[0], std::move(done)); });
        } else if (cmd.name == "mv") {
            r = run([&](TransferDone done) { session.RenameFile(a[0], a[1], std::move(done)); });
        } else if (cmd.name == "size") {
            r = run([&](TransferDone done) { session.RemoteFileSize(a[0], std::move(done)); });
            if (r.Error == 0)
                out << r.Size << "\n";
        } else if (cmd.name == "pwd") {
            r = run([&](TransferDone done) { session.CurrentDirectory(std::move(done)); });
            if (r.Error == 0)
                out << r.ReplyPath << "\n";
        } else if (cmd.name == "quote") {
            r = run([&](TransferDone done) { session.QuoteLine(a[0], std::move(done)); });
            if (r.Error == 0)
                out << r.Reply << "\n";
        }
        if (r.Error != 0)
            return fail(label, why(r));
        showHeld({});
    }
    if (client.Connected() && client.State() == TFtpState::ftpcReady)
        client.QuitSync();
    return 0;
}
