// The data-connection half of the client engine: the Port and Rest steps,
// the receive steps (RETR, LIST, NLST) and the send steps (STOR, APPE).
// A transfer step completes only when both the server's final reply and the
// close of the data connection have been seen, in either order.
#include "ftpclient/TCustomFtpCli.h"

#include "ftpclient/ClientTexts.h"
#include "ftpclient/FtpCipherHooks.h"
#include "ftpclient/ReplyParsing.h"
#include "net/TWSocket.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ftpclient_texts;
using enum TFtpState;

std::int64_t TCustomFtpCli::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool TCustomFtpCli::PaceBlock(bool upload, long long& want, long long unit,
                              std::function<void()> resume) {
    rateLimit_.SetRate(upload ? UploadLimit : DownloadLimit, Clock->SteadyMs());
    pacer_.Use(Clock, this);
    pacer_.SetBuckets({&rateLimit_});
    if (!pacer_.Limited())
        return true;
    want = pacer_.Allowance(want);
    want -= want % unit;
    if (want > 0) {
        pacer_.Cancel(); // a block goes now: no earlier wait may send another
        return true;
    }
    pacer_.WhenReady(std::max<long long>(unit, kIoBlock), std::move(resume));
    return false;
}

// ---------------------------------------------------------------- Port step

void TCustomFtpCli::ResetDataSocket() {
    pacer_.Cancel();
    transfer_.phase = DataPhase::Idle;
    if (data_->State() != wsClosed)
        data_->Abort();
    data_->SetSocksServer("");
    data_->SetProto("tcp");
    data_->SetAddr("0.0.0.0");
    data_->SetPort("0");
}

void TCustomFtpCli::PortStep() {
    CheckReady();
    CheckConnected();
    if (!request_.inSequence)
        requestCode_ = ftpPort;
    ResetDataSocket();
    std::string cmd = "PASV";
    // EPSV where the server offers it, and always over IPv6 (PASV can only
    // name IPv4 addresses), until the server refuses it once.
    const bool extended = usePassive_ && !login_.epsvRefused &&
                          (features_.epsv || resolvedAddr_.find(':') != std::string::npos);
    if (extended)
        cmd = "EPSV";
    if (!usePassive_) {
        // SECURITY: the listener is open only on the address the server
        // reaches us at (the control connection's own), not on every
        // interface of the machine.
        data_->SetAddr(control_->GetXAddr());
        data_->SetLingerOnOff(wsLingerOn);
        data_->SetLingerTimeout(10);
        data_->Listen();
        transfer_.phase = DataPhase::Listening;
        int port = std::atoi(data_->GetXPort().c_str());
        const std::string local = control_->GetXAddr();
        cmd = local.find(':') != std::string::npos
                  ? ftpreply::ExtendedPortCommand(local, port)
                  : ftpreply::PortCommand(resolvedAddr_, local, port);
    }
    transfer_.count = 0;
    passiveReply_.clear();
    StartCommand(ftpPort, stepPort, cmd, {200, 227, 229});
    if (extended)
        nextHandler_ = &TCustomFtpCli::ExtendedPassiveReply;
}

void TCustomFtpCli::ExtendedPassiveReply() {
    const int code = ftpreply::ReplyCodeOf(lastReply_);
    if (code >= 500 && !login_.serviceClosing) {
        TriggerDisplay(kReceivedPrefix + lastReply_);
        login_.epsvRefused = true;
        SetState(ftpcChaining);
        StartCommand(ftpPort, stepPort, "PASV", {227});
        return;
    }
    GenericReply();
}

// ---------------------------------------------------------------- Rest step

