#include "net/TCustomWSocket.h"

#include "net/ListenPort.h"
#include "net/SocketResolve.h"
#include "net/SocketTexts.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

using namespace socket_texts;

namespace {
// Blocks handed to the system in one call; the bytes on the wire are the
// same as sending the 1514-byte blocks one by one, with far fewer calls.
constexpr int kBlocksPerSend = 64;
constexpr size_t kSpareBlocksKept = 64;
// Handler calls per readable notification. Then the loop serves every other
// socket before this one reads again, so no fast sender holds the one thread.
constexpr int kReadsPerNotification = 4;
// Pause of a listener that cannot accept for lack of descriptors or memory.
constexpr int kAcceptBackoffMs = 100;

// Each write goes out at once. Without this a short reply sent while the
// previous one still waits for its (delayed) acknowledgement is held back
// some 40 ms, which a client fetching many small files pays per file.
void SetNoDelay(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on); // fails harmlessly on non-TCP
}

bool SetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string DottedText(std::uint32_t networkOrderAddress) {
    return TSocketAddress::FromIPv4(networkOrderAddress, 0).AddressText();
}
} // namespace

TCustomWSocket::TCustomWSocket(QObject* parent) : QObject(parent) {
    ResetToDefaults();
}

TCustomWSocket::~TCustomWSocket() {
    destroying_ = true;
    if (dnsLookupId_ != 0) {
        QHostInfo::abortHostLookup(dnsLookupId_);
        dnsLookupId_ = 0;
    }
    if (handle_ >= 0) {
        DestroyNotifiers();
        ::close(handle_);
        handle_ = -1;
    }
}

// ---------------------------------------------------------------- properties

void TCustomWSocket::SetAddr(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (addrAssigned_ && trimmed == addr_)
        return;
    if (state_ != wsClosed) {
        RaiseException(kCannotChangeAddr);
        return;
    }
    addr_ = trimmed;
    addrAssigned_ = !addr_.empty();
    addrResolved_ = false;
}

void TCustomWSocket::SetPort(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (portAssigned_ && trimmed == port_)
        return;
    if (state_ != wsClosed) {
        RaiseException(kCannotChangePort);
        return;
    }
    port_ = trimmed;
    portAssigned_ = !port_.empty();
    portResolved_ = false;
}

void TCustomWSocket::SetProto(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (protoAssigned_ && trimmed == proto_)
        return;
    if (state_ != wsClosed) {
        RaiseException(kCannotChangeProto);
        return;
    }
    proto_ = trimmed;
    protoAssigned_ = !proto_.empty();
    protoResolved_ = false;
    portResolved_ = false;
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (trimmed.empty())
        trimmed = "0.0.0.0";
    if (trimmed == localAddr_)
        return;
    if (state_ != wsClosed) {
        RaiseException(kCannotChangeLocalAddr);
        return;
    }
    if (!WSocketIsDottedIP(trimmed)) {
        RaiseException(kInvalidLocalAddr);
        return;
    }
    localAddr_ = trimmed;
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (trimmed == localPort_)
        return;
    if (state_ != wsClosed) {
        RaiseException(kCannotChangeLocalPort);
        return;
    }
    localPort_ = trimmed;
    localPortResolved_ = false;
}

void TCustomWSocket::SetSendFlags(int flags) {
    if (flags != wsSendNormal && flags != wsSendUrgent) {
        RaiseException(kInvalidSendFlags);
        return;
    }
    sendFlags_ = flags;
}

long long TCustomWSocket::BufferedByteCount() const {
    long long total = 0;
    for (const auto& block : sendQueue_)
        total += block->Unread();
    return total + fileLeft_;
}

// ------------------------------------------------------------ error reports

void TCustomWSocket::RaiseException(const std::string& message) {
    if (OnError) {
        OnError(this);
        return;
    }
    throw ESocketException(message);
}

void TCustomWSocket::SocketError(const std::string& operation) {
    SocketErrorCode(WSocketErrnoToCode(errno), operation);
}

void TCustomWSocket::SocketErrorCode(int code, const std::string& operation) {
    std::string message = WSocketErrorMessage(code, operation);
    if (code == wsa::WSAECONNRESET || code == wsa::WSAENOTCONN) {
        // The connection is gone: drop the handle without ceremony.
        if (handle_ >= 0) {
            DestroyNotifiers();
            ::close(handle_);
            handle_ = -1;
        }
        if (state_ != wsClosed)
            ChangeState(wsClosed);
    }
    lastError_ = code;
    if (OnError) {
        OnError(this);
        return;
    }
    throw ESocketException(message);
}

