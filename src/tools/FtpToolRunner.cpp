#include "tools/FtpToolRunner.h"

#include "ftpclient/TFtpClient.h"
#include "tools/FtpTexts.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

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

} // namespace

int RunFtpTool(const FtpToolOptions& o, std::ostream& out, std::ostream& err, bool progressBar) {
    TFtpClient client;
    ProgressBar bar(err);
    bool barActive = false;
    client.Timeout = o.timeout;
    client.HostName = o.url.host;
    client.Port = o.url.port;
    client.UserName = o.url.user;
    client.PassWord = o.url.password;
    client.Binary = true;
    if (!o.socksHost.empty()) {
        client.SetSocksServer(o.socksHost);
        client.SetSocksPort(o.socksPort);
        client.SetSocksUserCode(o.socksUser);
        client.SetSocksPassword(o.socksPassword);
        client.SetConnectionType(o.socksLevel == "4" ? ftpSocks4 : o.socksLevel == "4A" ? ftpSocks4A : ftpSocks5);
    } else {
        client.SetUsePassive(o.passive);
    }
    if (o.verbose) {
        client.OnCommand = [&err](TCustomFtpCli*, std::string& cmd) { err << kSendTrace << cmd << "\n"; };
        client.OnResponse = [&err](TCustomFtpCli* c) { err << kRecvTrace << c->LastResponse() << "\n"; };
    }
    client.OnProgress = [&](TCustomFtpCli*, std::int64_t count, bool&) {
        if (barActive)
            bar.Show(count);
    };
    client.OnDisplayFile = [&out](TCustomFtpCli*, const std::string& line) { out << line << "\n"; };

    auto fail = [&](const std::string& what) {
        bar.Finish();
        std::string reason = client.ErrorMessage();
        if (reason.empty())
            reason = client.LastResponse();
        if (reason.empty())
            reason = kNoReply;
        err << kPrefix << kFailedPrefix << what << ": " << reason << "\n";
        if (client.Connected())
            client.QuitSync();
        return 1;
    };

    if (!client.ConnectSync())
        return fail("login");
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
            std::int64_t total = -1;
            if (progressBar && client.SizeSync())
                total = client.ReplySize();
            client.HostFileName = a[0];
            ok = transfer(total, [&] { return cmd.name == "get" ? client.GetSync() : client.RestGetSync(); });
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
