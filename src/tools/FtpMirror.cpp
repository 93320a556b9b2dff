// vexa2-ftp mirror: compares a remote and a local tree and moves only what
// differs.
#include "tools/FtpMirror.h"

#include "client/RemotePath.h"
#include "tools/FtpMirrorPlan.h"
#include "tools/FtpTexts.h"

#include <QTimer>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace ftptool_texts;
namespace fs = std::filesystem;

namespace {

std::string Join(const std::string& top, const std::string& relative) {
    if (relative.empty())
        return top;
    return top == "/" ? "/" + relative : top + "/" + relative;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

TransferResult LocalFailure(const std::string& what, int error) {
    TransferResult r;
    r.Error = kLocalFileFailed;
    r.ErrorMessage = what + ": " + std::strerror(error);
    return r;
}

// The local tree under top; false when top is no folder (exists then says
// whether anything is there).
bool ReadLocalTree(const std::string& top, MirrorTree& tree, bool& exists) {
    struct stat st {};
    exists = ::lstat(top.c_str(), &st) == 0;
    if (!exists || !S_ISDIR(st.st_mode))
        return false;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(top, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        const std::string path = it->path().string();
        const std::string relative = path.substr(top.size() + 1);
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0)
            continue;
        if (S_ISDIR(entry.st_mode))
            tree.folders.push_back(relative);
        else if (S_ISREG(entry.st_mode))
            tree.files[relative] = {static_cast<std::int64_t>(entry.st_size),
                                    {static_cast<std::int64_t>(entry.st_mtim.tv_sec), 0}};
    }
    return !ec;
}

std::string MdtmArgument(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &tm);
    return text;
}

void SetLocalTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class Mirror {
public:
    Mirror(FtpQueueRun& run, FtpParallel& pool, const FtpMirrorOptions& options, std::ostream& out)
        : run_(run), pool_(pool), o_(options), out_(out) {}

    bool Go(const std::string& source, const std::string& target) {
        home_ = run_.session.RemotePath();
        const std::string remoteArg = o_.reverse ? target : source;
        localTop_ = WithoutTrailingSlashes(o_.reverse ? source : target);
        remoteTop_ = WithoutTrailingSlashes(AbsoluteRemotePath(home_, remoteArg));
        const bool ok = Compare() && Act();
        return ReturnHome() && ok && failures_ == 0;
    }

private:
    bool Fail(const std::string& what, const TransferResult& r) {
        ++failures_;
        ++run_.failures;
        run_.report(what, r);
        return false;
    }

    TransferResult Wait(const std::function<void(TransferDone)>& start) {
        return run_.waiter.Run(start);
    }

    // The remote tree, folder by folder; false when its top cannot be
    // listed (exists tells a missing top from a refused one).
    bool ReadRemoteTree(MirrorTree& tree, bool& exists) {
        const std::time_t now = std::time(nullptr);
        std::deque<std::string> folders{""};
        exists = true;
        while (!folders.empty()) {
            const std::string relative = folders.front();
            folders.pop_front();
            const TransferResult r = Wait([&](TransferDone done) {
                run_.session.ListDirectory(Join(remoteTop_, relative), std::move(done));
            });
            if (r.Error != 0) {
                if (relative.empty()) {
                    topFailure_ = r;
                    // 5xx: no such folder; anything else is reported here.
                    exists = r.Error < 500 || r.Error >= 600;
                    if (exists)
                        Fail("mirror " + remoteTop_, r);
                    return false;
                }
                Fail("ls " + Join(remoteTop_, relative), r);
                continue;
            }
            for (const RemoteItem& item : run_.session.RemoteItems()) {
                const std::string path =
                    relative.empty() ? item.Caption : relative + "/" + item.Caption;
                if (item.Icon == RemoteIcon::Folder) {
                    tree.folders.push_back(path);
                    folders.push_back(path);
                } else if (item.Icon == RemoteIcon::File) {
                    MirrorFile file;
                    file.size = item.Size;
                    file.time = ListingTime(item.DateText, now);
                    tree.files[path] = file;
                }
            }
        }
        return true;
    }

    // Asks the server for the exact times of the files the listing cannot
    // decide; a server without MDTM leaves them as they are.
    void ExactTimes(MirrorTree& remote, const std::vector<std::string>& paths) {
        std::vector<FtpParallel::Job> jobs;
        for (const std::string& path : paths)
            jobs.push_back([this, path](ClientSession& s, TransferDone done) {
                s.QuoteLine("MDTM " + Join(remoteTop_, path), std::move(done));
            });
        pool_.Run(jobs, [&](std::size_t i, const TransferResult& r) {
            MirrorFile& file = remote.files[paths[i]];
            file.time = r.Error == 0 ? MdtmTime(r.Reply) : MirrorTime{};
            if (r.ReplyCode == 500 || r.ReplyCode == 502)
                noMdtm_ = true;
        });
    }

    bool Compare() {
        bool localThere = false;
        bool remoteThere = false;
        const bool localRead = ReadLocalTree(localTop_, local_, localThere);
        if (!localRead && localThere) {
            TransferResult r;
            r.Error = kLocalFileFailed;
            r.ErrorMessage = kMirrorNotFolder + localTop_;
            return Fail("mirror " + localTop_, r);
        }
        if (!localRead && o_.reverse)
            return Fail("mirror " + localTop_, LocalFailure(localTop_, ENOENT));
        const bool remoteRead = ReadRemoteTree(remote_, remoteThere);
        if (!remoteRead && (remoteThere || !o_.reverse))
            return failures_ > 0 ? false : Fail("mirror " + remoteTop_, topFailure_);
        makeTop_ = o_.reverse ? !remoteRead : !localRead;
        const MirrorTree& source = o_.reverse ? local_ : remote_;
        const MirrorTree& target = o_.reverse ? remote_ : local_;
        plan_ = PlanMirror(source, target, o_.withDeletes, o_.resumeShorter);
        if (!plan_.unsure.empty()) {
            ExactTimes(remote_, plan_.unsure);
            plan_ = PlanMirror(source, target, o_.withDeletes, o_.resumeShorter);
            plan_.unsure.clear();
        }
        return true;
    }

    std::string SourcePath(const std::string& relative) const {
        return o_.reverse ? Join(localTop_, relative) : Join(remoteTop_, relative);
    }
    std::string TargetPath(const std::string& relative) const {
        return o_.reverse ? Join(remoteTop_, relative) : Join(localTop_, relative);
    }

    void List() {
        if (o_.quiet && !o_.dryRun)
            return;
        const std::string top = o_.reverse ? remoteTop_ : localTop_;
        if (makeTop_)
            out_ << kMirrorMakeFolder << top << "\n";
        for (const std::string& folder : plan_.newFolders)
            out_ << kMirrorMakeFolder << TargetPath(folder) << "\n";
        for (const MirrorCopy& c : plan_.copies)
            out_ << (o_.reverse ? (c.resume ? kMirrorResumePut : kMirrorPut)
                                : (c.resume ? kMirrorResumeGet : kMirrorGet))
                 << SourcePath(c.path) << "\n";
        for (const std::string& file : plan_.deleteFiles)
            out_ << kMirrorDelete << TargetPath(file) << "\n";
        for (const std::string& folder : plan_.deleteFolders)
            out_ << kMirrorRemoveFolder << TargetPath(folder) << "\n";
        if (!makeTop_ && plan_.newFolders.empty() && plan_.copies.empty() &&
            plan_.deleteFiles.empty() && plan_.deleteFolders.empty())
            out_ << kMirrorUpToDate << top << "\n";
        out_.flush();
    }

    // A folder of the target side; false when it could not be made.
    bool MakeFolder(const std::string& path) {
        if (!o_.reverse) {
            std::error_code ec;
            fs::create_directories(path, ec);
            return !ec || Fail("mkdir " + path, LocalFailure(path, ec.value()));
        }
        const TransferResult r = Wait(
            [&](TransferDone done) { run_.session.MakeRemoteDirectory(path, std::move(done)); });
        return r.Error == 0 || Fail("mkdir " + path, r);
    }

    // One file; a download then takes the server's time (exact from MDTM
    // where the server has it, the listing's otherwise), an upload gives
    // its local time to the server where that is offered.
    FtpParallel::Job CopyJob(const MirrorCopy& c) {
        const std::string remote = Join(remoteTop_, c.path);
        const std::string local = Join(localTop_, c.path);
        if (o_.reverse) {
            const bool setTime =
                o_.serverSetsTimes && o_.serverSetsTimes() && c.source.time.Known();
            return [=](ClientSession& s, TransferDone done) {
                TransferDone then = done;
                if (setTime)
                    then = [&s, done, remote, c](const TransferResult& r) {
                        if (r.Error != 0)
                            return done(r);
                        QTimer::singleShot(0, [&s, done, remote, c, r] {
                            s.QuoteLine("MFMT " + MdtmArgument(c.source.time.seconds) + " " +
                                            remote,
                                        [done, r](const TransferResult&) { done(r); });
                        });
                    };
                if (c.resume)
                    s.ResumeUpload(local, remote, c.targetSize, c.source.size, std::move(then));
                else
                    s.Upload(local, remote, c.source.size, std::move(then));
            };
        }
        return [=, this](ClientSession& s, TransferDone done) {
            TransferDone then = [this, &s, done, remote, local, c](const TransferResult& r) {
                if (r.Error != 0)
                    return done(r);
                if (noMdtm_) {
                    if (c.source.time.Known())
                        SetLocalTime(local, c.source.time.seconds);
                    return done(r);
                }
                QTimer::singleShot(0, [this, &s, done, remote, local, c, r] {
                    s.QuoteLine(
                        "MDTM " + remote, [this, done, local, c, r](const TransferResult& m) {
                            MirrorTime exact = m.Error == 0 ? MdtmTime(m.Reply) : MirrorTime{};
                            if (m.ReplyCode == 500 || m.ReplyCode == 502)
                                noMdtm_ = true;
                            if (!exact.Known())
                                exact = c.source.time;
                            if (exact.Known())
                                SetLocalTime(local, exact.seconds);
                            done(r);
                        });
                });
            };
            if (c.resume)
                s.ResumeDownload(remote, local, c.source.size, std::move(then));
            else
                s.Download(remote, local, c.source.size, std::move(then));
        };
    }

    bool Act() {
        List();
        if (o_.dryRun)
            return true;
        if (makeTop_ && !MakeFolder(o_.reverse ? remoteTop_ : localTop_))
            return false;
        // Folders first and in order: each exists before anything is put
        // into it.
        for (const std::string& folder : plan_.newFolders)
            if (!MakeFolder(TargetPath(folder)))
                return false;
        std::vector<FtpParallel::Job> jobs;
        for (const MirrorCopy& c : plan_.copies)
            jobs.push_back(CopyJob(c));
        std::vector<bool> ended(jobs.size(), false);
        const bool answered = pool_.Run(jobs, [&](std::size_t i, const TransferResult& r) {
            ended[i] = true;
            const MirrorCopy& c = plan_.copies[i];
            if (r.Error != 0)
                Fail((o_.reverse ? kMirrorPut : kMirrorGet) + SourcePath(c.path), r);
        });
        if (!answered) {
            TransferResult r;
            r.Error = 426;
            r.ErrorMessage = kTimedOut;
            for (std::size_t i = 0; i < jobs.size(); ++i)
                if (!ended[i])
                    Fail((o_.reverse ? kMirrorPut : kMirrorGet) + SourcePath(plan_.copies[i].path),
                         r);
            return false;
        }
        return Delete();
    }

    bool Delete() {
        for (const std::string& file : plan_.deleteFiles) {
            const std::string path = TargetPath(file);
            if (!o_.reverse) {
                if (::unlink(path.c_str()) != 0)
                    Fail(kMirrorDelete + path, LocalFailure(path, errno));
                continue;
            }
            const TransferResult r =
                Wait([&](TransferDone done) { run_.session.DeleteFile(path, std::move(done)); });
            if (r.Error != 0)
                Fail(kMirrorDelete + path, r);
        }
        for (const std::string& folder : plan_.deleteFolders) {
            const std::string path = TargetPath(folder);
            if (!o_.reverse) {
                if (::rmdir(path.c_str()) != 0)
                    Fail(kMirrorRemoveFolder + path, LocalFailure(path, errno));
                continue;
            }
            const TransferResult r = Wait(
                [&](TransferDone done) { run_.session.RemoveDirectory(path, std::move(done)); });
            if (r.Error != 0)
                Fail(kMirrorRemoveFolder + path, r);
        }
        return failures_ == 0;
    }

    bool ReturnHome() {
        if (home_.empty() || run_.session.RemotePath() == home_ || run_.waiter.TimedOut() ||
            !run_.session.Groups().Disconnect)
            return true;
        const TransferResult r =
            Wait([&](TransferDone done) { run_.session.EnterDirectory(home_, std::move(done)); });
        if (r.Error != 0)
            return Fail("cd " + home_, r);
        run_.session.ShowRemotePath(r.ReplyPath);
        return true;
    }

    FtpQueueRun& run_;
    FtpParallel& pool_;
    const FtpMirrorOptions& o_;
    std::ostream& out_;
    std::string home_, localTop_, remoteTop_;
    MirrorTree local_, remote_;
    MirrorPlan plan_;
    TransferResult topFailure_;
    bool makeTop_ = false;
    bool noMdtm_ = false;
    int failures_ = 0;
};

} // namespace

bool MirrorFolder(FtpQueueRun& run, FtpParallel& pool, const FtpMirrorOptions& options,
                  const std::string& source, const std::string& target, std::ostream& out) {
    return Mirror(run, pool, options, out).Go(source, target);
}