void TCustomFtpCli::RestStep() {
    CheckReady();
    CheckConnected();
    if (!request_.inSequence)
        requestCode_ = ftpRest;
    const bool putRequest = requestCode_ == ftpRestPut || requestCode_ == ftpSessionRestPut;
    if (!putRequest && !(Options & ftpNoAutoResumeAt)) {
        struct stat st {};
        ResumeOffset =
            ::stat(LocalFileName.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
    }
    commandStep_ = stepRest;
    if (ResumeOffset < 1) {
        // Nothing to resume: the step is done without a command.
        request_.done = false;
        Done(0);
        return;
    }
    StartCommand(ftpRest, stepRest, "REST " + std::to_string(ResumeOffset), {350});
}

// ---------------------------------------------------------------- shared

void TCustomFtpCli::CloseData() {
    transfer_.phase = DataPhase::Idle;
    if (data_->State() != wsClosed) {
        try {
            data_->Close();
        } catch (const std::exception&) {
            // The handle is gone either way; nothing more to release.
        }
    }
}

bool TCustomFtpCli::ConnectPassiveData() {
    auto port = ftpreply::ReplyCodeOf(passiveReply_) == 229
                    ? ftpreply::ExtendedPassivePort(passiveReply_)
                    : ftpreply::PassivePort(passiveReply_);
    if (!port) {
        // No port to connect to (none named, or port 0): said as it is.
        lastReply_ = kBadPassiveReply + passiveReply_;
        replyCode_ = 550;
        FailTransferStart(550);
        return false;
    }
    try {
        transfer_.phase = DataPhase::Idle;
        if (data_->State() != wsClosed)
            data_->Abort();
        ApplySocks(*data_);
        data_->SetProto("tcp");
        // The address numbers of the 227 reply are not used: data always goes
        // to the host the control connection reached.
        data_->SetAddr(resolvedAddr_);
        data_->SetPort(std::to_string(*port));
        data_->SetLingerOnOff(wsLingerOff);
        data_->SetLingerTimeout(0);
        transfer_.phase = DataPhase::Connecting;
        data_->Connect();
    } catch (const std::exception&) {
        transfer_.phase = DataPhase::Idle;
        DataConnectFailed(data_->LastError() ? data_->LastError() : wsa::WSAEINVAL);
        return false;
    }
    return true;
}

void TCustomFtpCli::DataConnectFailed(int error) {
    lastReply_ = kDataConnectionError + std::to_string(error);
    if (IsSocks())
        lastReply_ += kDataSocksOpen + SocksFailureText(error) + kDataSocksClose;
    replyCode_ = 550;
    FailTransferStart(550);
}

void TCustomFtpCli::FailTransferStart(int code) {
    requestResult_ = code;
    SetErrorMessage();
    CloseData();
    ReleaseLocalFile();
    ResumeOffset = 0;
    Done(code);
}

int TCustomFtpCli::AcceptDataConnection() {
    if (transfer_.phase != DataPhase::Listening)
        return -1;
    int handle = -1;
    int code = wsa::WSAEINVAL;
    try {
        handle = data_->Accept();
    } catch (const std::exception&) {
        code = data_->LastError() ? data_->LastError() : code;
    }
    if (handle >= 0) {
        // SECURITY: only the server may open the data connection; another
        // host that reaches the port first would otherwise receive an upload
        // or feed a download. It is turned away and the listener keeps waiting.
        const std::string peer = TCustomWSocket::PeerAddrOfHandle(handle);
        const std::string server = control_->GetPeerAddr();
        if (peer != server) {
            ::close(handle);
            if (OnNotice)
                OnNotice(this, kForeignDataPeerPrefix + (peer.empty() ? "?" : peer) +
                                   kForeignDataPeerMiddle + server + kForeignDataPeerSuffix);
            return -1;
        }
    }
    transfer_.phase = DataPhase::Idle;
    data_->Close(); // the listener
    if (handle < 0)
        DataConnectFailed(code);
    return handle;
}

void TCustomFtpCli::TransferFinalReply(std::initializer_list<int> accepted, const bool& closed,
                                       const char* failedNote) {
    TriggerDisplay(kReceivedPrefix + lastReply_);
    if (transfer_.replySeen)
        return;
    int code = ftpreply::ReplyCodeOf(lastReply_);
    replyCode_ = code;
    if (std::find(accepted.begin(), accepted.end(), code) != accepted.end()) {
        transfer_.replySeen = true;
        FinishTransferIfDone(closed);
        return;
    }
    requestResult_ = code;
    SetErrorMessage();
    ReleaseLocalFile();
    CloseData();
    TriggerDisplay(failedNote);
    ResumeOffset = 0;
    Done(code);
}

void TCustomFtpCli::TransferDataClosed(bool& closed, int error) {
    if (state_ == ftpcAborting)
        return;
    ReleaseLocalFile();
    closed = true;
    transfer_.dataError = error;
    if (error != 0 && !transfer_.localError) {
        // A reset says more than the server's reply, which may well be
        // "226 Transfer complete".
        errorMessage_ = kDataConnectionFailed + WSocketErrorDesc(error) + kSocketErrorReplyMiddle +
                        std::to_string(error) + kSocketErrorReplySuffix;
    }
    FinishTransferIfDone(closed);
}

void TCustomFtpCli::FinishTransferIfDone(bool closed) {
    if (!transfer_.replySeen || !closed || request_.done)
        return;
    WriteStatistics();
    const int result = transfer_.receiving ? ReceiveResult() : transfer_.dataError;
    ResumeOffset = 0;
    if (result == 0 && !transfer_.localError)
        PutPartialCopyInPlace();
    if (transfer_.localError) {
        Done(LocalFailureResult());
        return;
    }
    Done(result);
}

int TCustomFtpCli::ReceiveResult() {
    if (transfer_.dataError != 0 || transfer_.localError || DisplayFileFlag)
        return transfer_.dataError;
    const std::int64_t end = transfer_.receiveOffset + transfer_.count;
    if (transfer_.expectedSize >= 0 && end < transfer_.expectedSize) {
        // The data connection ended early: a failure, whatever the server said.
        lastReply_ = kShortDownloadPrefix + std::to_string(transfer_.expectedSize) +
                     kShortDownloadMiddle + std::to_string(end) + kShortDownloadSuffix;
        errorMessage_ = lastReply_;
        replyCode_ = requestResult_ = 426;
        return 426;
    }
    if (transfer_.localUntouched) {
        // A complete transfer of no bytes: the empty file is its result.
        if (!OpenLocalForReceive())
            return 0; // LocalFileFailed has recorded the failure
        ReleaseLocalFile();
    }
    return 0;
}

void TCustomFtpCli::DataConnected(int error) {
    if (transfer_.phase != DataPhase::Connecting)
        return;
    if (error != 0) {
        transfer_.phase = DataPhase::Idle;
        DataConnectFailed(error);
        return;
    }
    transfer_.phase = DataPhase::Open;
    transfer_.startTicks = NowMs();
    if (!transfer_.receiving) {
        transfer_.sendConnected = true;
        StartTransferCommand();
    }
}

void TCustomFtpCli::StartTransferCommand() {
    SetState(ftpcAwaitingReply);
    nextHandler_ =
        transfer_.receiving ? &TCustomFtpCli::ReceiveFirstReply : &TCustomFtpCli::StoreFirstReply;
    SendCommand(transfer_.pendingCommand);
}

int TCustomFtpCli::LocalFailureResult() {
    if (!transfer_.localError)
        return transfer_.dataError;
    lastReply_ = errorMessage_;
    replyCode_ = requestResult_ = 550;
    return 550;
}

void TCustomFtpCli::WriteStatistics() {
    std::int64_t elapsed = transfer_.startTicks ? NowMs() - transfer_.startTicks : 0;
    TriggerDisplay(ftpreply::StatisticsLine(transfer_.count, elapsed));
}

// ---------------------------------------------------------------- local file

void TCustomFtpCli::LocalFileFailed(const char* prefix, int error) {
    transfer_.localError = true;
    errorMessage_ = prefix + LocalFileName + kReasonSeparator + std::strerror(error);
}

bool TCustomFtpCli::CheckLocalForReceive() {
    // An existing file is opened for writing and closed again untouched; for
    // a new name its folder must take a new file. (O_NONBLOCK: a named pipe
    // without a reader fails here instead of stopping the loop.)
    int fd = ::open(LocalFileName.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != ENOENT)
        return false;
    std::string folder = ".";
    std::size_t slash = LocalFileName.find_last_of('/');
    if (slash != std::string::npos)
        folder = slash == 0 ? "/" : LocalFileName.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool TCustomFtpCli::OpenLocalForReceive() {
    if (transfer_.replaceTarget)
        return OpenPartialCopy();
    if (LocalFileHandle >= 0) {
        if (int error = localFile_.Adopt(::fcntl(LocalFileHandle, F_DUPFD_CLOEXEC, 0))) {
            LocalFileFailed(kCannotOpenLocalFile, error);
            return false;
        }
        transfer_.localUntouched = false;
        return true;
    }
    // A download onto a new name creates it only now that its data has come
    // (or it completed with none); a resumed one appends at its offset.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (transfer_.receiveOffset <= 0)
        flags |= O_TRUNC;
    if (int error = localFile_.Open(LocalFileName, flags, transfer_.receiveOffset, 0644)) {
        LocalFileFailed(kCannotOpenLocalFile, error);
        return false;
    }
    transfer_.localUntouched = false;
    return true;
}

bool TCustomFtpCli::OpenPartialCopy() {
    // The new copy is written beside the old one, under a name of its own,
    // and renamed over it only once complete: a failure at any point leaves
    // the old file as it was.
    const std::size_t slash = LocalFileName.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : LocalFileName.substr(0, slash + 1);
    const std::string base =
        slash == std::string::npos ? LocalFileName : LocalFileName.substr(slash + 1);
    static unsigned counter = 0;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        std::string candidate = folder + "." + base + kPartialCopyInfix +
                                std::to_string(::getpid()) + "-" + std::to_string(++counter);
        error = localFile_.Open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0,
                                static_cast<int>(transfer_.targetMode));
        if (error == 0)
            transfer_.partialPath = candidate;
    }
    if (error != 0) {
        LocalFileFailed(kCannotOpenLocalFile, error);
        return false;
    }
    // The old file's permissions, as an overwrite in place would keep them.
    ::fchmod(localFile_.Fd(), transfer_.targetMode);
    transfer_.localUntouched = false;
    return true;
}

