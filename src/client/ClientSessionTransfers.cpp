// The session's transfer API: each operation sets the engine's fields, runs
// its requests one after the other from their completions, and ends in one
// call of its done.
#include "client/ClientSession.h"

#include "ftpclient/ClientTexts.h"

#include <sys/stat.h>

namespace {
std::int64_t LocalFileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}
} // namespace

bool ClientSession::BeginTransfer(TransferDone& done) {
    // The engine's fields are set only once it is idle: a request still
    // running reads them when its next step starts.
    if (!transferDone_ && ftp_.State() == TFtpState::ftpcReady) {
        transferDone_ = std::move(done);
        transferBase_ = 0;
        return true;
    }
    // One operation at a time: a second one is refused, never mixed in.
    Log(ftpclient_texts::kNotReady, colours::clRed);
    TransferResult result;
    result.Error = kTransferNotStarted;
    result.ErrorMessage = ftpclient_texts::kNotReady;
    QMetaObject::invokeMethod(
        &ftp_, [done = std::move(done), result] { done(result); }, Qt::QueuedConnection);
    return false;
}

void ClientSession::Await(TFtpRequest request, const std::function<void()>& start,
                          std::function<void()> then, bool passOn) {
    awaited_ = request;
    then_ = std::move(then);
    passOn_ = passOn;
    try {
        start();
    } catch (const std::exception& e) {
        // Not started: said in the log and reported, on the loop as always.
        awaited_ = ftpNone;
        then_ = nullptr;
        const std::string failure = e.what();
        Log(failure, colours::clRed);
        std::weak_ptr<int> alive = lifetime_;
        QMetaObject::invokeMethod(
            &ftp_,
            [this, alive, request, failure] {
                if (!alive.expired())
                    FinishTransfer(request, kTransferNotStarted, failure);
            },
            Qt::QueuedConnection);
    }
}

// Called first for every finished request: the completion the running
// operation waits for goes on with it; anything else takes the session's
// own flow.
bool ClientSession::TransferStep(TFtpRequest request, int error) {
    if (!transferDone_ || awaited_ == ftpNone || request != awaited_)
        return false;
    awaited_ = ftpNone;
    auto then = std::move(then_);
    then_ = nullptr;
    const bool passOn = passOn_;
    passOn_ = false;
    if (error != 0) {
        FinishTransfer(request, error);
        return true;
    }
    if (!passOn) {
        then();
        return true;
    }
    // The session's own handler runs first (it shows the listing); the
    // operation ends after it.
    std::weak_ptr<int> alive = lifetime_;
    QMetaObject::invokeMethod(
        &ftp_,
        [alive, then = std::move(then)] {
            if (!alive.expired())
                then();
        },
        Qt::QueuedConnection);
    return false;
}

void ClientSession::FinishTransfer(TFtpRequest request, int error, const std::string& failure) {
    TransferResult result;
    result.Request = request;
    result.Error = error;
    result.Count = ftp_.TransferCount();
    result.ResumeBase = transferBase_;
    result.Reply = ftp_.LastResponse();
    result.ErrorMessage = failure.empty() ? ftp_.ErrorMessage() : failure;
    result.ReplyPath = ftp_.ReplyPath();
    result.ReplyCode = ftp_.StatusCode();
    if (request == ftpSize && error == 0)
        result.Size = ftp_.ReplySize();
    // A listing shown line by line is over, failed or not.
    ftp_.DisplayFileFlag = false;
    listingLine_ = nullptr;
    TransferDone done = std::move(transferDone_);
    transferDone_ = nullptr;
    if (done)
        done(result);
    Changed(SessionChange::Indicators);
}

void ClientSession::StartTransferType(bool binary, std::function<void()> then) {
    ftp_.Binary = binary;
    // The type holds for the connection: it is sent only when it changes.
    if (ftp_.AcceptedType() == binary) {
        then();
        return;
    }
    Await(
        ftpTypeSet, [this] { ftp_.TypeSet(); }, std::move(then));
}

// ------------------------------------------------------------- transfers

void ClientSession::RunRequest(TFtpRequest request, void (TCustomFtpCli::*start)(),
                               const std::function<void()>& names, TransferDone done) {
    if (!BeginTransfer(done))
        return;
    names();
    Await(
        request, [this, start] { (ftp_.*start)(); },
        [this, request] { FinishTransfer(request, 0); });
}

void ClientSession::RunFileTransfer(TFtpRequest request, void (TCustomFtpCli::*start)(),
                                    const std::string& remote, const std::string& local,
                                    std::optional<std::int64_t> offset, std::int64_t fileSize,
                                    TransferDone done) {
    if (!BeginTransfer(done))
        return;
    ftp_.HostFileName = remote;
    ftp_.LocalFileName = local;
    StartTransferType(true, [this, request, start, local, offset, fileSize] {
        // Without an offset the engine's REST step continues from the local
        // file's size, and the figures count from there.
        ftp_.ResumeOffset = offset.value_or(0);
        transferBase_ = offset ? *offset : LocalFileSize(local);
        StartTransferClock(transferBase_, fileSize);
        Await(
            request, [this, start] { (ftp_.*start)(); },
            [this, request] { FinishTransfer(request, 0); });
    });
}

void ClientSession::Download(const std::string& remote, const std::string& local,
                             std::int64_t fileSize, TransferDone done) {
    RunFileTransfer(ftpGet, &TCustomFtpCli::Get, remote, local, 0, fileSize, std::move(done));
}

