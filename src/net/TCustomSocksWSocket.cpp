#include "net/TCustomSocksWSocket.h"

#include "net/SocketResolve.h"
#include "net/SocksTexts.h"

#include <QPointer>

#include <algorithm>
#include <cstring>
#include <netinet/in.h>

using namespace socks_texts;

TCustomSocksWSocket::TCustomSocksWSocket(QObject* parent) : TCustomWSocket(parent) {}

// ---------------------------------------------------------------- settings

void TCustomSocksWSocket::SetSocksServer(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (trimmed == socksServer_)
        return;
    if (State() != wsClosed)
        throw ESocketException(kCantChangeServer);
    socksServer_ = trimmed;
}

void TCustomSocksWSocket::SetSocksPort(const std::string& value) {
    std::string trimmed = WSocketTrim(value);
    if (trimmed == socksPort_)
        return;
    if (State() != wsClosed)
        throw ESocketException(kCantChangePort);
    socksPort_ = trimmed;
}

void TCustomSocksWSocket::SetSocksLevel(const std::string& value) {
    std::string level = value == "4a" ? "4A" : value;
    if (level == socksLevel_)
        return;
    if (State() != wsClosed)
        throw ESocketException(kCantChangeLevel);
    if (level != "4" && level != "4A" && level != "5")
        throw ESocketException(kInvalidLevel);
    socksLevel_ = level;
}

void TCustomSocksWSocket::ResetToDefaults() {
    TCustomWSocket::ResetToDefaults();
    socksState_ = 0;
    socksServer_.clear();
    socksPort_.clear();
    socksLevel_ = "5";
    replyCount_ = 0;
    leftOver_.clear();
    leftOverPos_ = 0;
}

// ---------------------------------------------------------------- connect

