// The queue runner: starts the first "queued" entry, asks what to do with a
// target that exists, and finishes each entry from its completion.
#include "client/QueueTexts.h"

#include "client/ClientSession.h"
#include "client/RemotePath.h"
#include "client/SessionTexts.h"
#include "client/TransferFigures.h"
#include "client/TransferQueue.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace queue_texts;
namespace fs = std::filesystem;

namespace {

// The items of a local folder for a directory upload, by name. Links to
// folders are left out (a link to a parent would never end), and so is
// anything that is neither a file nor a folder (a pipe would never end
// either).
bool ListLocalFolder(const std::string& folder, std::vector<LocalItem>& items) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        std::error_code linkEc, statEc;
        const bool link = it->is_symlink(linkEc);
        const fs::file_status status = fs::status(it->path(), statEc);
        if (statEc)
            continue;
        LocalItem item;
        item.Name = it->path().filename().string();
        if (fs::is_directory(status)) {
            if (link)
                continue;
            item.Folder = true;
        } else if (fs::is_regular_file(status)) {
            std::error_code sizeEc;
            item.Size = static_cast<std::int64_t>(fs::file_size(it->path(), sizeEc));
        } else {
            continue;
        }
        items.push_back(std::move(item));
    }
    std::sort(items.begin(), items.end(),
              [](const LocalItem& a, const LocalItem& b) { return a.Name < b.Name; });
    return true;
}
} // namespace

TransferDone TransferQueue::Callback(void (TransferQueue::*step)(int, const TransferResult&),
                                     int id) {
    std::weak_ptr<int> alive = lifetime_;
    return [this, alive, step, id](const TransferResult& result) {
        if (alive.expired())
            return;
        busy_ = false;
        (this->*step)(id, result);
    };
}

std::string TransferQueue::TimingText(std::int64_t bytes) const {
    const double seconds = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0;
    return SecondsText(seconds) + kSecondsOpen + RateText(static_cast<double>(bytes), seconds) +
           kKbPerSec;
}

// ------------------------------------------------------------------ runner

void TransferQueue::Run() {
    if (busy_)
        return; // one entry at a time; its end runs the queue on
    if (entries_.empty()) {
        entered_.clear(); // the run is over
        session_.SetQueueGroups(false, session_.Groups().Stop);
        return;
    }
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [](const QueueEntry& e) { return e.Status == kQueued; });
    if (it == entries_.end())
        return;
    busy_ = true;
    QueueEntry& entry = *it;
    if (entry.Direction == kDelete)
        StartDelete(entry);
    else if (entry.Icon == QueueIcon::Directory && entry.Direction == kDownload)
        StartDirectoryDownload(entry);
    else if (entry.Icon == QueueIcon::Directory)
        StartDirectoryUpload(entry);
    else if (entry.Direction == kDownload)
        StartFileDownload(entry);
    else
        StartFileUpload(entry);
}

void TransferQueue::Ended(const QueueEntry& entry, const TransferResult& result) {
    if (OnEntryEnded)
        OnEntryEnded(entry, result);
}

void TransferQueue::LocalFailure(const QueueEntry& entry, const std::string& message) {
    Log(message, colours::clRed);
    TransferResult result;
    result.Error = kLocalFileFailed;
    result.ErrorMessage = message;
    Ended(entry, result);
}

void TransferQueue::TransferStarted() {
    session_.SetRemoteUp(false);
    clock_.start();
}

// Runs the next entry; when none is left, a change on the server is shown
// by listing the remote directory again.
void TransferQueue::RunOnOrRefresh(bool refresh) {
    if (!entries_.empty())
        Run();
    else if (refresh && RefreshWhenDone)
        session_.ListCurrentDirectory();
}

// --------------------------------------------------------- directory download