void TCustomWSocket::ChangeState(TSocketState newState) {
    TSocketState oldState = state_;
    state_ = newState;
    if (oldState != newState)
        TriggerChangeState(oldState, newState);
}

// ---------------------------------------------------------------- triggers

bool TCustomWSocket::TriggerDataAvailable(int Error) {
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, Error);
    return true;
}

void TCustomWSocket::TriggerSessionConnected(int Error) {
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(int Error) {
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TCustomWSocket::TriggerSessionAvailable(int Error) {
    if (OnSessionAvailable)
        OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerDataSent(int Error) {
    if (OnDataSent)
        OnDataSent(this, Error);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState) {
    if (OnChangeState)
        OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::TriggerDnsLookupDone(int Error) {
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, Error);
}

void TCustomWSocket::HandleBackgroundException(const std::exception& E) {
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, E, canClose);
        } catch (...) {
            // A failing exception handler must not take the program down.
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

void TCustomWSocket::Dispatch(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        HandleBackgroundException(e);
    } catch (...) {
        HandleBackgroundException(std::runtime_error("Unknown exception"));
    }
}

// -------------------------------------------------------- readiness handling

void TCustomWSocket::CreateNotifiers(bool wantWrite) {
    DestroyNotifiers();
    readNotifier_ = new QSocketNotifier(handle_, QSocketNotifier::Read, this);
    writeNotifier_ = new QSocketNotifier(handle_, QSocketNotifier::Write, this);
    const int handle = handle_;
    QObject::connect(readNotifier_, &QSocketNotifier::activated, this,
                     [this, handle](QSocketDescriptor, QSocketNotifier::Type) {
                         if (handle != handle_ || paused_)
                             return;
                         Dispatch([this] { OnReadable(); });
                     });
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, this,
                     [this, handle](QSocketDescriptor, QSocketNotifier::Type) {
                         if (handle != handle_ || paused_)
                             return;
                         Dispatch([this] { OnWritable(); });
                     });
    readNotifier_->setEnabled(!paused_ && !readHeld_);
    writeNotifier_->setEnabled(wantWrite && !paused_);
}

void TCustomWSocket::DestroyNotifiers() {
    // Notifiers may be destroyed from inside their own activation: disable
    // them now and let the loop delete them.
    for (QSocketNotifier* notifier : {readNotifier_, writeNotifier_}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->disconnect(this);
            notifier->deleteLater();
        }
    }
    readNotifier_ = nullptr;
    writeNotifier_ = nullptr;
}

void TCustomWSocket::SetWriteWatch(bool enabled) {
    if (writeNotifier_)
        writeNotifier_->setEnabled(enabled && !paused_);
}

void TCustomWSocket::OnReadable() {
    if (listening_) {
        TriggerSessionAvailable(0);
        return;
    }
    if (state_ == wsConnecting) {
        HandleConnectDone();
        return;
    }
    char probe;
    ssize_t n = ::recv(handle_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        ReceiveLoop(0);
    } else if (n == 0) {
        HandleClosedByPeer(0);
    } else if (errno != EAGAIN && errno != EINTR) {
        HandleClosedByPeer(WSocketErrnoToCode(errno));
    }
}

void TCustomWSocket::OnWritable() {
    if (state_ == wsConnecting) {
        HandleConnectDone();
        return;
    }
    TryToSend();
    if (handle_ >= 0 && NothingQueued()) {
        SetWriteWatch(false);
        TriggerDataSent(0);
    }
}

void TCustomWSocket::HandleConnectDone() {
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
        soError = errno;
    if (soError == 0) {
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0) {
            if (errno == ENOTCONN)
                return; // not finished yet
            soError = errno;
        }
    }
    int code = WSocketErrnoToCode(soError);
    ChangeState(wsConnected);
    SetWriteWatch(!NothingQueued());
    QPointer<TCustomWSocket> self(this);
    TriggerSessionConnected(code);
    if (self && code != 0 && state_ != wsClosed)
        Close();
}

