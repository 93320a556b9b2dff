#pragma once
#include "base/LogColour.h"
#include "base/Prompts.h"
#include "client/QueueEntry.h"
#include "client/RemoteListing.h"
#include "client/SessionTransfers.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ClientSession;

// The transfer queue of the client page: downloads, uploads and delete
// requests run one at a time through the session's transfer API. The runner
// starts the first "queued" entry; its completion logs the outcome, removes
// the entry and runs the queue on. Directories are transferred by listing
// them and queueing their contents. No widgets: the window shows Entries()
// and Totals() and moves its local panel when told.
class TransferQueue {
public:
    TransferQueue(ClientSession& session, Prompts& prompts, LogWriter log);
    ~TransferQueue();
    TransferQueue(const TransferQueue&) = delete;
    TransferQueue& operator=(const TransferQueue&) = delete;

    const std::vector<QueueEntry>& Entries() const { return entries_; }
    const QueueTotals& Totals() const { return totals_; }
    // An entry is running or waits for its file-exists answer.
    bool Busy() const { return busy_; }

    // How long the file-exists question waits before the default answer is
    // taken (15 seconds; tests make it short).
    int CountdownMs = 15000;
    // Front-end choices: an upload into a folder that exists on the server
    // goes into it (listed first, so its files' sizes meet the file-exists
    // question) instead of stopping at the failed Mkd; and whether the
    // remote list is shown again after the last upload or delete.
    bool EnterExistingFolders = false;
    bool RefreshWhenDone = true;
    // Downloads take a link as what it points to: a link to a folder is
    // entered like a folder (never a folder already entered while the queue
    // ran, so a loop ends), any other link is fetched as a file. Off, links
    // are not queued.
    bool FollowLinks = false;

    // Remote items of the remote list (in the directory the path box shows)
    // to download into localFolder; links are not queued.
    void AddDownloads(const std::vector<RemoteItem>& items, const std::string& localFolder);
    // The same for items listed in remoteDir (as the queue names it; the
    // path box may show another name for it), which really is canonicalDir
    // (links resolved).
    void AddDownloadsFrom(const std::vector<RemoteItem>& items, const std::string& localFolder,
                          const std::string& remoteDir, const std::string& canonicalDir);
    // An entry queued again as it was added (after a new connection).
    void Requeue(const QueueEntry& entry);
    // Local items of localFolder to upload into the directory the path box
    // shows; remote sizes come from the remote list.
    void AddUploads(const std::vector<LocalItem>& items, const std::string& localFolder);
    // One download or upload with both paths given (a front end that names
    // its targets): a folder is transferred by recursion. remoteSize in
    // bytes (0 when the remote side has nothing).
    void AddTransfer(bool upload, bool folder, const std::string& local, const std::string& remote,
                     std::int64_t remoteSize);
    // Remote items to delete (files) or remove (folders).
    void AddDeletes(const std::vector<RemoteItem>& items);
    void Remove(const std::vector<int>& ids);
    void RemoveAll();

    // Starts the first "queued" entry (nothing while one runs).
    void Run();
    // Aborts the running transfer at its next data block.
    void Stop();

    // Entries came or went, or the totals changed.
    std::function<void()> OnChanged;
    // One entry's values changed (its row in Entries()).
    std::function<void(int row)> OnRowChanged;
    // An entry has ended: done, skipped (Error 0) or failed, with what its
    // last request reported; called before it leaves Entries().
    std::function<void(const QueueEntry& entry, const TransferResult& result)> OnEntryEnded;
    // The local panel moves into folder (a directory transfer runs there).
    std::function<void(const std::string& folder)> OnLocalFolderChanged;

private:
    QueueEntry* Find(int id);
    int RowOf(int id) const;
    void Erase(int id);
    void SetStatus(QueueEntry& entry, const char* status);
    void Recompute();
    void Changed();
    void Log(const std::string& text, TColor colour) const;
    void LocalFolder(const std::string& folder);
    // A link entry that is no folder: fetched as a file instead.
    void LinkAsFile(int id);
    void AddUploadsTo(const std::vector<LocalItem>& items, const std::string& localFolder,
                      const std::string& remoteDir, const std::vector<RemoteItem>* remoteItems);
    void SessionClosed();

    void StartDirectoryDownload(QueueEntry& entry);
    void StartDirectoryUpload(QueueEntry& entry);
    void StartFileDownload(QueueEntry& entry);
    void StartFileUpload(QueueEntry& entry);
    void StartDelete(QueueEntry& entry);
    void Ask(const QueueEntry& entry, bool upload,
             std::function<void(QueueEntry&, FileExistsAnswer)> go);
    void Answered(int question, int id, FileExistsAnswer answer);
    void Skip(int id, const std::string& path);
    void TransferStarted();

    void DirectoryListed(int id, const TransferResult& result);
    void DirectoryMade(int id, const TransferResult& result);
    void DirectoryEntered(int id, const TransferResult& result);
    void ExistingDirectoryListed(int id, const TransferResult& result);
    // Queues a directory upload's contents once the server is in its folder.
    void UploadInto(int id, const TransferResult& result,
                    const std::vector<RemoteItem>* remoteItems);
    void Ended(const QueueEntry& entry, const TransferResult& result);
    // An entry that ended on a local failure (message logged in red).
    void LocalFailure(const QueueEntry& entry, const std::string& message);
    // A file download or upload ended (the entry's direction says which).
    void FileTransferred(int id, const TransferResult& result);
    void Deleted(int id, bool folder, const TransferResult& result);
    // The end of an entry that failed to change into its directory.
    void DirectoryFailed(int id, const TransferResult& result);
    // After an entry ended: the next one, or the remote list refreshed.
    void RunOnOrRefresh(bool refresh);
    std::string TimingText(std::int64_t bytes) const;
    TransferDone Callback(void (TransferQueue::*step)(int, const TransferResult&), int id);

    ClientSession& session_;
    Prompts& prompts_;
    LogWriter log_;
    std::vector<QueueEntry> entries_;
    QueueTotals totals_;
    int nextId_ = 0;
    bool busy_ = false;
    QElapsedTimer clock_; // since the running entry's transfer started
    // The local items of a directory upload, listed when it started.
    std::map<int, std::vector<LocalItem>> folderContents_;
    // The folders entered while the queue ran (as AbsoluteRemotePath gives
    // them), when links are followed.
    std::vector<std::string> entered_;
    // The open file-exists question.
    QTimer countdown_;
    int question_ = 0;
    int questionCount_ = 0;
    int questionEntry_ = 0;
    FileExistsAnswer questionDefault_ = FileExistsAnswer::Skip;
    bool questionResume_ = true;
    std::function<void(QueueEntry&, FileExistsAnswer)> questionGo_;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};
