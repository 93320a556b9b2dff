// Data connections: PORT, PASV, uploads, downloads, REST and ABOR.
#include "ftpserver/FtpServer.h"

#include <QMetaObject>
#include <QPointer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr int kDataSendBuffer = 4 * 1024 * 1024;

bool IsUpload(std::uint8_t cmd) {
    return cmd == ftpcSTOR || cmd == ftpcAPPE;
}

// Fills buffer as far as the stream allows, so that every enciphered chunk
// but the last is whole even if a read comes back short.
long long ReadFull(TTransferStream& stream, char* buffer, long long want) {
    long long got = 0;
    while (got < want) {
        const long long n = stream.Read(buffer + got, want - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

} // namespace

void TFtpServer::CommandPORT(TFtpCtrlSocket* Client, std::string& Keyword, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcPORT;
    if (RefusedAfterEpsvAll(Client, Keyword, Answer))
        return;
    TPortArgument arg;
    try {
        arg = ParsePortArgument(Params);
    } catch (const std::exception&) {
        Answer = replies::kPortInvalid;
        return;
    }
    // SECURITY: the data connection goes only to the client itself, never
    // to a third host (FTP bounce).
    // SECURITY: nor to a privileged port of the client's host, where a
    // service would take the data for a command of its own.
    if (arg.Address != Client->PeerAddr || arg.Port < 1024) {
        Answer = replies::kPortIllegal;
        return;
    }
    SetActiveAddress(Client, arg.Address, arg.Port);
    Answer = replies::kPortOk;
}

void TFtpServer::CommandPASV(TFtpCtrlSocket* Client, std::string& Keyword, std::string&,
                             std::string& Answer) {
    if (RefusedAfterEpsvAll(Client, Keyword, Answer))
        return;
    try {
        TSocketAddress local;
        if (Client->GetSockName(local) != 0)
            throw FtpServerException(SystemErrorText(errno));
        // PASV can only name an IPv4 address (an IPv4 client of the
        // dual-stack listener reached an IPv4 one).
        if (local.IsIPv6() && local.IPv4() == 0) {
            Answer = replies::kPasvOnIPv6;
            return;
        }
        std::string announced = local.AddressText();
        std::string bindAddress = announced;
        // Behind NAT the client is told the outside address; the connection
        // then comes through the NAT to whichever local address it forwards
        // to, so the listener waits on all of them.
        if (!Passive.ExternalAddress.empty() &&
            (Passive.ExternalForLocal || !IsLocalNetworkAddress(Client->PeerAddr))) {
            announced = Passive.ExternalAddress;
            bindAddress = "0.0.0.0";
        }
        in_addr shown{};
        if (::inet_pton(AF_INET, announced.c_str(), &shown) != 1)
            throw FtpServerException(announced);
        const int port = OpenPassiveListener(Client, bindAddress);
        const std::uint32_t ip = ntohl(shown.s_addr);
        Answer = FormatReply(replies::kPasvOk,
                             {std::to_string(ip >> 24), std::to_string((ip >> 16) & 255),
                              std::to_string((ip >> 8) & 255), std::to_string(ip & 255),
                              std::to_string(port >> 8), std::to_string(port & 255)});
    } catch (const std::exception& e) {
        Answer = PassiveFailure(Client, replies::kPasvFailed, e);
    }
}

void TFtpServer::PassiveSessionAvailable(TFtpCtrlSocket* Client) {
    TWSocket* listener = Client->PasvListener.get();
    int handle = -1;
    try {
        handle = listener->Accept();
    } catch (const std::exception&) {
        // Out of descriptors: a transfer that waits for this connection ends
        // with 425 rather than waiting in silence; before the transfer
        // command the listener tries again shortly (see Accept).
        if (WSocketIsResourceShortage(listener->LastError()) && Client->PassiveStart &&
            Client->TransferReplyPending)
            FailPassiveTransfer(Client);
        return;
    }
    if (handle < 0)
        return;
    // SECURITY: only the client itself may open its data connection; a
    // stranger is turned away and the listener keeps waiting.
    if (TCustomWSocket::PeerAddrOfHandle(handle) != Client->PeerAddr) {
        ::close(handle);
        return;
    }
    listener->Close();

    // The transfer command that waits for this connection chose the
    // handlers; commands sent since (NOOP, TYPE, ...) do not matter.
    const bool upload = IsUpload(Client->TransferCmd);
    if (Client->PassiveStart)
        HookDataHandlers(Client, upload);
    TWSocket* data = Client->DataSocket.get();
    data->SetLingerOnOff(wsLingerOff);
    data->SetLingerTimeout(0);
    data->Dup(handle);
    Client->PassiveConnected = true;
    if (Client->PassiveStart) {
        if (upload)
            StorSessionConnected(Client, 0);
        else
            RetrSessionConnected(Client, 0);
    }
}

void TFtpServer::FailPassiveTransfer(TFtpCtrlSocket* Client) {
    if (Client->PasvListener)
        Client->PasvListener->Close();
    Client->PassiveMode = false;
    Client->DataConnectFailed = true;
    if (IsUpload(Client->CurCmdType))
        StorSessionClosed(Client, 0);
    else
        RetrSessionClosed(Client, 0);
}

void TFtpServer::HookDataHandlers(TFtpCtrlSocket* Client, bool upload) {
    TWSocket* data = Client->DataSocket.get();
    if (upload) {
        data->OnSessionConnected = [this, Client](TCustomWSocket*, int e) {
            StorSessionConnected(Client, e);
        };
        data->OnDataAvailable = [this, Client](TCustomWSocket*, int e) {
            StorDataAvailable(Client, e);
        };
        data->OnSessionClosed = [this, Client](TCustomWSocket*, int e) {
            StorSessionClosed(Client, e);
        };
        data->OnDataSent = nullptr;
    } else {
        data->OnSessionConnected = [this, Client](TCustomWSocket*, int e) {
            RetrSessionConnected(Client, e);
        };
        data->OnDataSent = [this, Client](TCustomWSocket*, int e) { RetrDataSent(Client, e); };
        data->OnSessionClosed = [this, Client](TCustomWSocket*, int e) {
            RetrSessionClosed(Client, e);
        };
        data->OnDataAvailable = nullptr;
    }
}

void TFtpServer::StartDataConnection(TFtpCtrlSocket* Client, bool upload) {
    TWSocket* data = Client->DataSocket.get();
    Client->DataConnectFailed = false;
    Client->TransferReplyPending = true;
    Client->TransferCmd = Client->CurCmdType;
    if (Client->PassiveMode) {
        HookDataHandlers(Client, upload);
        if (Client->PassiveConnected) {
            if (upload)
                StorSessionConnected(Client, 0);
            else
                RetrSessionConnected(Client, 0);
        } else {
            Client->PassiveStart = true;
            Client->PassiveWaitSeconds = 0;
        }
        return;
    }
    if (data->State() != wsClosed) {
        data->OnSessionClosed = nullptr;
        data->Close();
    }
    // Linger off: a closed data connection still delivers its last bytes.
    data->SetProto("tcp");
    data->SetAddr(Client->DataAddr);
    data->SetPort(Client->DataPort);
    data->SetBufSize(64 * 1024);
    HookDataHandlers(Client, upload);
    data->SetLingerOnOff(wsLingerOff);
    data->SetLingerTimeout(0);
    try {
        data->Connect();
    } catch (...) {
        Client->TransferReplyPending = false;
        data->OnSessionClosed = nullptr;
        throw;
    }
}

void TFtpServer::AbortTransfer(TFtpCtrlSocket* Client, const std::string& reason) {
    Client->TransferError = reason;
    Client->AbortingTransfer = true;
    QueueAbortData(Client);
}

// ------------------------------------------------------------------ uploads

void TFtpServer::ResetUploadState(TFtpCtrlSocket* Client, const std::string& Params) {
    Client->FileName = ClientName(Params);
    Client->HasOpenedFile = false;
    Client->AbortingTransfer = false;
    Client->TransferError = replies::kTransferOk;
}

bool TFtpServer::AllowedUpload(TFtpCtrlSocket* Client, const std::string& Params,
                               const char* denied, std::string& Answer) {
    std::string path = EntryPath(Client, Params);
    // SECURITY: rights first, so a refused client learns nothing of the disk.
    if (!Validate(OnValidatePut, Client, path)) {
        Answer = denied;
        return false;
    }
    // SECURITY: an upload never writes through a symbolic link.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        throw FtpServerException(replies::kUploadIsLink);
    Client->FilePath = path;
    Client->CloseTransferSource();
    return true;
}

void TFtpServer::CommandSTOR(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcSTOR;
    ResetUploadState(Client, Params);
    try {
        if (!AllowedUpload(Client, Params, replies::kStorDenied, Answer))
            return;
        StartDataConnection(Client, true);
        Answer = FormatReply(replies::kOpeningData, {Params});
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kStorFailed, {e.what()});
    }
}

void TFtpServer::CommandAPPE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcAPPE;
    ResetUploadState(Client, Params);
    try {
        if (!AllowedUpload(Client, Params, replies::kAppeDenied, Answer))
            return;
        struct stat st {};
        Client->RestartPos =
            ::lstat(Client->FilePath.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
        StartDataConnection(Client, true);
        Answer = FormatReply(replies::kAppeOk, {Params, std::to_string(Client->RestartPos)});
    } catch (const std::exception&) {
        Answer = replies::kAppeFailed;
    }
}

void TFtpServer::OpenUploadFile(TFtpCtrlSocket* Client) {
    if (Client->DataStream.IsOpen() || Client->FilePath.empty())
        return;
    // STOR after REST and APPE keep the bytes before their position.
    const bool truncate = Client->TransferCmd == ftpcSTOR;
    Client->DataStream.OpenWrite(Client->FilePath, Client->RestartPos, truncate);
    Client->HasOpenedFile = true;
}

bool TFtpServer::DataSessionUp(TFtpCtrlSocket* Client, int Error) {
    if (Error != 0) {
        Client->DataConnectFailed = true;
        return false;
    }
    // A large send buffer on the data connection: fewer wake-ups per byte
    // of a download (the system caps it at its own maximum, above what its
    // automatic sizing reaches). The receive side is left to the system,
    // whose automatic sizing goes further than a fixed size would.
    const int size = kDataSendBuffer;
    ::setsockopt(Client->DataSocket->HSocket(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    Client->DataSessionActive = true;
    Client->PassiveMode = false;
    return true;
}

void TFtpServer::DataSessionDown(TFtpCtrlSocket* Client) {
    // A transfer waiting for its speed limit waits no more.
    Client->Pacer.Cancel();
    if (Client->DataSocket->Paused())
        Client->DataSocket->Resume();
    Client->DataSessionActive = false;
    Client->PassiveStart = false;
    Client->PassiveConnected = false;
    Client->RestartPos = 0;
    Client->DataPort = "ftp-data";
}

void TFtpServer::SendTransferEnd(TFtpCtrlSocket* Client, int Error, const std::string& aborted,
                                 const std::string& failed, const char* done) {
    if (!Client->TransferReplyPending)
        return;
    Client->TransferReplyPending = false;
    if (Client->DataConnectFailed)
        SendAnswer(Client, replies::kCannotOpenData);
    else if (Client->AbortingTransfer)
        SendAnswer(Client, aborted);
    else if (Error != 0)
        SendAnswer(Client, failed);
    else
        SendAnswer(Client, done);
    Client->DataConnectFailed = false;
}

void TFtpServer::StorSessionConnected(TFtpCtrlSocket* Client, int Error) {
    if (!DataSessionUp(Client, Error))
        return;
    StartUploadDecipher(Client);
    if (OnStorSessionConnected)
        OnStorSessionConnected(this, Client, Client->DataSocket.get(), Error);
    // Opened now, so that an upload of no bytes still creates its file.
    try {
        OpenUploadFile(Client);
    } catch (const std::exception& e) {
        AbortTransfer(Client, e.what());
    }
}

void TFtpServer::StorDataAvailable(TFtpCtrlSocket* Client, int Error) {
    TWSocket* data = Client->DataSocket.get();
    long long want = TFtpCtrlSocket::kTransferChunk;
    TransferPacer& pacer = PacerFor(Client, true);
    if (pacer.Limited() && !Client->AbortingTransfer) {
        want = pacer.Allowance(want);
        if (want == 0) {
            PaceUpload(Client);
            return;
        }
    }
    char* buf = Client->TransferBuffer();
    const int len = data->Receive(buf, static_cast<int>(want));
    if (len > 0)
        pacer.Spend(len);
    if (len < 1 || Client->AbortingTransfer)
        return; // data after an abort is dropped
    if (OnStorDataAvailable)
        OnStorDataAvailable(this, Client, data, buf, len, Error);
    try {
        OpenUploadFile(Client);
        if (Client->UploadDecipher) {
            // Enciphered uploads arrive as 1514-byte chunks, however split;
            // whole ones are deciphered in the receive buffer and written.
            Client->UploadDecipher->FeedInPlace(
                buf, static_cast<std::size_t>(len), [Client](const char* plain, std::size_t n) {
                    Client->DataStream.Write(plain, static_cast<long long>(n));
                });
        } else {
            Client->DataStream.Write(buf, len);
        }
    } catch (const std::exception& e) {
        AbortTransfer(Client, e.what());
    }
}

void TFtpServer::StorSessionClosed(TFtpCtrlSocket* Client, int Error) {
    DataSessionDown(Client);
    // The last short chunk of an enciphered upload is deciphered now.
    WriteUploadTail(Client);
    Client->CloseTransferSource();
    Client->ReleaseTransferBuffer();
    TWSocket* data = Client->DataSocket.get();
    if (OnStorSessionClosed)
        OnStorSessionClosed(this, Client, data, Error);
    SendTransferEnd(Client, Error, FormatReply(replies::kConnectionClosed, {Client->TransferError}),
                    FormatReply(replies::kConnectionClosedError, {std::to_string(Error)}),
                    replies::kFileReceived);
}

// ---------------------------------------------------------------- downloads

void TFtpServer::CommandRETR(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRETR;
    Client->HasOpenedFile = false;
    Client->FileName = ClientName(Params);
    try {
        std::string path = ContentPath(Client, Params);
        if (!Validate(OnValidateGet, Client, path)) {
            Answer = replies::kRetrDenied;
            return;
        }
        Client->FilePath = path;
        Client->CloseTransferSource();
        Answer = FormatReply(replies::kOpeningData, {Params});
        PrepareDownload(Client);
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kRetrFailed, {e.what()});
    }
}

void TFtpServer::PrepareDownload(TFtpCtrlSocket* Client) {
    Client->FileSegment = 0;
    Client->AbortingTransfer = false;
    Client->CloseQueued = false;
    Client->TransferError = replies::kTransferOk;
    Client->ByteCount = 0;
    StartDataConnection(Client, false);
}

void TFtpServer::RetrSessionConnected(TFtpCtrlSocket* Client, int Error) {
    if (!DataSessionUp(Client, Error))
        return;
    if (OnRetrSessionConnected)
        OnRetrSessionConnected(this, Client, Client->DataSocket.get(), Error);
    try {
        // The pseudo-file "*encryption.key*" is the key file made now for
        // this connection, never a file of that name.
        if (!Client->DataStream.IsOpen() && Client->TransferCmd == ftpcRETR &&
            IsKeyFileRequest(Client->FilePath))
            OpenKeyFile(Client);
        if (!Client->DataStream.IsOpen() && !Client->FilePath.empty()) {
            Client->DataStream.OpenRead(Client->FilePath, Client->RestartPos, true);
            Client->HasOpenedFile = true;
        }
        StartDownloadCipher(Client);
        SendNextChunk(Client);
    } catch (const std::exception& e) {
        AbortTransfer(Client, e.what());
    }
}

void TFtpServer::RetrDataSent(TFtpCtrlSocket* Client, int Error) {
    if (Client->AbortingTransfer || Client->CloseQueued)
        return;
    // A file segment that is out counts before the event reports progress.
    const bool fileEnded = FinishFileSegment(Client);
    if (OnRetrDataSent)
        OnRetrDataSent(this, Client, Client->DataSocket.get(), Error);
    try {
        if (Error != 0)
            throw FtpServerException(replies::kSendError + std::to_string(Error));
        if (fileEnded)
            EndDownloadData(Client);
        else
            SendNextChunk(Client);
    } catch (const std::exception& e) {
        Client->TransferError = e.what();
        Client->AbortingTransfer = true;
        SendAnswer(Client, FormatReply(replies::kConnectionClosed, {e.what()}));
        QueueAbortData(Client);
    }
}

bool TFtpServer::FinishFileSegment(TFtpCtrlSocket* Client) {
    if (Client->FileSegment == 0)
        return false;
    // A segment comes back short only where the file ended.
    const long long moved = Client->DataSocket->FileBytesSent();
    const bool ended = moved < Client->FileSegment;
    Client->FileSegment = 0;
    Client->ByteCount += moved;
    return ended;
}

void TFtpServer::RetrSessionClosed(TFtpCtrlSocket* Client, int Error) {
    // A client that closes the data connection before the whole file was
    // handed over ends a failed download, never one reported as sent: what
    // was still queued for it is lost with the connection.
    if (Error == 0 && !Client->CloseQueued && !Client->AbortingTransfer)
        Error = wsa::WSAECONNRESET;
    DataSessionDown(Client);
    Client->FileSegment = 0;
    Client->CloseTransferSource();
    Client->DownloadCipher.reset();
    Client->ReleaseTransferBuffer();
    TWSocket* data = Client->DataSocket.get();
    SendTransferEnd(
        Client, Error, FormatReply(replies::kRetrFailed, {Client->TransferError}),
        FormatReply(replies::kRetrFailed, {replies::kErrorNumber + std::to_string(Error)}),
        replies::kFileSent);
    if (OnRetrSessionClosed)
        OnRetrSessionClosed(this, Client, data, Error);
}

void TFtpServer::SendNextListingSlice(TFtpCtrlSocket* Client) {
    // One slice of the listing per turn of the loop; the next block goes out
    // once the data connection has taken the previous one (OnDataSent).
    std::string out;
    const bool done = Client->Listing->Produce(out);
    if (!out.empty()) {
        Client->ByteCount += static_cast<long long>(out.size());
        if (const TBlowfishSession* cipher = Client->DownloadCipher.get())
            cipher->EncryptChunks(out.data(), out.size(), kServerToClientChunk);
        Client->DataSocket->Send(out.data(), static_cast<int>(out.size()));
        return;
    }
    if (done) {
        EndDownloadData(Client);
        return;
    }
    QPointer<TFtpCtrlSocket> guard(Client);
    TListingProducer* listing = Client->Listing.get();
    QMetaObject::invokeMethod(
        this,
        [this, guard, listing] {
            if (!guard || guard->Listing.get() != listing || guard->AbortingTransfer ||
                guard->CloseQueued || !guard->DataSessionActive)
                return;
            try {
                SendNextListingSlice(guard);
            } catch (const std::exception& e) {
                AbortTransfer(guard, e.what());
            }
        },
        Qt::QueuedConnection);
}

void TFtpServer::SendNextChunk(TFtpCtrlSocket* Client) {
    if (Client->Listing) {
        SendNextListingSlice(Client);
        return;
    }
    const bool fromFile =
        !Client->DownloadCipher && Client->DataStream.IsOpen() && !Client->DataStream.IsMemory();
    long long want = fromFile ? TFtpCtrlSocket::kFileSegment : TFtpCtrlSocket::kTransferChunk;
    // Under a speed limit a block is what the limits allow now, in whole
    // enciphered chunks; when they allow nothing the loop calls back later.
    TransferPacer& pacer = PacerFor(Client, false);
    if (pacer.Limited()) {
        const long long unit = Client->DownloadCipher ? kServerToClientChunk : 1;
        want = pacer.Allowance(want);
        want -= want % unit;
        if (want == 0) {
            PaceDownload(Client);
            return;
        }
    }
    // A plain file download goes by segments the socket hands to the system
    // straight from the file (sendfile): the same bytes, no copy through this
    // process, no transfer buffer. The next segment is asked for when the
    // previous one is out (OnDataSent), so one is in flight at a time.
    if (fromFile && Client->DataSocket->SendFile(Client->DataStream.Fd(), want)) {
        Client->FileSegment = want;
        pacer.Spend(want);
        return;
    }
    want = std::min<long long>(want, TFtpCtrlSocket::kTransferChunk);
    // Other data goes in large blocks, one in flight at a time so memory per
    // transfer stays bounded. Enciphered data is the same bytes as 2048-byte
    // chunks sent one after the other, each enciphered on its own; the block
    // is a whole number of chunks, so only the last chunk can be short.
    static_assert(TFtpCtrlSocket::kTransferChunk % kServerToClientChunk == 0);
    char* buf = Client->TransferBuffer();
    long long len = 0;
    if (Client->DataStream.IsOpen())
        len = Client->DownloadCipher ? ReadFull(Client->DataStream, buf, want)
                                     : Client->DataStream.Read(buf, want);
    if (len == 0) {
        EndDownloadData(Client);
        return;
    }
    pacer.Spend(len);
    Client->ByteCount += len;
    if (const TBlowfishSession* cipher = Client->DownloadCipher.get())
        cipher->EncryptChunks(buf, static_cast<std::size_t>(len), kServerToClientChunk);
    Client->DataSocket->Send(buf, static_cast<int>(len));
}

void TFtpServer::EndDownloadData(TFtpCtrlSocket* Client) {
    if (!Client->CloseQueued) {
        Client->CloseQueued = true;
        QueueCloseData(Client, 0);
    }
}

// ------------------------------------------------------------ REST and ABOR

void TFtpServer::CommandREST(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcREST;
    long long offset = 0;
    try {
        offset = ParseRestOffset(Params);
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kRestSyntax, {e.what()});
        return;
    }
    if (offset > 0) {
        Client->RestartPos = offset;
        Answer = FormatReply(replies::kRestOk, {std::to_string(offset)});
    } else {
        Client->RestartPos = 0;
        Answer = replies::kRestMissing;
    }
}

void TFtpServer::CommandABOR(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    TWSocket* data = Client->DataSocket.get();
    if (Client->TransferReplyPending && Client->PassiveStart && !Client->PassiveConnected) {
        // A passive transfer still waiting for its connection ends as a
        // connected one would; a connection that comes later finds no listener.
        if (Client->PasvListener)
            Client->PasvListener->Close();
        Client->PassiveMode = false;
        Client->TransferError = replies::kAbortRequested;
        Client->AbortingTransfer = true;
        if (IsUpload(Client->TransferCmd))
            StorSessionClosed(Client, 0);
        else
            RetrSessionClosed(Client, 0);
    } else if (data->State() == wsConnected) {
        Client->TransferError = replies::kAbortRequested;
        Client->AbortingTransfer = true;
        data->Close(); // its closed handler sends the transfer's reply first
        if (!Client->TransferReplyPending) {
            // A passive connection that no transfer used yet is gone too.
            Client->PassiveMode = false;
            Client->PassiveConnected = false;
        }
    }
    Answer = replies::kAborOk;
}