void TransferQueue::StartDirectoryDownload(QueueEntry& entry) {
    if (FollowLinks) {
        // SECURITY: a link back to a folder above, or to one already
        // entered, would make the download endless.
        const std::string canonical =
            entry.Canonical.empty() ? AbsoluteRemotePath("/", entry.Remote) : entry.Canonical;
        for (const std::string& folder : entered_) {
            if (!entry.Link ? canonical != folder : !IsSameOrAncestor(canonical, folder))
                continue;
            Log(kNotEnteredAgain + entry.Remote, colours::clGreen);
            busy_ = false;
            Ended(entry, TransferResult{});
            Erase(entry.Id);
            Recompute();
            RunOnOrRefresh(false);
            return;
        }
    }
    SetStatus(entry, kDownloading);
    totals_.Kind = kKindDirectoryDown;
    totals_.Path = entry.Remote;
    totals_.FileSize = std::to_string(0);
    session_.SetQueueGroups(session_.Groups().TransferQueue, true);
    clock_.start();
    Changed();
    session_.ListDirectory(entry.Remote, Callback(&TransferQueue::DirectoryListed, entry.Id));
}

void TransferQueue::DirectoryListed(int id, const TransferResult& result) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    // A directory that cannot be entered or listed queues nothing: its
    // contents would otherwise be taken from another directory.
    if (result.Error != 0 && entry->Link && session_.Groups().Disconnect) {
        LinkAsFile(id);
        return;
    }
    if (result.Error != 0) {
        DirectoryFailed(id, result);
        return;
    }
    QueueEntry e = *entry;
    // A folder named relative to where the queue started is named from the
    // server's reply instead (the server is in it now).
    if (e.Remote.empty() || e.Remote[0] != '/')
        e.Remote = result.ReplyPath;
    const std::string canonical =
        e.Canonical.empty() ? AbsoluteRemotePath("/", e.Remote) : e.Canonical;
    if (FollowLinks)
        entered_.push_back(canonical);
    Log(kReceivedDirectory + e.Remote + kIn + TimingText(result.Count), colours::clBlue);
    std::error_code ec;
    // Missing folders above the target are made too.
    if (!fs::is_directory(e.Local, ec) && !fs::create_directories(e.Local, ec)) {
        LocalFailure(e, session_texts::kCreateFailedPrefix + e.Local);
        Erase(id);
        Recompute();
        session_.SetRemoteUp(true);
        RunOnOrRefresh(false);
        return;
    }
    LocalFolder(e.Local);
    Ended(e, result);
    Erase(id);
    Recompute();
    session_.SetRemoteUp(true);
    // The contents are named from the folder the entry names: the server's
    // PWD reply is for display only.
    AddDownloadsFrom(session_.RemoteItems(), e.Local, e.Remote, canonical);
    Run();
}

void TransferQueue::LinkAsFile(int id) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    entry->Icon = QueueIcon::File;
    entry->LocalSize = [&]() -> std::int64_t {
        std::error_code ec;
        const auto size =
            fs::is_regular_file(entry->Local, ec) ? fs::file_size(entry->Local, ec) : 0;
        return ec ? 0 : static_cast<std::int64_t>(size);
    }();
    entry->Status = kQueued;
    session_.SetRemoteUp(true);
    if (OnRowChanged)
        OnRowChanged(RowOf(id));
    Run();
}

void TransferQueue::DirectoryFailed(int id, const TransferResult& result) {
    const QueueEntry* entry = Find(id);
    if (!entry)
        return;
    Log(kDirectoryError + entry->Remote, colours::clRed);
    Ended(*entry, result);
    Erase(id);
    Recompute();
    session_.SetRemoteUp(true);
    RunOnOrRefresh(false);
}

// ----------------------------------------------------------- directory upload

void TransferQueue::StartDirectoryUpload(QueueEntry& entry) {
    LocalFolder(entry.Local);
    SetStatus(entry, kUploading);
    std::vector<LocalItem> items;
    if (!ListLocalFolder(entry.Local, items)) {
        LocalFailure(entry, kLocalReadFailed + entry.Local);
        busy_ = false;
        Erase(entry.Id);
        Recompute();
        RunOnOrRefresh(false);
        return;
    }
    folderContents_[entry.Id] = std::move(items);
    session_.MakeRemoteDirectory(entry.Remote, Callback(&TransferQueue::DirectoryMade, entry.Id));
}