void TCustomWSocket::HandleClosedByPeer(int Error) {
    if (state_ == wsConnecting)
        return;
    QPointer<TCustomWSocket> self(this);
    ReceiveLoop(0);
    if (!self)
        return;
    if (!closeReported_) {
        closeReported_ = true;
        TriggerSessionClosed(Error);
        if (!self)
            return;
    }
    if (state_ != wsClosed)
        Close();
}

void TCustomWSocket::ReceiveLoop(int Error) {
    QPointer<TCustomWSocket> self(this);
    for (int calls = 1;; ++calls) {
        lastError_ = 0;
        long long before = readCount_;
        try {
            if (!TriggerDataAvailable(Error)) {
                char discard[1024];
                if (Receive(discard, sizeof discard) < 0 && lastError_ == wsa::WSAEWOULDBLOCK)
                    break;
            }
        } catch (...) {
            // An exception inside the loop ends the loop; the connection stays.
            break;
        }
        if (!self)
            return;
        if (noReceiveLoop_ || lastError_ != 0 || handle_ < 0 || paused_ || readHeld_ ||
            calls == kReadsPerNotification)
            break;
        int count = GetRcvdCount();
        if (count <= 0)
            break;
        // A handler that took nothing is called again on the next notification
        // rather than in a tight loop here.
        if (readCount_ == before)
            break;
    }
}

// ------------------------------------------------------------------ sending

int TCustomWSocket::Send(const void* data, int len) {
    if (state_ != wsConnected) {
        SocketErrorCode(wsa::WSAENOTCONN, op::kSend);
        return -1;
    }
    allSent_ = false;
    const char* bytes = static_cast<const char*>(data);
    int remaining = len;
    while (remaining > 0) {
        TBuffer* last = sendQueue_.empty() ? nullptr : sendQueue_.back().get();
        int written = last ? last->Write(bytes, remaining) : 0;
        if (written == 0) {
            std::unique_ptr<TBuffer> block;
            if (!spareBlocks_.empty() && spareBlocks_.back()->Size() == blockSize_) {
                block = std::move(spareBlocks_.back());
                spareBlocks_.pop_back();
            } else {
                block = std::make_unique<TBuffer>(blockSize_);
            }
            sendQueue_.push_back(std::move(block));
            continue;
        }
        bytes += written;
        remaining -= written;
    }
    TryToSend();
    if (handle_ >= 0 && NothingQueued())
        PostWritable();
    return len;
}

bool TCustomWSocket::SendFile(int fd, long long len) {
    if (state_ != wsConnected || socketType_ != 1 || sendFlags_ == wsSendUrgent ||
        !NothingQueued() || fd < 0 || len <= 0)
        return false;
    allSent_ = false;
    fileFd_ = fd;
    fileLeft_ = len;
    fileSent_ = 0;
    TryToSend();
    if (handle_ >= 0 && NothingQueued())
        PostWritable();
    return true;
}

bool TCustomWSocket::TryToSendFile() {
    // Up to 1 MiB per call, so one transfer does not hold the loop for long.
    constexpr long long kMaxPerCall = 1 << 20;
    while (fileLeft_ > 0 && handle_ >= 0) {
        const ssize_t sent = ::sendfile(handle_, fileFd_, nullptr,
                                        static_cast<size_t>(std::min(fileLeft_, kMaxPerCall)));
        if (sent > 0) {
            fileLeft_ -= sent;
            fileSent_ += sent;
            QPointer<TCustomWSocket> self(this);
            if (OnSendData)
                OnSendData(this, static_cast<int>(sent));
            if (!self)
                return false;
            continue;
        }
        if (sent == 0) { // the file ended before len
            fileLeft_ = 0;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            // A file the system cannot splice: the rest is read and queued
            // ahead of anything Send-ed after it, so the order stays.
            std::vector<char> rest;
            while (fileLeft_ > 0) {
                char block[64 * 1024];
                const ssize_t n =
                    ::read(fileFd_, block,
                           static_cast<size_t>(std::min<long long>(fileLeft_, sizeof block)));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                rest.insert(rest.end(), block, block + n);
                fileLeft_ -= n;
                fileSent_ += n;
            }
            fileLeft_ = 0;
            for (std::size_t off = rest.size(); off > 0;) {
                const std::size_t take =
                    std::min<std::size_t>(off, static_cast<std::size_t>(blockSize_));
                auto front = std::make_unique<TBuffer>(static_cast<int>(take));
                front->Write(rest.data() + off - take, static_cast<int>(take));
                sendQueue_.push_front(std::move(front));
                off -= take;
            }
            break;
        }
        const int code = WSocketErrnoToCode(errno);
        if (code == wsa::WSAEWOULDBLOCK) {
            SetWriteWatch(true);
            return false;
        }
        fileLeft_ = 0;
        if (code == wsa::WSAECONNRESET || code == wsa::WSAENOTCONN ||
            code == wsa::WSAECONNABORTED) {
            closeReported_ = true;
            QPointer<TCustomWSocket> self(this);
            Close();
            if (self)
                TriggerSessionClosed(code);
            return false;
        }
        SocketErrorCode(code, op::kTryToSend);
        return false;
    }
    return true;
}

