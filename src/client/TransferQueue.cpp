// The queue's entries: adding downloads, uploads and delete requests, the
// totals, removing, and emptying when the connection closes.
#include "client/TransferQueue.h"

#include "client/ClientSession.h"
#include "client/QueueTexts.h"
#include "client/RemotePath.h"
#include "client/TransferFigures.h"

#include <algorithm>
#include <sys/stat.h>

using namespace queue_texts;

namespace {

std::string JoinRemote(const std::string& dir, const std::string& name) {
    if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\'))
        return dir + name;
    return dir + "/" + name;
}

std::string JoinLocal(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// The size of a local file: 0 when there is none.
std::int64_t LocalFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::int64_t>(st.st_size);
}

// The size the remote list shows for name, 0 when it is not there.
std::int64_t RemoteSizeOf(const std::string& name, const std::vector<RemoteItem>* remoteItems) {
    if (remoteItems)
        for (const RemoteItem& r : *remoteItems)
            if (r.Caption == name)
                return r.Size;
    return 0;
}

// SECURITY: a listing comes from the server. A name that is a path ("../x",
// "a/b") or a dot entry would put a download outside the folder it was
// queued for, so such names are never queued.
bool SafeRemoteName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}
} // namespace

TransferQueue::TransferQueue(ClientSession& session, Prompts& prompts, LogWriter log)
    : session_(session), prompts_(prompts), log_(std::move(log)) {
    countdown_.setSingleShot(true);
    QObject::connect(&countdown_, &QTimer::timeout, [this] {
        if (question_ == 0)
            return;
        prompts_.WithdrawFileExists();
        Answered(question_, questionEntry_, questionDefault_);
    });
    session_.OnClosed = [this] { SessionClosed(); };
}

TransferQueue::~TransferQueue() {
    session_.OnClosed = nullptr;
}

void TransferQueue::Log(const std::string& text, TColor colour) const {
    if (log_)
        log_(logClient, text, colour);
}

void TransferQueue::Changed() {
    if (OnChanged)
        OnChanged();
}

QueueEntry* TransferQueue::Find(int id) {
    for (QueueEntry& e : entries_)
        if (e.Id == id)
            return &e;
    return nullptr;
}

int TransferQueue::RowOf(int id) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Id == id)
            return static_cast<int>(i);
    return -1;
}

void TransferQueue::Erase(int id) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [id](const QueueEntry& e) { return e.Id == id; }),
                   entries_.end());
    folderContents_.erase(id);
}

void TransferQueue::SetStatus(QueueEntry& entry, const char* status) {
    entry.Status = status;
    if (OnRowChanged)
        OnRowChanged(RowOf(entry.Id));
}

void TransferQueue::LocalFolder(const std::string& folder) {
    if (OnLocalFolderChanged)
        OnLocalFolderChanged(folder);
}

// The count and the sum of the sizes; the Transfer Queue command follows
// whether anything is queued, Stop is enabled.
void TransferQueue::Recompute() {
    std::int64_t sum = 0;
    for (const QueueEntry& e : entries_)
        sum += e.Direction == kUpload ? e.LocalSize : e.RemoteSize;
    totals_.Count = std::to_string(entries_.size());
    totals_.Bytes = std::to_string(sum);
    totals_.Kind = kKindFile;
    session_.SetQueueGroups(!entries_.empty(), true);
    Changed();
}

// ------------------------------------------------------------------ adding

void TransferQueue::AddDownloads(const std::vector<RemoteItem>& items,
                                 const std::string& localFolder) {
    const std::string& dir = session_.RemotePath();
    AddDownloadsFrom(items, localFolder, dir, AbsoluteRemotePath("/", dir));
}

// remoteDir: the folder the items were listed in, as the queue names it;
// canonicalDir: the folder it really is (links resolved).
void TransferQueue::AddDownloadsFrom(const std::vector<RemoteItem>& items,
                                     const std::string& localFolder, const std::string& remoteDir,
                                     const std::string& canonicalDir) {
    for (const RemoteItem& item : items) {
        const bool link = item.Icon == RemoteIcon::Link;
        if (link && !FollowLinks)
            continue;
        const std::string name = link ? LinkTargetName(item.Caption) : item.Caption;
        if (!SafeRemoteName(name)) {
            Log(kUnsafeName + item.Caption, colours::clRed);
            continue;
        }
        QueueEntry e;
        e.Id = ++nextId_;
        // A link is tried as a folder first.
        e.Icon = item.Icon == RemoteIcon::File ? QueueIcon::File : QueueIcon::Directory;
        e.Link = link;
        e.Local = JoinLocal(localFolder, name);
        e.LocalSize = e.Icon == QueueIcon::File ? LocalFileSize(e.Local) : 0;
        e.Direction = kDownload;
        e.Remote = JoinRemote(remoteDir, name);
        // A link's own size says nothing of what it points to.
        e.RemoteSize = link ? 0 : item.Size;
        const std::size_t arrow = item.Caption.find(" -> ");
        e.Canonical = AbsoluteRemotePath(canonicalDir, link && arrow != std::string::npos
                                                           ? item.Caption.substr(arrow + 4)
                                                           : name);
        e.Host = session_.ConnectedSite.Name;
        e.Status = kQueued;
        entries_.push_back(std::move(e));
    }
    Recompute();
}