void TransferQueue::DirectoryMade(int id, const TransferResult& result) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    if (result.Error != 0 && EnterExistingFolders) {
        // The folder may be there already: the contents go into it.
        busy_ = true;
        session_.ListDirectory(entry->Remote,
                               Callback(&TransferQueue::ExistingDirectoryListed, id));
        return;
    }
    if (result.Error != 0) {
        // The entry stays "uploading", so the runner passes over it.
        Log(session_texts::kCreateFailedPrefix + entry->Remote, colours::clRed);
        Ended(*entry, result);
        folderContents_.erase(id);
        RunOnOrRefresh(false);
        return;
    }
    Log(session_texts::kCreatedPrefix + entry->Remote, colours::clBlue);
    busy_ = true;
    session_.EnterDirectory(entry->Remote, Callback(&TransferQueue::DirectoryEntered, id));
}

void TransferQueue::DirectoryEntered(int id, const TransferResult& result) {
    // The directory was just made: nothing in it exists yet.
    UploadInto(id, result, nullptr);
}

void TransferQueue::ExistingDirectoryListed(int id, const TransferResult& result) {
    const QueueEntry* entry = Find(id);
    if (entry && result.Error != 0)
        Log(session_texts::kCreateFailedPrefix + entry->Remote, colours::clRed);
    UploadInto(id, result, &session_.RemoteItems());
}

void TransferQueue::UploadInto(int id, const TransferResult& result,
                               const std::vector<RemoteItem>* remoteItems) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    // A successful CWD is the truth: the contents go into the folder the
    // entry names. The server's PWD reply is shown, never judged (a folder
    // reached through a link, or a server that always answers "/").
    if (result.Error != 0) {
        DirectoryFailed(id, result);
        return;
    }
    const QueueEntry e = *entry;
    std::vector<LocalItem> items = std::move(folderContents_[id]);
    session_.ShowRemotePath(result.ReplyPath);
    Ended(e, result);
    Erase(id);
    AddUploadsTo(items, e.Local, e.Remote, remoteItems);
    Run();
}

// ------------------------------------------------------------ file transfers

void TransferQueue::StartFileDownload(QueueEntry& entry) {
    SetStatus(entry, kDownloading);
    totals_.Kind = kKindFileDown;
    totals_.Path = entry.Local;
    totals_.FileSize = std::to_string(entry.RemoteSize);
    session_.SetQueueGroups(session_.Groups().TransferQueue, true);
    Changed();
    auto go = [this](QueueEntry& e, FileExistsAnswer answer) {
        const std::int64_t size = e.RemoteSize;
        auto done = Callback(&TransferQueue::FileTransferred, e.Id);
        if (answer == FileExistsAnswer::Skip) {
            Skip(e.Id, e.Local);
            return;
        }
        if (answer == FileExistsAnswer::Resume)
            session_.ResumeDownload(e.Remote, e.Local, size, std::move(done));
        else
            session_.Download(e.Remote, e.Local, size, std::move(done));
        TransferStarted();
    };
    if (entry.LocalSize > 0)
        Ask(entry, false, go);
    else
        go(entry, FileExistsAnswer::Overwrite);
}

void TransferQueue::StartFileUpload(QueueEntry& entry) {
    SetStatus(entry, kUploading);
    totals_.Kind = kKindFileUp;
    totals_.Path.clear();
    totals_.FileSize = std::to_string(entry.LocalSize);
    session_.SetQueueGroups(session_.Groups().TransferQueue, true);
    Changed();
    auto go = [this](QueueEntry& e, FileExistsAnswer answer) {
        const std::int64_t size = e.LocalSize;
        auto done = Callback(&TransferQueue::FileTransferred, e.Id);
        if (answer == FileExistsAnswer::Skip) {
            Skip(e.Id, e.Remote);
            return;
        }
        if (answer == FileExistsAnswer::Resume)
            session_.AppendUpload(e.Local, e.Remote, e.RemoteSize, size, std::move(done));
        else
            session_.Upload(e.Local, e.Remote, size, std::move(done));
        TransferStarted();
    };
    if (entry.RemoteSize > 0)
        Ask(entry, true, go);
    else
        go(entry, FileExistsAnswer::Overwrite);
}