int TCustomWSocket::SendStr(const std::string& text) {
    return Send(text.data(), static_cast<int>(text.size()));
}

int TCustomWSocket::RealSend(const void* data, int len) {
    int flags = MSG_NOSIGNAL | (sendFlags_ == wsSendUrgent ? MSG_OOB : 0);
    return static_cast<int>(::send(handle_, data, static_cast<size_t>(len), flags));
}

void TCustomWSocket::TryToSend() {
    if (fileLeft_ > 0 && !TryToSendFile())
        return;
    while (handle_ >= 0 && !sendQueue_.empty()) {
        // Drop empty blocks at the front; the queue is all-sent when none is left.
        int unread = 0;
        sendQueue_.front()->Peek(unread);
        if (unread == 0) {
            RecycleFrontBlock();
            continue;
        }
        int requested = 0;
        int sent = 0;
        if (sendFlags_ == wsSendUrgent || socketType_ != 1) {
            const char* data = sendQueue_.front()->Peek(requested);
            sent = RealSend(data, requested);
        } else {
            iovec parts[kBlocksPerSend];
            int count = 0;
            for (const auto& block : sendQueue_) {
                if (count == kBlocksPerSend)
                    break;
                int blockLen = 0;
                const char* data = block->Peek(blockLen);
                if (blockLen == 0)
                    continue;
                parts[count].iov_base = const_cast<char*>(data);
                parts[count].iov_len = static_cast<size_t>(blockLen);
                requested += blockLen;
                ++count;
            }
            msghdr message{};
            message.msg_iov = parts;
            message.msg_iovlen = static_cast<size_t>(count);
            sent = static_cast<int>(::sendmsg(handle_, &message, MSG_NOSIGNAL));
        }
        if (sent > 0) {
            int left = sent;
            for (auto& block : sendQueue_) {
                if (left == 0)
                    break;
                left -= block->Remove(left);
            }
            while (!sendQueue_.empty() && sendQueue_.front()->Unread() == 0)
                RecycleFrontBlock();
            QPointer<TCustomWSocket> self(this);
            if (OnSendData)
                OnSendData(this, sent);
            if (!self)
                return;
            if (sent < requested) {
                SetWriteWatch(true);
                return;
            }
            continue;
        }
        if (sent == 0)
            return;
        int code = WSocketErrnoToCode(errno);
        if (code == wsa::WSAEWOULDBLOCK) {
            SetWriteWatch(true);
            return;
        }
        if (code == wsa::WSAECONNRESET || code == 10038 || code == wsa::WSAENOTCONN ||
            code == wsa::WSAEINVAL || code == wsa::WSAECONNABORTED) {
            closeReported_ = true;
            QPointer<TCustomWSocket> self(this);
            Close();
            if (self)
                TriggerSessionClosed(code);
            return;
        }
        SocketErrorCode(code, op::kTryToSend);
        return;
    }
    if (NothingQueued())
        allSent_ = true;
}

void TCustomWSocket::RecycleFrontBlock() {
    // Empty blocks are kept for reuse, so a long transfer does not allocate
    // a block for every 1514 bytes.
    if (spareBlocks_.size() < kSpareBlocksKept)
        spareBlocks_.push_back(std::move(sendQueue_.front()));
    sendQueue_.pop_front();
}

void TCustomWSocket::PostWritable() {
    if (writablePosted_)
        return;
    writablePosted_ = true;
    const int handle = handle_;
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            if (!writablePosted_ || handle != handle_)
                return;
            writablePosted_ = false;
            Dispatch([this] { OnWritable(); });
        },
        Qt::QueuedConnection);
}