void TCustomFtpCli::PutPartialCopyInPlace() {
    if (!transfer_.replaceTarget || transfer_.partialPath.empty())
        return;
    ReleaseLocalFile();
    if (::rename(transfer_.partialPath.c_str(), LocalFileName.c_str()) != 0) {
        LocalFileFailed(kCannotReplaceLocalFile, errno);
        return; // Done discards the copy and says the old one was kept
    }
    transfer_.partialPath.clear();
    transfer_.replaceTarget = false;
}

void TCustomFtpCli::DiscardPartialCopy() {
    if (!transfer_.partialPath.empty()) {
        localFile_.Close();
        ::unlink(transfer_.partialPath.c_str());
        transfer_.partialPath.clear();
    }
    if (!transfer_.replaceTarget)
        return;
    transfer_.replaceTarget = false;
    errorMessage_ += kOldCopyKeptPrefix + LocalFileName + kOldCopyKeptSuffix;
}

int TCustomFtpCli::OpenLocalForSend() {
    if (LocalFileHandle >= 0)
        return localFile_.Adopt(::fcntl(LocalFileHandle, F_DUPFD_CLOEXEC, 0), ResumeOffset);
    return localFile_.Open(LocalFileName, O_RDONLY | O_CLOEXEC, ResumeOffset);
}

