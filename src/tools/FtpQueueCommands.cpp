// vexa2-ftp's commands that run through the transfer queue: folders by
// recursion, and several files by pattern.
#include "tools/FtpQueueCommands.h"

#include "client/QueueTexts.h"
#include "tools/FtpTexts.h"

#include <glob.h>
#include <set>
#include <sys/stat.h>

using namespace ftptool_texts;

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string LastPart(const std::string& path) {
    const std::string p = WithoutTrailingSlashes(path);
    const std::size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The folder part of a path, "" when there is none.
std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TransferResult Failure(int error, const std::string& message) {
    TransferResult r;
    r.Error = error;
    r.ErrorMessage = message;
    return r;
}

// Runs the queue until nothing more can start. An entry that could not
// start stays behind and the runner passes over it, as the Transfer Queue
// command would on the next press.
bool RunQueue(FtpQueueRun& run) {
    TransferQueue& q = run.queue;
    auto idle = [&] { return !q.Busy() && !run.session.TransferRunning(); };
    auto waiting = [&] {
        for (const QueueEntry& e : q.Entries())
            if (e.Status == queue_texts::kQueued)
                return true;
        return false;
    };
    q.Run();
    while (true) {
        if (!run.waiter.Until(idle))
            return false;
        if (!waiting())
            return true;
        q.Run();
    }
}

// Back to the directory a command started in: later commands name their
// paths from there.
bool ReturnTo(FtpQueueRun& run, const std::string& home) {
    if (home.empty() || run.session.RemotePath() == home || run.waiter.TimedOut())
        return true;
    const TransferResult r = run.waiter.Run(
        [&](TransferDone done) { run.session.EnterDirectory(home, std::move(done)); });
    if (r.Error != 0) {
        run.report("cd " + home, r);
        return false;
    }
    run.session.ShowRemotePath(r.ReplyPath);
    return true;
}

bool QueueAndRun(FtpQueueRun& run, const std::string& home) {
    const int before = run.failures;
    bool ok = RunQueue(run);
    ok = ReturnTo(run, home) && ok;
    return ok && run.failures == before;
}

} // namespace

std::string AbsoluteRemotePath(const std::string& dir, const std::string& path) {
    std::vector<std::string> parts;
    auto add = [&](const std::string& text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t slash = text.find('/', start);
            if (slash == std::string::npos)
                slash = text.size();
            const std::string part = text.substr(start, slash - start);
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = slash + 1;
        }
    };
    if (path.empty() || path[0] != '/')
        add(dir);
    add(path);
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

bool GetFolder(FtpQueueRun& run, const std::string& remote, const std::string& local) {
    const std::string home = run.session.RemotePath();
    std::string target = local.empty() ? LastPart(remote) : WithoutTrailingSlashes(local);
    if (target.empty() || target == "/")
        target = local.empty() ? std::string(".") : target;
    run.queue.AddTransfer(false, true, target, WithoutTrailingSlashes(remote), "0");
    return QueueAndRun(run, home);
}

bool PutFolder(FtpQueueRun& run, const std::string& local, const std::string& remote) {
    const std::string home = run.session.RemotePath();
    if (!IsFolder(local)) {
        run.report("put -r " + local, Failure(kLocalFileFailed, kNotLocalFolder + local));
        return false;
    }
    const std::string name = remote.empty() ? LastPart(local) : remote;
    // The queue checks the server's reply against this path: it must be
    // absolute and plain.
    run.queue.AddTransfer(true, true, WithoutTrailingSlashes(local), AbsoluteRemotePath(home, name),
                          "0");
    return QueueAndRun(run, home);
}

bool GetMatching(FtpQueueRun& run, const std::vector<std::string>& patterns) {
    bool ok = true;
    for (const std::string& pattern : patterns) {
        const std::string home = run.session.RemotePath();
        const std::string folder = FolderPart(pattern);
        // The folder's listing gives the sizes (for the file-exists
        // question and the progress), the server's NLST picks the names.
        TransferResult listed = run.waiter.Run([&](TransferDone done) {
            run.session.ListDirectory(folder.empty() ? home : folder, std::move(done));
        });
        std::set<std::string> names;
        TransferResult matched;
        if (listed.Error == 0)
            matched = run.waiter.Run([&](TransferDone done) {
                run.session.ShowListing(
                    LastPart(pattern), true,
                    [&](const std::string& line) {
                        std::string name = line;
                        if (!name.empty() && name.back() == '\r')
                            name.pop_back();
                        names.insert(LastPart(name));
                    },
                    std::move(done));
            });
        if (listed.Error != 0 || (matched.Error != 0 && matched.Error < 400)) {
            run.report("mget " + pattern, listed.Error != 0 ? listed : matched);
            ReturnTo(run, home);
            ok = false;
            continue;
        }
        // A pattern the server matches with nothing may also be refused
        // (550): either way nothing matched.
        std::vector<RemoteItem> items;
        for (const RemoteItem& item : run.session.RemoteItems())
            if (item.Icon == RemoteIcon::File && names.count(item.Caption))
                items.push_back(item);
        if (items.empty()) {
            run.report("mget " + pattern, Failure(550, kNoRemoteMatch + pattern));
            ReturnTo(run, home);
            ok = false;
            continue;
        }
        run.queue.AddDownloads(items, ".");
        ok = QueueAndRun(run, home) && ok;
    }
    return ok;
}

bool PutMatching(FtpQueueRun& run, const std::vector<std::string>& patterns) {
    const std::string home = run.session.RemotePath();
    // The remote directory's listing gives the sizes of what is there.
    const TransferResult listed = run.waiter.Run(
        [&](TransferDone done) { run.session.ListDirectory(home, std::move(done)); });
    if (listed.Error != 0) {
        run.report("mput", listed);
        return false;
    }
    bool ok = true;
    for (const std::string& pattern : patterns) {
        glob_t found{};
        const int rc = ::glob(pattern.c_str(), 0, nullptr, &found);
        std::size_t queued = 0;
        for (std::size_t i = 0; rc == 0 && i < found.gl_pathc; ++i) {
            const std::string path = found.gl_pathv[i];
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue; // folders go with put -r
            LocalItem item;
            item.Name = LastPart(path);
            item.Size = static_cast<std::int64_t>(st.st_size);
            const std::string folder = FolderPart(path);
            run.queue.AddUploads({item}, folder.empty() ? std::string(".") : folder);
            ++queued;
        }
        ::globfree(&found);
        if (queued == 0) {
            run.report("mput " + pattern, Failure(kLocalFileFailed, kNoLocalMatch + pattern));
            ok = false;
        }
    }
    return QueueAndRun(run, home) && ok;
}