void TCustomWSocket::DropSendQueue() {
    sendQueue_.clear();
    fileLeft_ = 0;
    fileFd_ = -1;
    allSent_ = true;
}

// ---------------------------------------------------------------- receiving

int TCustomWSocket::Receive(void* buffer, int len) {
    if (handle_ < 0) {
        lastError_ = wsa::WSAENOTCONN;
        return -1;
    }
    ssize_t n = ::recv(handle_, buffer, static_cast<size_t>(len), 0);
    if (n < 0) {
        lastError_ = WSocketErrnoToCode(errno);
        return -1;
    }
    readCount_ += n;
    return static_cast<int>(n);
}

std::string TCustomWSocket::ReceiveStr() {
    int count = GetRcvdCount();
    if (count <= 0)
        return {};
    std::string text(static_cast<size_t>(count), '\0');
    int n = Receive(text.data(), count);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

int TCustomWSocket::GetRcvdCount() {
    if (handle_ < 0)
        return -1;
    int count = 0;
    if (::ioctl(handle_, FIONREAD, &count) != 0) {
        lastError_ = WSocketErrnoToCode(errno);
        return -1;
    }
    return count;
}

// ------------------------------------------------------ connect and listen

void TCustomWSocket::ResolveForUse(const char* prefix) {
    try {
        if (!protoResolved_) {
            protocolNumber_ = WSocketResolveProto(proto_);
            socketType_ = protocolNumber_ == IPPROTO_UDP ? 2 : 1;
            protoResolved_ = true;
        }
        if (!portResolved_) {
            remotePort_ = WSocketResolvePort(port_, proto_);
            portResolved_ = true;
        }
        if (!localPortResolved_) {
            localPortNumber_ = WSocketResolvePort(localPort_.empty() ? "0" : localPort_, proto_);
            localPortResolved_ = true;
        }
        if (!addrResolved_) {
            // An IPv6 literal gives an IPv6 socket; anything else resolves
            // as before to an IPv4 address.
            in6_addr v6{};
            if (WSocketParseIPv6(addr_, v6))
                remote_ = TSocketAddress::FromIPv6(v6, 0);
            else
                remote_ = TSocketAddress::FromIPv4(WSocketResolveHost(addr_), 0);
            addrResolved_ = true;
        }
        remote_.SetPortNumber(remotePort_);
    } catch (const ESocketException& e) {
        throw ESocketException(std::string(prefix) + e.what());
    }
}

void TCustomWSocket::ApplyLinger() {
    if (lingerOnOff_ == wsLingerNoSet)
        return;
    if (handle_ < 0) {
        RaiseException(kCannotSetLinger);
        return;
    }
    linger value{};
    value.l_onoff = lingerOnOff_ == wsLingerOn ? 1 : 0;
    value.l_linger = lingerTimeout_;
    if (::setsockopt(handle_, SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0)
        SocketError(op::kLinger);
}

void TCustomWSocket::Connect() {
    if (handle_ >= 0 && state_ != wsClosed) {
        RaiseException(kConnectInUse);
        return;
    }
    if (!portAssigned_) {
        RaiseException(kConnectNoPort);
        return;
    }
    if (!addrAssigned_) {
        RaiseException(kConnectNoAddr);
        return;
    }
    if (!protoAssigned_) {
        RaiseException(kConnectNoProto);
        return;
    }
    ResolveForUse(kConnectPrefix);
    DropSendQueue();

    int type = socketType_ == 2 ? SOCK_DGRAM : SOCK_STREAM;
    handle_ = ::socket(remote_.Family(), type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        SocketError(op::kConnectSocket);
        return;
    }
    closeReported_ = false;
    ChangeState(wsOpened);

    int on = 1;
    if (socketType_ == 1) {
        if (localPortNumber_ != 0 || localAddr_ != "0.0.0.0") {
            // LocalAddr is a dotted address: an IPv6 connection binds
            // only its local port.
            TSocketAddress local = TSocketAddress::FromIPv6(in6addr_any, localPortNumber_);
            if (!remote_.IsIPv6()) {
                in_addr v4{};
                ::inet_pton(AF_INET, localAddr_.c_str(), &v4);
                local = TSocketAddress::FromIPv4(v4.s_addr, localPortNumber_);
            }
            ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            if (::bind(handle_, local.Raw(), local.Length()) != 0)
                throw ESocketException(WSocketFormat(kBindFailed, WSocketErrnoToCode(errno)));
            TSocketAddress bound;
            if (!LocalAddressOf(handle_, bound))
                throw ESocketException(
                    WSocketFormat(kGetSockNameFailed, WSocketErrnoToCode(errno)));
            localPort_ = std::to_string(bound.PortNumber());
        }
        ApplyLinger();
        SetNoDelay(handle_);
        if (::setsockopt(handle_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
            SocketError(op::kKeepAlive);
            return;
        }
        if (::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
            SocketError(op::kReuseAddr);
            return;
        }
    } else if (!remote_.IsIPv6() && remote_.IPv4() == INADDR_BROADCAST) {
        if (::setsockopt(handle_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            SocketError(op::kBroadcast);
            return;
        }
    }

    listening_ = false;
    CreateNotifiers(socketType_ == 1);
    int rc = ::connect(handle_, remote_.Raw(), remote_.Length());
    if (socketType_ == 2) {
        ChangeState(wsConnected);
        SetWriteWatch(false);
        TriggerSessionConnected(0);
        return;
    }
    if (rc == 0 || errno == EINPROGRESS || errno == EAGAIN) {
        ChangeState(wsConnecting);
        return;
    }
    lastError_ = WSocketErrnoToCode(errno);
    SocketErrorCode(lastError_, op::kConnect);
}

void TCustomWSocket::Listen() {
    if (!portAssigned_) {
        SocketErrorCode(wsa::WSAEINVAL, kListenNoPort);
        return;
    }
    if (!protoAssigned_) {
        SocketErrorCode(wsa::WSAEINVAL, kListenNoProto);
        return;
    }
    if (!addrAssigned_) {
        SocketErrorCode(wsa::WSAEINVAL, kListenNoAddr);
        return;
    }
    ResolveForUse(kListenPrefix);
    DropSendQueue();

    int type = socketType_ == 2 ? SOCK_DGRAM : SOCK_STREAM;
    handle_ = ::socket(remote_.Family(), type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        SocketError(op::kSocket);
        return;
    }
    closeReported_ = false;
    // Lets a restarted server bind again while old connections sit in
    // TIME_WAIT; on Linux this never lets two listeners share a port.
    int on = 1;
    ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (remote_.IsIPv6()) {
        // The IPv6 wildcard takes IPv4 connections too (one dual-stack
        // socket); a particular IPv6 address only its own.
        int v6only = remote_.IsAny() ? 0 : 1;
        ::setsockopt(handle_, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    }
    const int bindError =
        socketType_ == 2 ? (::bind(handle_, remote_.Raw(), remote_.Length()) ? errno : 0)
                         : BindListeningSocket(handle_, remote_, listenPortFirst_, listenPortLast_);
    if (bindError != 0) {
        ::close(handle_);
        handle_ = -1;
        errno = bindError;
        SocketError(op::kBind);
        return;
    }
    ChangeState(wsBound);
    if (socketType_ == 2) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        CreateNotifiers(false);
        TriggerSessionConnected(0);
        return;
    }
    if (::listen(handle_, SOMAXCONN) != 0) {
        SocketError(op::kListen);
        return;
    }
    ChangeState(wsListening);
    listening_ = true;
    CreateNotifiers(false);
}

int TCustomWSocket::Accept() {
    if (state_ != wsListening) {
        SocketErrorCode(wsa::WSAEINVAL, kNotListening);
        return -1;
    }
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    int handle =
        ::accept4(handle_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (handle < 0) {
        acceptedHandle_ = -1;
        int err = errno;
        if (WSocketIsResourceShortage(WSocketErrnoToCode(err)) && readNotifier_) {
            // Out of descriptors or memory: the pending connection stays
            // readable, so stop watching for a moment instead of spinning.
            readNotifier_->setEnabled(false);
            QPointer<QSocketNotifier> notifier(readNotifier_);
            QTimer::singleShot(kAcceptBackoffMs, this, [this, notifier] {
                if (notifier && notifier == readNotifier_ && !paused_ && !readHeld_)
                    notifier->setEnabled(true);
            });
        }
        errno = err;
        SocketError(op::kAccept);
        return -1;
    }
    acceptedHandle_ = handle;
    return handle;
}

void TCustomWSocket::Dup(int handle) {
    if (handle == 0 || handle == -1) {
        SocketErrorCode(wsa::WSAEINVAL, op::kDup);
        return;
    }
    if (handle_ >= 0 && state_ != wsClosed) {
        DestroyNotifiers();
        if (::close(handle_) != 0) {
            handle_ = -1;
            SocketError(op::kDupClose);
            return;
        }
        handle_ = -1;
        ChangeState(wsClosed);
    }
    handle_ = handle;
    closeReported_ = false;
    listening_ = false;
    SetNonBlocking(handle_);
    ApplyLinger();
    SetNoDelay(handle_);
    // Urgent data (a client's ABOR sent out of band) is read like any other byte.
    int on = 1;
    ::setsockopt(handle_, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    CreateNotifiers(false);
    ChangeState(wsConnected);
}

// ------------------------------------------------------------------ closing

void TCustomWSocket::Close() {
    InternalClose(true, 0);
}

void TCustomWSocket::InternalClose(bool shutdownFirst, int Error) {
    if (handle_ < 0) {
        if (state_ != wsClosed)
            ChangeState(wsClosed);
        ResetToDefaults();
        return;
    }
    if (state_ == wsClosed)
        return;
    if (shutdownFirst)
        ::shutdown(handle_, SHUT_WR);
    DestroyNotifiers();
    int rc = ::close(handle_);
    int err = errno;
    handle_ = -1;
    QPointer<TCustomWSocket> self(this);
    ChangeState(wsClosed);
    if (!self)
        return;
    if (!destroying_ && !closeReported_) {
        closeReported_ = true;
        TriggerSessionClosed(Error);
        if (!self)
            return;
    }
    // A handler above may already have started a new connection.
    if (handle_ < 0)
        ResetToDefaults();
    if (rc != 0 && err != EINTR) {
        errno = err;
        SocketError(op::kDisconnect);
    }
}

void TCustomWSocket::CloseDelayed() {
    const int handle = handle_;
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            if (handle != handle_)
                return;
            Dispatch([this] { Close(); });
        },
        Qt::QueuedConnection);
}

void TCustomWSocket::Abort() {
    if (dnsLookupId_ != 0)
        CancelDnsLookup();
    DropSendQueue();
    if (state_ == wsConnected && socketType_ == 1 && handle_ >= 0) {
        lingerOnOff_ = wsLingerOff;
        try {
            ApplyLinger();
        } catch (...) {
        }
    }
    InternalClose(false, 0);
}

void TCustomWSocket::Release() {
    deleteLater();
}

void TCustomWSocket::Shutdown(int how) {
    if (handle_ < 0)
        return;
    ::shutdown(handle_, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
}

void TCustomWSocket::ResetToDefaults() {
    addr_.clear();
    port_.clear();
    addrAssigned_ = portAssigned_ = false;
    addrResolved_ = portResolved_ = localPortResolved_ = protoResolved_ = false;
    // Copies of constant strings: assigning the literals here trips a false
    // -Wrestrict warning of GCC 12 once this is inlined.
    static const std::string kDefaultProto = "tcp", kDefaultLocalPort = "0",
                             kDefaultLocalAddr = "0.0.0.0";
    proto_ = kDefaultProto;
    protoAssigned_ = true;
    localPort_ = kDefaultLocalPort;
    localAddr_ = kDefaultLocalAddr;
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
    handle_ = -1;
    state_ = wsClosed;
    sendQueue_.clear();
    fileLeft_ = 0;
    fileFd_ = -1;
    allSent_ = true;
    readCount_ = 0;
    paused_ = false;
    readHeld_ = false;
    closeReported_ = false;
    listening_ = false;
    writablePosted_ = false;
    socketType_ = 1;
    remote_ = TSocketAddress{};
    remotePort_ = 0;
}

// ------------------------------------------------------------ name lookups

void TCustomWSocket::DnsLookup(const std::string& name) {
    if (name.empty()) {
        TriggerDnsLookupDone(wsa::WSAEINVAL);
        RaiseException(kDnsInvalidHost);
        return;
    }
    if (dnsLookupId_ != 0)
        CancelDnsLookup();
    dnsResult_.clear();
    dnsResultList_.clear();
    if (WSocketIsDottedIP(name)) {
        in_addr addr{};
        ::inet_pton(AF_INET, WSocketTrim(name).c_str(), &addr);
        dnsResult_ = DottedText(addr.s_addr);
        dnsResultList_.push_back(dnsResult_);
        TriggerDnsLookupDone(0);
        return;
    }
    if (WSocketIsIPv6Literal(name)) {
        // "::1" or "[::1]": the address itself, without its brackets.
        in6_addr v6{};
        WSocketParseIPv6(name, v6);
        dnsResult_ = TSocketAddress::FromIPv6(v6, 0).AddressText();
        dnsResultList_.push_back(dnsResult_);
        TriggerDnsLookupDone(0);
        return;
    }
    dnsLookupId_ =
        QHostInfo::lookupHost(QString::fromStdString(name), this, [this](const QHostInfo& info) {
            if (info.lookupId() != dnsLookupId_)
                return;
            dnsLookupId_ = 0;
            int code = 0;
            // IPv4 addresses first, as always; a name with only IPv6
            // addresses gives those.
            for (const auto& address : info.addresses())
                if (address.protocol() == QAbstractSocket::IPv4Protocol)
                    dnsResultList_.push_back(address.toString().toStdString());
            if (dnsResultList_.empty())
                for (const auto& address : info.addresses())
                    if (address.protocol() == QAbstractSocket::IPv6Protocol &&
                        address.scopeId().isEmpty())
                        dnsResultList_.push_back(address.toString().toStdString());
            if (info.error() != QHostInfo::NoError || dnsResultList_.empty())
                code = info.error() == QHostInfo::HostNotFound || dnsResultList_.empty()
                           ? wsa::WSAHOST_NOT_FOUND
                           : wsa::WSATRY_AGAIN;
            if (!dnsResultList_.empty())
                dnsResult_ = dnsResultList_.front();
            Dispatch([this, code] { TriggerDnsLookupDone(code); });
        });
    if (dnsLookupId_ == 0) {
        RaiseException(WSocketFormat(kDnsCannotStart, name, wsa::WSAEINVAL));
    }
}

void TCustomWSocket::CancelDnsLookup() {
    if (dnsLookupId_ == 0)
        return;
    QHostInfo::abortHostLookup(dnsLookupId_);
    dnsLookupId_ = 0;
    TriggerDnsLookupDone(wsa::WSAEINTR);
}

std::string TCustomWSocket::GetPeerAddr() {
    if (state_ != wsConnected || handle_ < 0)
        return kNotConnectedText;
    TSocketAddress peer;
    if (!PeerAddressOf(handle_, peer)) {
        SocketError(op::kGetPeerName);
        return kNotConnectedText;
    }
    return peer.AddressText();
}

std::string TCustomWSocket::PeerAddrOfHandle(int handle) {
    TSocketAddress peer;
    if (!PeerAddressOf(handle, peer))
        return {};
    return peer.AddressText();
}

std::string TCustomWSocket::GetPeerPort() {
    if (state_ != wsConnected || handle_ < 0)
        return kNotConnectedText;
    TSocketAddress peer;
    if (!PeerAddressOf(handle_, peer)) {
        SocketError(op::kGetPeerPort);
        return kNotConnectedText;
    }
    return std::to_string(peer.PortNumber());
}

std::string TCustomWSocket::GetXPort() {
    TSocketAddress local;
    if (!LocalAddressOf(handle_, local))
        return kNotConnectedText;
    return std::to_string(local.PortNumber());
}

std::string TCustomWSocket::GetXAddr() {
    TSocketAddress local;
    if (!LocalAddressOf(handle_, local))
        return kNotConnectedText;
    return local.AddressText();
}

int TCustomWSocket::GetSockName(TSocketAddress& address) {
    if (!LocalAddressOf(handle_, address))
        return WSocketErrnoToCode(errno);
    return 0;
}

void TCustomWSocket::SetListenPortRange(int first, int last) {
    listenPortFirst_ = first;
    listenPortLast_ = last;
}

void TCustomWSocket::Pause() {
    paused_ = true;
    if (readNotifier_)
        readNotifier_->setEnabled(false);
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
}

void TCustomWSocket::Resume() {
    paused_ = false;
    if (readNotifier_)
        readNotifier_->setEnabled(!readHeld_);
    if (writeNotifier_)
        writeNotifier_->setEnabled(state_ == wsConnecting || !NothingQueued());
}

void TCustomWSocket::HoldReading(bool held) {
    readHeld_ = held;
    if (readNotifier_)
        readNotifier_->setEnabled(!held && !paused_);
}

void TCustomWSocket::MessagePump() {
    QCoreApplication::processEvents();
}