void TCustomFtpCli::ReleaseLocalFile() {
    // The last, shorter enciphered chunk.
    received_.Finish([this](char* last, std::size_t size) {
        if (CipherHooks)
            CipherHooks->DecipherChunk(last, static_cast<int>(size));
        Deliver(last, static_cast<int>(size));
    });
    if (!transfer_.displayPartial.empty()) {
        std::string line;
        line.swap(transfer_.displayPartial);
        TriggerDisplayFile(line);
    }
    transfer_.lastWasCR = false;
    localFile_.Close();
}

// ---------------------------------------------------------------- receiving

void TCustomFtpCli::ReceiveStep(const char* command) {
    CheckReady();
    transfer_.command = command;
    if (control_->State() != wsConnected)
        throw FtpException(std::string(command) + kNotConnectedSuffix);
    if (LocalFileName.empty() && !DisplayFileFlag)
        throw FtpException(kLocalFileNameEmpty);
    received_.Clear();
    transfer_.displayPartial.clear();
    transfer_.lastWasCR = false;
    const std::string cmd = command;
    const bool listing = cmd == "LIST" || cmd == "MLSD";
    const TFtpRequest code = cmd == "RETR" ? ftpGet : listing ? ftpDir : ftpLs;
    if (!request_.inSequence)
        requestCode_ = code;
    commandStep_ = cmd == "RETR" ? stepGet : listing ? stepDir : stepLs;
    transfer_.replySeen = transfer_.receiveClosed = false;
    request_.done = false;
    transfer_.count = 0;
    transfer_.dataError = 0;
    transfer_.localError = false;
    transfer_.receiving = true;
    transfer_.receiveOffset = ResumeOffset > 0 ? ResumeOffset : 0;
    transfer_.localUntouched = false;
    transfer_.expectedSize = -1;
    transfer_.replaceTarget = false;
    if (!DisplayFileFlag) {
        ReleaseLocalFile();
        DiscardPartialCopy();
        // An existing regular file that is not resumed is replaced whole,
        // through a copy (a device or a pipe is written as it is).
        struct stat st {};
        if (LocalFileHandle < 0 && transfer_.receiveOffset == 0 &&
            ::stat(LocalFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            transfer_.replaceTarget = true;
            transfer_.targetMode = st.st_mode & 07777;
        }
        if (LocalFileHandle < 0 && !CheckLocalForReceive()) {
            transfer_.replaceTarget = false; // nothing started
            throw FtpException(kCannotOpenLocalFile + LocalFileName + kReasonSeparator +
                               std::strerror(errno));
        }
        // Nothing is created or emptied before the first data byte.
        transfer_.localUntouched = true;
        if (code == ftpGet && type_.binary && knownSizeName_ && *knownSizeName_ == HostFileName)
            transfer_.expectedSize = replySize_;
    }
    transfer_.pendingCommand = HostFileName.empty() ? cmd : cmd + " " + HostFileName;
    if (usePassive_) {
        SetState(ftpcAwaitingReply);
        if (!ConnectPassiveData())
            return;
    }
    StartTransferCommand();
}

void TCustomFtpCli::DataAvailable(int /*error*/) {
    if (transfer_.phase != DataPhase::Open || !transfer_.receiving) {
        // Nobody wants these bytes; read them so the loop does not spin.
        char discard[4096];
        data_->Receive(discard, sizeof discard);
        return;
    }
    if (TriggerProgress()) {
        TriggerDisplay(kAbortRequested);
        data_->Close();
        return;
    }
    long long want = kIoBlock;
    QPointer<TWSocket> socket(data_.get());
    if (!PaceBlock(false, want, 1, [socket] {
            if (socket && socket->Paused())
                socket->Resume();
        })) {
        data_->Pause();
        return;
    }
    int n = data_->Receive(ioBuffer_.data(), static_cast<int>(want));
    if (n > 0)
        pacer_.Spend(n);
    if (n == 0)
        return;
    if (n < 0) {
        if (data_->State() == wsConnected && data_->LastError() != wsa::WSAEWOULDBLOCK) {
            TriggerDisplay(kDataReceiveError + std::to_string(data_->LastError()));
            data_->Shutdown(2);
        }
        return;
    }
    transfer_.count += n;
    if (ClientEncryptionActive && CipherHooks) {
        // Enciphered data comes in chunks, each deciphered on its own,
        // however the bytes were split on the way; whole chunks are
        // deciphered in place and written at once.
        received_.Feed(
            ioBuffer_.data(), static_cast<std::size_t>(n), [this](char* run, std::size_t size) {
                ForEachChunk(run, size, kServerToClientChunk,
                             [this](char* chunk, std::size_t length) {
                                 CipherHooks->DecipherChunk(chunk, static_cast<int>(length));
                             });
                Deliver(run, static_cast<int>(size));
            });
        return;
    }
    Deliver(ioBuffer_.data(), n);
}

void TCustomFtpCli::Deliver(const char* bytes, int len) {
    if (len > 0 && transfer_.localUntouched && !transfer_.localError && !OpenLocalForReceive())
        data_->Shutdown(2);
    if (localFile_.IsOpen() && !transfer_.localError && len > 0) {
        if (int error = localFile_.Write(bytes, static_cast<std::size_t>(len))) {
            TriggerDisplay(kErrorWritingLocalFile);
            // A download that could not be stored is a failure, whatever
            // the server says next.
            LocalFileFailed(kLocalWriteFailed, error);
            data_->Shutdown(2);
        }
    }
    if (!DisplayFileFlag)
        return;
    if (DisplayFileMode == 1) {
        TriggerDisplayFile(std::string(bytes, static_cast<std::size_t>(len)));
        return;
    }
    // Line by line; a line split over two reads is joined first.
    for (int i = 0; i < len; ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            bool skip = c == '\n' && transfer_.lastWasCR && transfer_.displayPartial.empty();
            transfer_.lastWasCR = c == '\r';
            if (skip)
                continue;
            std::string line;
            line.swap(transfer_.displayPartial);
            TriggerDisplayFile(line);
            continue;
        }
        transfer_.lastWasCR = false;
        transfer_.displayPartial += c;
    }
}