void TransferQueue::Ask(const QueueEntry& entry, bool upload,
                        std::function<void(QueueEntry&, FileExistsAnswer)> go) {
    FileExistsQuestion q =
        MakeFileExistsQuestion(upload, entry.Local, std::to_string(entry.LocalSize), entry.Remote,
                               std::to_string(entry.RemoteSize));
    q.countdownSeconds = static_cast<int>((static_cast<long long>(CountdownMs) + 999) / 1000);
    const int question = ++questionCount_;
    question_ = question;
    questionEntry_ = entry.Id;
    questionDefault_ = q.defaultAnswer;
    questionResume_ = q.resumeAllowed;
    questionGo_ = std::move(go);
    countdown_.start(CountdownMs);
    std::weak_ptr<int> alive = lifetime_;
    const int id = entry.Id;
    prompts_.AskFileExistsLater(q, [this, alive, question, id](FileExistsAnswer answer) {
        if (!alive.expired())
            Answered(question, id, answer);
    });
}

// The first of the answer and the end of the countdown decides.
void TransferQueue::Answered(int question, int id, FileExistsAnswer answer) {
    if (question == 0 || question != question_)
        return;
    question_ = 0;
    countdown_.stop();
    auto go = std::move(questionGo_);
    questionGo_ = nullptr;
    if (answer == FileExistsAnswer::Resume && !questionResume_)
        answer = questionDefault_;
    QueueEntry* entry = Find(id);
    if (!entry) {
        busy_ = false;
        return;
    }
    go(*entry, answer);
}

void TransferQueue::Skip(int id, const std::string& path) {
    Log(kSkipped + path, colours::clGreen);
    busy_ = false;
    if (const QueueEntry* entry = Find(id))
        Ended(*entry, TransferResult{});
    Erase(id);
    Recompute();
    Run();
}

void TransferQueue::FileTransferred(int id, const TransferResult& result) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    if (result.Error == kTransferNotStarted) {
        // Said in the log; the entry stays and the runner passes over it.
        Ended(*entry, result);
        return;
    }
    const bool upload = entry->Direction == kUpload;
    if (result.Error == 0)
        Log((upload ? kUploaded + entry->Remote : kDownloaded + entry->Local) + " (" +
                std::to_string(result.Count) + kBytesIn + TimingText(result.Count),
            colours::clBlue);
    else
        Log((upload ? kFailedUpload : kFailedDownload) + entry->Remote, colours::clRed);
    Ended(*entry, result);
    Erase(id);
    Recompute();
    session_.SetRemoteUp(true);
    RunOnOrRefresh(upload);
}

// ------------------------------------------------------------ delete requests

void TransferQueue::StartDelete(QueueEntry& entry) {
    SetStatus(entry, kDeleting);
    const int id = entry.Id;
    const bool folder = entry.Icon == QueueIcon::Directory;
    std::weak_ptr<int> alive = lifetime_;
    auto done = [this, alive, id, folder](const TransferResult& result) {
        if (alive.expired())
            return;
        busy_ = false;
        Deleted(id, folder, result);
    };
    if (folder)
        session_.RemoveDirectory(entry.Remote, done);
    else
        session_.DeleteFile(entry.Remote, done);
}

void TransferQueue::Deleted(int id, bool folder, const TransferResult& result) {
    QueueEntry* entry = Find(id);
    if (!entry)
        return;
    if (result.Error == kTransferNotStarted)
        return;
    const bool ok = result.Error == 0;
    const char* prefix = folder ? (ok ? kRemovedDirectory : kFailedRemoveDirectory)
                                : (ok ? kDeleted : kFailedDelete);
    Log(prefix + entry->Remote, ok ? colours::clBlue : colours::clRed);
    Ended(*entry, result);
    Erase(id);
    Recompute();
    RunOnOrRefresh(true);
}