void ClientSession::ResumeDownload(const std::string& remote, const std::string& local,
                                   std::int64_t fileSize, TransferDone done) {
    RunFileTransfer(ftpRestGet, &TCustomFtpCli::RestGet, remote, local, std::nullopt, fileSize,
                    std::move(done));
}

void ClientSession::Upload(const std::string& local, const std::string& remote,
                           std::int64_t fileSize, TransferDone done) {
    RunFileTransfer(ftpPut, &TCustomFtpCli::Put, remote, local, 0, fileSize, std::move(done));
}

void ClientSession::AppendUpload(const std::string& local, const std::string& remote,
                                 std::int64_t offset, std::int64_t fileSize, TransferDone done) {
    RunFileTransfer(ftpAppend, &TCustomFtpCli::Append, remote, local, offset, fileSize,
                    std::move(done));
}

void ClientSession::ResumeUpload(const std::string& local, const std::string& remote,
                                 std::int64_t offset, std::int64_t fileSize, TransferDone done) {
    RunFileTransfer(ftpRestPut, &TCustomFtpCli::RestPut, remote, local, offset, fileSize,
                    std::move(done));
}

// ------------------------------------------------------ file management

void ClientSession::DeleteFile(const std::string& remote, TransferDone done) {
    RunRequest(
        ftpDele, &TCustomFtpCli::Dele, [this, remote] { ftp_.HostFileName = remote; },
        std::move(done));
}

void ClientSession::RemoveDirectory(const std::string& remote, TransferDone done) {
    RunRequest(
        ftpRmd, &TCustomFtpCli::Rmd, [this, remote] { ftp_.HostFileName = remote; },
        std::move(done));
}

void ClientSession::RenameFile(const std::string& from, const std::string& to, TransferDone done) {
    RunRequest(
        ftpRename, &TCustomFtpCli::Rename,
        [this, from, to] {
            ftp_.HostFileName = from;
            ftp_.LocalFileName = to;
        },
        std::move(done));
}

void ClientSession::MakeRemoteDirectory(const std::string& remote, TransferDone done) {
    RunRequest(
        ftpMkd, &TCustomFtpCli::Mkd, [this, remote] { ftp_.HostFileName = remote; },
        std::move(done));
}

void ClientSession::RemoteFileSize(const std::string& remote, TransferDone done) {
    if (!BeginTransfer(done))
        return;
    ftp_.HostFileName = remote;
    // A size in bytes is a size in binary type: servers refuse SIZE in
    // ASCII type or count its line ends.
    StartTransferType(true, [this] {
        Await(
            ftpSize, [this] { ftp_.Size(); }, [this] { FinishTransfer(ftpSize, 0); });
    });
}

void ClientSession::CurrentDirectory(TransferDone done) {
    RunRequest(
        ftpPwd, &TCustomFtpCli::Pwd, [] {}, std::move(done));
}

void ClientSession::QuoteLine(const std::string& line, TransferDone done) {
    RunRequest(
        ftpQuote, &TCustomFtpCli::Quote, [this, line] { ftp_.LocalFileName = line; },
        std::move(done));
}

void ClientSession::ShowListing(const std::string& path, bool namesOnly,
                                std::function<void(const std::string& line)> onLine,
                                TransferDone done) {
    if (!BeginTransfer(done))
        return;
    ftp_.HostFileName = path;
    ftp_.LocalFileName.clear();
    StartTransferType(false, [this, namesOnly, onLine = std::move(onLine)] {
        ftp_.DisplayFileFlag = true;
        listingLine_ = onLine;
        StartTransferClock(0, 0);
        const TFtpRequest request = namesOnly ? ftpLs : ftpDir;
        Await(
            request, [this, namesOnly] { namesOnly ? ftp_.Ls() : ftp_.Dir(); },
            [this, request] { FinishTransfer(request, 0); });
    });
}

// ----------------------------------------------------------- directories

void ClientSession::EnterDirectory(const std::string& remote, TransferDone done) {
    if (!BeginTransfer(done))
        return;
    ftp_.HostDirName = remote;
    Await(
        ftpCwd, [this] { ftp_.Cwd(); },
        [this] {
            Await(
                ftpPwd, [this] { ftp_.Pwd(); }, [this] { FinishTransfer(ftpPwd, 0); });
        });
}

void ClientSession::ListDirectory(const std::string& remote, TransferDone done) {
    if (!BeginTransfer(done))
        return;
    groups_.RemoteUp = false;
    ftp_.HostDirName = remote;
    Await(
        ftpCwd, [this] { ftp_.Cwd(); },
        [this] {
            Await(
                ftpPwd, [this] { ftp_.Pwd(); },
                [this] {
                    ShowRemotePath(ftp_.ReplyPath());
                    ftp_.LocalFileName = ListingFileName();
                    ftp_.HostFileName.clear();
                    StartTransferType(false, [this] {
                        StartTransferClock(0, 0);
                        // The session's own Dir handler loads the listing into the
                        // remote list; the operation ends after it.
                        Await(
                            ftpDir, [this] { ftp_.Dir(); }, [this] { FinishTransfer(ftpDir, 0); },
                            true);
                    });
                });
        });
}

void ClientSession::ListCurrentDirectory() {
    Start([this] { ftp_.Pwd(); });
}

void ClientSession::SetQueueGroups(bool transferQueue, bool stop) {
    groups_.TransferQueue = transferQueue;
    groups_.Stop = stop;
    Changed(SessionChange::Indicators);
}

void ClientSession::SetRemoteUp(bool on) {
    groups_.RemoteUp = on;
    if (on) {
        groups_.Disconnect = true;
        groups_.Reconnect = true;
    }
    Changed(SessionChange::Indicators);
}