void TCustomFtpCli::ReceiveFirstReply() {
    TriggerDisplay(kReceivedPrefix + lastReply_);
    int code = ftpreply::ReplyCodeOf(lastReply_);
    replyCode_ = code;
    if (code == 150 || code == 125) {
        // "(N bytes)" in a binary download's first reply is the size the
        // file must reach, also for a resumed one.
        if (commandStep_ == stepGet && type_.binary && !DisplayFileFlag)
            if (auto announced = ftpreply::AnnouncedSize(lastReply_))
                transfer_.expectedSize = *announced;
        nextHandler_ = &TCustomFtpCli::ReceiveFinalReply;
        return;
    }
    FailTransferStart(code);
}

void TCustomFtpCli::ReceiveFinalReply() {
    TransferFinalReply({125, 226, 250}, transfer_.receiveClosed, kReceiveFailed);
}

void TCustomFtpCli::ReceiveClosedHandler(int error) {
    TransferDataClosed(transfer_.receiveClosed, error);
}

// ---------------------------------------------------------------- sending

void TCustomFtpCli::SendStep(bool append) {
    CheckReady();
    if (control_->State() != wsConnected)
        throw FtpException(kStoreNotConnected);
    if (LocalFileName.empty())
        throw FtpException(kLocalFileNameEmpty);
    if (!request_.inSequence)
        requestCode_ = append ? ftpAppend : ftpPut;
    commandStep_ = append ? stepAppend : stepPut;
    ForgetKnownSize(commandStep_); // an upload may change any file's size
    transfer_.receiving = false;
    transfer_.replySeen = transfer_.sendClosed = false;
    request_.done = false;
    transfer_.storeAnswered = transfer_.sendStarted = false;
    // Port mode: the server may have connected already; sending then starts
    // with its first reply.
    transfer_.sendConnected = !usePassive_ && transfer_.phase == DataPhase::Open;
    if (!transfer_.sendConnected)
        transfer_.startTicks = 0;
    transfer_.count = 0;
    transfer_.dataError = 0;
    transfer_.localError = false;
    bool cancel = false;
    TriggerReadyToTransmit(cancel);
    if (cancel) {
        errorMessage_ = kTransmitCancelled;
        replyCode_ = requestResult_ = 426;
        TriggerDisplay(kNotePrefix + errorMessage_);
        CloseData();
        Done(426);
        return;
    }
    ReleaseLocalFile();
    if (int error = OpenLocalForSend())
        throw FtpException(kCannotOpenLocalFile + LocalFileName + kReasonSeparator +
                           std::strerror(error));
    transfer_.sendEof = false;
    transfer_.pendingCommand = (append ? "APPE " : "STOR ") + HostFileName;
    if (usePassive_) {
        // The command goes out once the data connection is up.
        SetState(ftpcAwaitingReply);
        ConnectPassiveData();
        return;
    }
    StartTransferCommand();
}