void TransferQueue::AddUploads(const std::vector<LocalItem>& items,
                               const std::string& localFolder) {
    AddUploadsTo(items, localFolder, session_.RemotePath(), &session_.RemoteItems());
}

// remoteItems: what the remote directory holds, for the remote sizes; none
// for a directory that was just created.
void TransferQueue::AddUploadsTo(const std::vector<LocalItem>& items,
                                 const std::string& localFolder, const std::string& remoteDir,
                                 const std::vector<RemoteItem>* remoteItems) {
    for (const LocalItem& item : items) {
        QueueEntry e;
        e.Id = ++nextId_;
        e.Local = JoinLocal(localFolder, item.Name);
        struct stat st {};
        const bool folder = ::stat(e.Local.c_str(), &st) == 0 ? S_ISDIR(st.st_mode) : item.Folder;
        e.Icon = folder ? QueueIcon::Directory : QueueIcon::File;
        e.LocalSize = folder ? 0 : item.Size;
        e.Direction = kUpload;
        e.Remote = JoinRemote(remoteDir, item.Name);
        e.RemoteSize = RemoteSizeOf(item.Name, remoteItems);
        e.Host = session_.ConnectedSite.Name;
        e.Status = kQueued;
        entries_.push_back(std::move(e));
    }
    Recompute();
}

void TransferQueue::AddTransfer(bool upload, bool folder, const std::string& local,
                                const std::string& remote, std::int64_t remoteSize) {
    QueueEntry e;
    e.Id = ++nextId_;
    e.Icon = folder ? QueueIcon::Directory : QueueIcon::File;
    e.Local = local;
    e.LocalSize = folder ? 0 : LocalFileSize(local);
    e.Direction = upload ? kUpload : kDownload;
    e.Remote = remote;
    e.RemoteSize = remoteSize;
    e.Host = session_.ConnectedSite.Name;
    e.Status = kQueued;
    entries_.push_back(std::move(e));
    Recompute();
}

void TransferQueue::Requeue(const QueueEntry& entry) {
    QueueEntry e = entry;
    e.Id = ++nextId_;
    e.Status = kQueued;
    entries_.push_back(std::move(e));
    Recompute();
}

void TransferQueue::AddDeletes(const std::vector<RemoteItem>& items) {
    const std::string remoteDir = session_.RemotePath();
    for (const RemoteItem& item : items) {
        QueueEntry e;
        e.Id = ++nextId_;
        e.Icon = item.Icon == RemoteIcon::Folder ? QueueIcon::Directory : QueueIcon::File;
        e.Direction = kDelete;
        e.Remote = JoinRemote(remoteDir, item.Caption);
        e.RemoteSize = item.Size;
        e.Host = session_.CurrentSite.Name;
        e.Status = kQueued;
        entries_.push_back(std::move(e));
    }
    Recompute();
}

void TransferQueue::Remove(const std::vector<int>& ids) {
    for (int id : ids)
        Erase(id);
    Recompute();
}

void TransferQueue::RemoveAll() {
    entries_.clear();
    folderContents_.clear();
    entered_.clear();
    Recompute();
}

void TransferQueue::Stop() {
    session_.Stop();
}

// The connection closed: the queue is emptied, its figures cleared, and a
// question still open is withdrawn. A request still running ends later and
// finds its entry gone.
void TransferQueue::SessionClosed() {
    if (question_ != 0) {
        question_ = 0;
        countdown_.stop();
        questionGo_ = nullptr;
        prompts_.WithdrawFileExists();
    }
    entries_.clear();
    folderContents_.clear();
    entered_.clear();
    busy_ = false;
    totals_ = QueueTotals{};
    session_.SetQueueGroups(false, false);
    Changed();
}
