#pragma once
#include "base/LogColour.h"
#include "base/Prompts.h"
#include "client/RemoteListing.h"
#include "client/SessionTransfers.h"
#include "client/SessionValues.h"
#include "client/SiteRecord.h"
#include "client/TransferFigures.h"
#include "ftpclient/TFtpClient.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TRSA;
class TSessionCipher;

// The interactive client session: connects to the current site, drives the
// login and the encryption negotiation from each finished request, keeps the
// remote directory, and reports finished transfers to its owner. No widgets:
// the client page shows its values.
class ClientSession {
public:
    ClientSession(TFtpClient& ftp, TRSA& rsa1, TRSA& rsa2, Prompts& prompts, LogWriter log,
                  std::function<ClientDefaults()> defaults);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    SiteRecord CurrentSite;
    SiteRecord ConnectedSite;
    TServerKind ServerKind = skOtherServer;
    bool KeyCheckDone = false;
    bool ClientEncryptionActive = false;
    bool StopRequested = false;
    int SortColumn = 0;
    // The remote list is fetched after every PWD of the session's own flow
    // (login, navigation); a front end without a remote list turns it off.
    bool ListAfterPwd = true;
    bool SortDescending = false;

    const ClientIndicators& Indicators() const { return indicators_; }
    const ClientCommandGroups& Groups() const { return groups_; }
    const std::vector<RemoteItem>& RemoteItems() const { return remoteItems_; }
    // The remote path box: the paths visited (sorted) and the one shown.
    const std::vector<std::string>& RemotePaths() const { return remotePaths_; }
    const std::string& RemotePath() const { return remotePath_; }
    const TransferFigures& Figures() const { return figures_; }
    TransferProgress Progress() const;
    // Set when a connection attempt fails: no connection, a refused login,
    // or the encryption rules; cleared when the next one starts.
    SessionFailure Failure() const { return failure_; }

    std::string KeyFileName() const;
    std::string ListingFileName() const;

    // The site manager closed with site as the current site: Quick Connect
    // is enabled when it has a name.
    void SetCurrentSite(const SiteRecord& site);

    // Commands of the client page.
    void Connect();
    void Disconnect();
    void Reconnect();
    // Changes into a folder of the remote list (a name, joined to the path).
    void OpenRemoteFolder(const std::string& name);
    // Changes to a typed or chosen path.
    void ChangeDirectory(const std::string& path);
    void Up();
    void MakeDirectory(const std::string& name);
    void Refresh();
    void Stop();
    void SortBy(int column);
    // Marks the start of a transfer for the progress figures.
    void StartTransferClock(long long resumeBase, long long fileSize);

    // A finished download (Get, RestGet) or upload (Put, Append) that is not
    // the session's own key-file step; the transfer queue takes it from here.
    std::function<void(TFtpRequest request, int error)> OnTransferDone;
    // Values the page shows have changed; what says which group, so that a
    // listener never compares the listing to find out.
    std::function<void(SessionChange what)> OnChanged;
    // The control connection closed (after the session cleared its state).
    std::function<void()> OnClosed;