void TCustomFtpCli::DataSessionAvailable(int /*error*/) {
    const int handle = AcceptDataConnection();
    if (handle < 0)
        return;
    data_->SetLingerOnOff(wsLingerOff);
    data_->SetLingerTimeout(10);
    data_->Dup(handle);
    transfer_.phase = DataPhase::Open;
    transfer_.startTicks = NowMs();
    // Up before the transfer command (a server that connects at PORT time):
    // the step finds it open when it starts.
    if (transfer_.receiving || (commandStep_ != stepPut && commandStep_ != stepAppend))
        return;
    int size = 0;
    socklen_t len = sizeof size;
    if (::getsockopt(handle, SOL_SOCKET, SO_SNDBUF, &size, &len) != 0)
        TriggerDisplay(kSndBufFailed);
    transfer_.sendConnected = true;
    if (transfer_.storeAnswered && !transfer_.sendStarted)
        PostSendStart();
}

void TCustomFtpCli::PostSendStart() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (transfer_.sendStarted || transfer_.phase != DataPhase::Open || !localFile_.IsOpen())
                return;
            transfer_.sendStarted = true;
            transfer_.startTicks = NowMs();
            SendNextBlock(0);
        },
        Qt::QueuedConnection);
}

void TCustomFtpCli::StoreFirstReply() {
    TriggerDisplay(kReceivedPrefix + lastReply_);
    int code = ftpreply::ReplyCodeOf(lastReply_);
    replyCode_ = code;
    if (code != 150 && code != 125) {
        FailTransferStart(code);
        return;
    }
    transfer_.storeAnswered = true;
    nextHandler_ = &TCustomFtpCli::StoreFinalReply;
    if (usePassive_) {
        if (!transfer_.sendStarted)
            SendNextBlock(0);
    } else if (transfer_.sendConnected && !transfer_.sendStarted) {
        PostSendStart();
    }
}