void TCustomSocksWSocket::Connect() {
    if (!Assigned()) {
        TCustomWSocket::Connect();
        return;
    }
    std::string proto = Proto();
    std::transform(proto.begin(), proto.end(), proto.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (proto != "tcp")
        throw ESocketException(kTcpOnly);
    try {
        targetPort_ = WSocketResolvePort(Port(), Proto());
        WSocketResolvePort(socksPort_, Proto());
    } catch (const ESocketException& e) {
        throw ESocketException(std::string(kConnectPrefix) + e.what());
    }
    // The socket itself connects to the proxy; the target travels in the
    // SOCKS request.
    targetAddr_ = Addr();
    TCustomWSocket::SetAddr(socksServer_);
    TCustomWSocket::SetPort(socksPort_);
    leftOver_.clear();
    leftOverPos_ = 0;
    replyCount_ = 0;
    socksState_ = 1;
    try {
        TCustomWSocket::Connect();
    } catch (...) {
        socksState_ = 0;
        throw;
    }
}

void TCustomSocksWSocket::Listen() {
    if (Assigned())
        throw ESocketException(kListenNotSupported);
    TCustomWSocket::Listen();
}

void TCustomSocksWSocket::TriggerSessionConnected(int Error) {
    if (socksState_ != 1) {
        TCustomWSocket::TriggerSessionConnected(Error);
        return;
    }
    if (OnSocksConnected)
        OnSocksConnected(this, Error);
    if (Error != 0) {
        socksState_ = 0;
        TCustomWSocket::TriggerSessionConnected(Error);
        return;
    }
    if (Version5()) {
        methodOffered_ = socksAuthentication_ == socksAuthenticateUsercode ? 2 : 0;
        const unsigned char hello[3] = {5, 1, methodOffered_};
        Send(hello, sizeof hello);
    } else {
        SendConnectRequest();
    }
}

void TCustomSocksWSocket::RaiseAuthState(int state) {
    if (OnSocksAuthState)
        OnSocksAuthState(this, state);
}

void TCustomSocksWSocket::SendAuthentication() {
    // RFC 1929 carries each field with a one-byte length.
    if (socksUsercode_.size() > 255 || socksPassword_.size() > 255) {
        SocksFailure(kCodeAuth, kAuthFailed5);
        return;
    }
    socksState_ = 2;
    RaiseAuthState(socksAuthStart);
    std::string request;
    request += '\x01';
    request += static_cast<char>(socksUsercode_.size());
    request += socksUsercode_;
    request += static_cast<char>(socksPassword_.size());
    request += socksPassword_;
    SendStr(request);
}

void TCustomSocksWSocket::SendConnectRequest() {
    socksState_ = 3;
    replyCount_ = 0;
    std::string request;
    const char portHigh = static_cast<char>((targetPort_ >> 8) & 0xFF);
    const char portLow = static_cast<char>(targetPort_ & 0xFF);
    if (Version5()) {
        if (targetAddr_.size() > 255) {
            SocksFailure(kCodeInternal, kInternalError);
            return;
        }
        request += '\x05';
        request += '\x01';
        request += '\x00';
        in6_addr v6{};
        if (WSocketParseIPv6(targetAddr_, v6)) {
            // An IPv6 address goes as its 16 bytes (address type 4).
            request += '\x04';
            request.append(reinterpret_cast<const char*>(&v6), sizeof v6);
        } else {
            request += '\x03';
            request += static_cast<char>(targetAddr_.size());
            request += targetAddr_;
        }
        request += portHigh;
        request += portLow;
    } else {
        request += '\x04';
        request += '\x01';
        request += portHigh;
        request += portLow;
        if (socksLevel_ == "4A") {
            request.append("\x00\x00\x00\x01", 4);
        } else {
            std::uint32_t address = 0;
            try {
                address = WSocketResolveHost(targetAddr_);
            } catch (const ESocketException& e) {
                SocksFailure(kCodeInternal, e.what());
                return;
            }
            request.append(reinterpret_cast<const char*>(&address), 4); // network order already
        }
        request += socksUsercode_;
        request += '\0';
        if (socksLevel_ == "4A") {
            request += targetAddr_;
            request += '\0';
        }
    }
    SendStr(request);
}

// ---------------------------------------------------------------- replies

bool TCustomSocksWSocket::ReadReply(int limit) {
    int room = std::min(limit, kReplyCapacity) - replyCount_;
    if (room <= 0)
        return true;
    int n = TCustomWSocket::Receive(reply_ + replyCount_, room);
    if (n <= 0)
        return false;
    replyCount_ += n;
    return true;
}

void TCustomSocksWSocket::SocksFailure(int code, const std::string& msg) {
    socksState_ = 0;
    QPointer<TCustomSocksWSocket> self(this);
    if (OnSocksError)
        OnSocksError(this, code, msg);
    if (!self)
        return;
    TCustomWSocket::TriggerSessionConnected(code);
    if (!self || State() == wsClosed)
        return;
    InternalClose(true, code);
}

void TCustomSocksWSocket::Negotiated(int replyLength) {
    socksState_ = 0;
    if (replyCount_ > replyLength)
        leftOver_.assign(reinterpret_cast<const char*>(reply_) + replyLength,
                         static_cast<std::size_t>(replyCount_ - replyLength));
    leftOverPos_ = 0;
    replyCount_ = 0;
    QPointer<TCustomSocksWSocket> self(this);
    TCustomWSocket::TriggerSessionConnected(0);
    if (!self || HSocket() < 0)
        return;
    TCustomWSocket::TriggerDataAvailable(0);
}

bool TCustomSocksWSocket::TriggerDataAvailable(int Error) {
    if (socksState_ == 0)
        return TCustomWSocket::TriggerDataAvailable(Error);
    if (Error != 0) {
        SocksFailure(Error, kDataReceiveError);
        return true;
    }
    switch (socksState_) {
    case 1: {
        if (!Version5()) {
            SocksFailure(kCodeLogic, kLogicError);
            return true;
        }
        ReadReply(127);
        if (replyCount_ < 2)
            return true;
        replyCount_ = 0;
        if (reply_[0] != 5) {
            SocksFailure(kCodeVersion, kVersionError);
        } else if (reply_[1] == 0) {
            if (methodOffered_ == 2)
                RaiseAuthState(socksAuthNotRequired);
            SendConnectRequest();
        } else if (reply_[1] == 2) {
            SendAuthentication();
        } else {
            SocksFailure(kCodeMethod, kMethodNotAcceptable);
        }
        return true;
    }
    case 2: {
        ReadReply(127);
        if (replyCount_ >= 1 && reply_[0] != 1) {
            SocksFailure(kCodeVersion, kVersionError);
            return true;
        }
        if (replyCount_ > 2) {
            SocksFailure(kCodeLogic, kTooMuchData);
            return true;
        }
        if (replyCount_ < 2)
            return true;
        if (reply_[1] != 0) {
            RaiseAuthState(socksAuthFailure);
            SocksFailure(kCodeAuth, kAuthFailed5);
            return true;
        }
        replyCount_ = 0;
        RaiseAuthState(socksAuthSuccess);
        SendConnectRequest();
        return true;
    }
    case 3: {
        ReadReply(kReplyCapacity);
        if (Version5()) {
            if (replyCount_ >= 1 && reply_[0] != 5) {
                SocksFailure(kCodeVersion, kVersionError);
                return true;
            }
            if (replyCount_ >= 2 && reply_[1] != 0) {
                int rep = reply_[1];
                if (rep <= 8)
                    SocksFailure(kCodeRepBase + rep, kRepTexts[rep - 1]);
                else
                    SocksFailure(kCodeUnassigned, kUnassigned + std::to_string(rep));
                return true;
            }
            if (replyCount_ <= 4)
                return true;
            int length = 0;
            if (reply_[3] == 1)
                length = 10;
            else if (reply_[3] == 3)
                length = 7 + reply_[4];
            else if (reply_[3] == 4)
                length = 22; // an IPv6 address and the port
            else {
                SocksFailure(kCodeAddressType, kAddressTypeNotSupported);
                return true;
            }
            if (replyCount_ < length)
                return true;
            Negotiated(length);
            return true;
        }
        if (replyCount_ < 8)
            return true;
        if (reply_[0] != 0) {
            SocksFailure(kCodeVersion, kVersionError);
            return true;
        }
        switch (reply_[1]) {
        case 90:
            Negotiated(8);
            break;
        case 91:
            SocksFailure(kCodeRejected, kRejected4);
            break;
        case 92:
            SocksFailure(kCodeRefused, kRefused4);
            break;
        case 93:
            SocksFailure(kCodeAuth, kAuthFailed4);
            break;
        default:
            SocksFailure(kCodeUnassigned, kUnassigned + std::to_string(reply_[1]));
        }
        return true;
    }
    default:
        SocksFailure(kCodeInternal, kInternalError);
        return true;
    }
}

void TCustomSocksWSocket::TriggerSessionClosed(int Error) {
    if (socksState_ != 0) {
        // The proxy went away mid-negotiation: the owner, still waiting for
        // its connection, is told that it failed.
        const int state = socksState_;
        socksState_ = 0;
        if (state == 2)
            RaiseAuthState(socksAuthFailure);
        QPointer<TCustomSocksWSocket> self(this);
        TCustomWSocket::TriggerSessionConnected(Error != 0 ? Error : wsa::WSAECONNRESET);
        if (!self)
            return;
    }
    TCustomWSocket::TriggerSessionClosed(Error);
}

// ---------------------------------------------------------------- owner side

int TCustomSocksWSocket::Receive(void* buffer, int len) {
    if (leftOverPos_ < leftOver_.size()) {
        std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(len, 0)),
                                                  leftOver_.size() - leftOverPos_);
        std::memcpy(buffer, leftOver_.data() + leftOverPos_, count);
        leftOverPos_ += count;
        if (leftOverPos_ >= leftOver_.size()) {
            leftOver_.clear();
            leftOverPos_ = 0;
        }
        return static_cast<int>(count);
    }
    return TCustomWSocket::Receive(buffer, len);
}

int TCustomSocksWSocket::GetRcvdCount() {
    if (leftOverPos_ < leftOver_.size())
        return static_cast<int>(leftOver_.size() - leftOverPos_);
    return TCustomWSocket::GetRcvdCount();
}
