// vexa2-ftp's commands that run through the transfer queue: folders by
// recursion, and several files by pattern.
#include "tools/FtpQueueCommands.h"

#include "client/QueueTexts.h"
#include "tools/FtpTexts.h"

#include <algorithm>
#include <fnmatch.h>
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

// What a failed entry is reported as: the command and the path it names.
std::string EntryLabel(const QueueEntry& e) {
    const bool down = e.Direction == queue_texts::kDownload;
    return (down ? "get " : "put ") + (down ? e.Remote : e.Local);
}

// Runs the queue until nothing more can start. An entry that could not
// start stays behind and the runner passes over it, as the Transfer Queue
// command would on the next press. An entry the server left waiting past
// the time-out is reported; the connection is then gone, so the entries
// still queued run on a new one.
bool RunQueue(FtpQueueRun& run) {
    TransferQueue& q = run.queue;
    auto idle = [&] { return !q.Busy() && !run.session.TransferRunning(); };
    auto waiting = [&] {
        for (const QueueEntry& e : q.Entries())
            if (e.Status == queue_texts::kQueued)
                return true;
        return false;
    };
    std::vector<QueueEntry> left;
    run.waiter.BeforeAbort = [&] { left = q.Entries(); };
    run.waiter.SuperviseAlone(true);
    bool ok = true;
    q.Run();
    while (true) {
        if (!run.waiter.Until(idle)) {
            for (const QueueEntry& e : left) {
                if (e.Status == queue_texts::kQueued)
                    continue;
                ++run.failures;
                run.report(EntryLabel(e), Failure(426, kTimedOut));
            }
            ok = false;
            run.waiter.ClearTimedOut();
            if (!waiting() && std::none_of(left.begin(), left.end(), [](const QueueEntry& e) {
                    return e.Status == queue_texts::kQueued;
                }))
                break;
            if (!run.reconnect || !run.reconnect())
                break;
            for (const QueueEntry& e : left)
                if (e.Status == queue_texts::kQueued)
                    q.Requeue(e);
            left.clear();
            q.Run();
            continue;
        }
        if (!waiting())
            break;
        q.Run();
    }
    run.waiter.BeforeAbort = nullptr;
    run.waiter.SuperviseAlone(false);
    return ok;
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

bool GetFolder(FtpQueueRun& run, const std::string& remote, const std::string& local) {
    const std::string home = run.session.RemotePath();
    std::string target = local.empty() ? LastPart(remote) : WithoutTrailingSlashes(local);
    if (target.empty() || target == "/")
        target = local.empty() ? std::string(".") : target;
    // An absolute path: the entries inside are named from it, whatever the
    // server's current directory is by then.
    run.queue.AddTransfer(false, true, target, AbsoluteRemotePath(home, remote), 0);
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
                          0);
    return QueueAndRun(run, home);
}

bool GetMatching(FtpQueueRun& run, const std::vector<std::string>& patterns) {
    bool ok = true;
    for (const std::string& pattern : patterns) {
        const std::string home = run.session.RemotePath();
        const std::string folder = FolderPart(pattern);
        const std::string remoteDir = folder.empty() ? home : AbsoluteRemotePath(home, folder);
        const std::string namePattern = LastPart(pattern);
        // The pattern is matched here, never by the server (many refuse a
        // pattern in NLST): the folder's listing gives the names with their
        // sizes and kinds, its NLST the names the listing may not show.
        TransferResult listed = run.waiter.Run(
            [&](TransferDone done) { run.session.ListDirectory(remoteDir, std::move(done)); });
        std::set<std::string> names;
        TransferResult named;
        if (listed.Error == 0)
            named = run.waiter.Run([&](TransferDone done) {
                run.session.ShowListing(
                    "", true,
                    [&](const std::string& line) {
                        std::string name = line;
                        if (!name.empty() && name.back() == '\r')
                            name.pop_back();
                        // Bare names and "folder/name" alike.
                        if (!name.empty())
                            names.insert(LastPart(name));
                    },
                    std::move(done));
            });
        // An empty folder's NLST may be refused (550): no names then.
        if (listed.Error != 0 ||
            (named.Error != 0 && (named.Error < 400 || run.waiter.TimedOut()))) {
            run.report("mget " + pattern, listed.Error != 0 ? listed : named);
            ReturnTo(run, home);
            ok = false;
            continue;
        }
        auto matches = [&](const std::string& name) {
            return ::fnmatch(namePattern.c_str(), name.c_str(), FNM_PERIOD) == 0;
        };
        std::vector<RemoteItem> items;
        std::set<std::string> listedNames;
        for (const RemoteItem& item : run.session.RemoteItems()) {
            const bool link = item.Icon == RemoteIcon::Link;
            const std::string name = link ? LinkTargetName(item.Caption) : item.Caption;
            listedNames.insert(name);
            if (item.Icon != RemoteIcon::Folder && matches(name))
                items.push_back(item);
        }
        for (const std::string& name : names) {
            if (listedNames.count(name) || !matches(name))
                continue;
            RemoteItem item;
            item.Caption = name;
            item.SizeText = "0";
            items.push_back(item);
        }
        if (items.empty()) {
            run.report("mget " + pattern, Failure(550, kNoRemoteMatch + pattern));
            ReturnTo(run, home);
            ok = false;
            continue;
        }
        run.queue.AddDownloadsFrom(items, ".", remoteDir, remoteDir);
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