void TCustomFtpCli::SendNextBlock(int error) {
    if (!localFile_.IsOpen())
        return;
    if (TriggerProgress()) {
        TriggerDisplay(kAbortRequested);
        data_->Close();
        return;
    }
    if (error != 0) {
        TriggerDisplay(kSendErrorPrefix + std::to_string(error) + kSendErrorSuffix);
        data_->Close();
        return;
    }
    if (transfer_.sendEof || !transfer_.storeAnswered || !transfer_.sendConnected)
        return;
    transfer_.sendStarted = true;
    long long want = kSendBlock;
    const bool enciphered = ClientEncryptionActive && CipherHooks;
    if (!PaceBlock(true, want, enciphered ? kClientToServerChunk : 1, [this] {
            if (transfer_.phase == DataPhase::Open && !transfer_.sendEof)
                SendNextBlock(0);
        }))
        return;
    const long long n = localFile_.Read(ioBuffer_.data(), want);
    if (n < 0) {
        // Reset the connection so the server never takes a cut-off upload
        // for a complete one.
        LocalFileFailed(kLocalReadFailed, errno);
        transfer_.sendEof = true;
        data_->Abort();
        return;
    }
    if (n == 0) {
        transfer_.sendEof = true;
        data_->Close();
        return;
    }
    if (ClientEncryptionActive && CipherHooks) {
        CipherHooks->EncipherChunks(ioBuffer_.data(), static_cast<std::size_t>(n),
                                    kClientToServerChunk);
    }
    transfer_.count += n;
    pacer_.Spend(n);
    data_->Send(ioBuffer_.data(), static_cast<int>(n));
}

void TCustomFtpCli::StoreFinalReply() {
    TransferFinalReply({226, 250}, transfer_.sendClosed, kStoreFailed);
}

void TCustomFtpCli::SendClosedHandler(int error) {
    TransferDataClosed(transfer_.sendClosed, error);
}