    // The transfer API (ClientSessionTransfers.cpp): one operation at a
    // time, each ending in exactly one call of its done, always from the
    // event loop, never inside the call that started it. Transfers set the
    // type first and keep the progress figures; the transfer queue drives
    // them.
    void Download(const std::string& remote, const std::string& local, std::int64_t fileSize,
                  TransferDone done);
    // Continues the local file from its size (REST), counting from there.
    void ResumeDownload(const std::string& remote, const std::string& local, std::int64_t fileSize,
                        TransferDone done);
    void Upload(const std::string& local, const std::string& remote, std::int64_t fileSize,
                TransferDone done);
    // Sends the local file from offset on and appends it to the remote one.
    void AppendUpload(const std::string& local, const std::string& remote, std::int64_t offset,
                      std::int64_t fileSize, TransferDone done);
    // Sends the local file from offset on, stored from there (REST, STOR).
    void ResumeUpload(const std::string& local, const std::string& remote, std::int64_t offset,
                      std::int64_t fileSize, TransferDone done);
    // SIZE (in binary type): the result carries the size.
    void RemoteFileSize(const std::string& remote, TransferDone done);
    // PWD: the result carries the directory.
    void CurrentDirectory(TransferDone done);
    // Sends line as it is; any reply ends it, its code is in the result.
    void QuoteLine(const std::string& line, TransferDone done);
    // A listing of path (empty: the current directory) handed over line by
    // line: LIST, or NLST for names only.
    void ShowListing(const std::string& path, bool namesOnly,
                     std::function<void(const std::string& line)> onLine, TransferDone done);
    void DeleteFile(const std::string& remote, TransferDone done);
    void RemoveDirectory(const std::string& remote, TransferDone done);
    void RenameFile(const std::string& from, const std::string& to, TransferDone done);
    void MakeRemoteDirectory(const std::string& remote, TransferDone done);
    // Cwd then Pwd; the result carries the directory the server reports.
    void EnterDirectory(const std::string& remote, TransferDone done);
    // Cwd, Pwd and the listing: the path box and the remote list show it.
    void ListDirectory(const std::string& remote, TransferDone done);
    bool TransferRunning() const { return static_cast<bool>(transferDone_); }
    // The path box shows path (added to its list when new).
    void ShowRemotePath(const std::string& path);
    // Pwd and the listing, so the remote list shows what transfers changed.
    void ListCurrentDirectory();
    // Command groups the transfer queue switches: 17 and 18, and 99.
    void SetQueueGroups(bool transferQueue, bool stop);
    void SetRemoteUp(bool on);

private:
    void Hook();
    void Log(const std::string& text, TColor colour) const;
    void Changed(SessionChange what);
    void RequestDone(TFtpRequest request, int error);
    // False when the server's key does not load: the login has been ended.
    bool AfterPubk();
    void AfterPass(int error);
    void AfterSyst();
    void AfterGet(TFtpRequest request, int error);
    // The step the session's own TYPE request was sent for.
    enum class TypeFor { Nothing, KeyFile, Listing };
    void AfterType();
    void AfterPwd();
    // A 421 reply or a lost connection ends the session's own flow.
    bool SessionEnded(TFtpRequest request, int error);
    void AfterDir(int error);
    void AfterMkd(int error);
    void KeyCheck();
    void KeyCheckFailed();
    void SessionClosed();
    void ClearIndicatorValues();
    // Set while a Disconnect ends a request that was still running.
    bool cancelled_ = false;
    TypeFor typeFor_ = TypeFor::Nothing;
    // Reconnect: the next connection starts when QUIT has ended.
    bool reconnecting_ = false;
    // Starts the connection to the current site.
    void Open();
    // No data encryption in this session: "OFF", "N/A", "N/A".
    void ShowPlainData();
    void Start(const std::function<void()>& request);

    TFtpClient& ftp_;
    TRSA& rsa1_;
    // Owned here, declared apart: the cipher's key types stay out of
    // every file that drives a session.
    std::unique_ptr<TSessionCipher> cipher_;
    Prompts& prompts_;
    LogWriter log_;
    std::function<ClientDefaults()> defaults_;
    ClientIndicators indicators_;
    ClientCommandGroups groups_;
    std::vector<RemoteItem> remoteItems_;
    std::vector<std::string> remotePaths_;
    std::string remotePath_;
    std::string programDirectory_;
    TransferFigures figures_;
    QElapsedTimer transferStart_;
    long long resumeBase_ = 0;
    long long fileSize_ = 0;
    int number_ = 0; // this session's number in key-file and listing names

    // The running operation of the transfer API.
    bool TransferStep(TFtpRequest request, int error);
    bool BeginTransfer(TransferDone& done);
    void Await(TFtpRequest request, const std::function<void()>& start, std::function<void()> then,
               bool passOn = false);
    void FinishTransfer(TFtpRequest request, int error, const std::string& failure = {});
    void StartTransferType(bool binary, std::function<void()> then);
    // Begins an operation: names sets the engine's fields, then one request
    // runs and ends it.
    void RunRequest(TFtpRequest request, void (TCustomFtpCli::*start)(),
                    const std::function<void()>& names, TransferDone done);
    // Begins a file transfer: the names, binary type, the offset (none: the
    // local file's size, as REST of a download takes it), the clock, then
    // the request.
    void RunFileTransfer(TFtpRequest request, void (TCustomFtpCli::*start)(),
                         const std::string& remote, const std::string& local,
                         std::optional<std::int64_t> offset, std::int64_t fileSize,
                         TransferDone done);
    SessionFailure failure_ = SessionFailure::None;
    std::int64_t progressCount_ = 0;
    std::function<void(const std::string&)> listingLine_;
    TransferDone transferDone_;
    TFtpRequest awaited_ = ftpNone;
    std::function<void()> then_;
    bool passOn_ = false; // the session's own flow also handles the completion
    std::int64_t transferBase_ = 0;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};
