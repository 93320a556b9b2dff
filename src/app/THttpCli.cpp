#include "app/THttpCli.h"

#include "base/PortText.h"
#include "net/TWSocket.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>

namespace {

constexpr const char* kCrLf = "\r\n";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// SECURITY: host, port and path are copied into the request; a control
// character or blank there would let an address add lines of its own.
bool PrintableWithoutBlanks(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

bool ValidHostName(const std::string& host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

// Whether what has arrived so far can still be the start of a status line.
bool CouldBeStatusLine(const std::string& received) {
    const std::string prefix = apptexts::kHttpStatusPrefix;
    const std::size_t n = std::min(received.size(), prefix.size());
    return received.compare(0, n, prefix, 0, n) == 0;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

bool ParseHttpUrl(const std::string& url, HttpUrl& parts) {
    const std::string scheme = apptexts::kUpdateScheme;
    if (!StartsWithNoCase(url, scheme))
        return false;
    const std::size_t slash = url.find('/', scheme.size());
    HttpUrl result;
    result.authority = url.substr(scheme.size(), slash - scheme.size());
    result.path = slash == std::string::npos ? "/" : url.substr(slash);
    const std::size_t colon = result.authority.find(':');
    result.host = result.authority.substr(0, colon);
    if (colon != std::string::npos)
        result.port = result.authority.substr(colon + 1);
    if (!ValidHostName(result.host) || !IsPortNumber(result.port) ||
        !PrintableWithoutBlanks(result.path))
        return false;
    parts = std::move(result);
    return true;
}

THttpCli::THttpCli(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Finish(wsa::WSAETIMEDOUT); });
}

THttpCli::~THttpCli() {
    if (socket_) {
        // No event of the socket may reach this object while it goes.
        socket_->OnDnsLookupDone = nullptr;
        socket_->OnSessionConnected = nullptr;
        socket_->OnDataAvailable = nullptr;
        socket_->OnSessionClosed = nullptr;
        delete socket_;
        socket_ = nullptr;
    }
}

std::string THttpCli::RequestHeader(const HttpUrl& url) const {
    std::string request = apptexts::kHttpGet;
    request += ' ';
    request += url.path + apptexts::kHttpVersionPrefix + RequestVer + kCrLf;
    request += apptexts::kHttpAcceptHeader + Accept + kCrLf;
    request += apptexts::kHttpUserAgentHeader + Agent + kCrLf;
    request += apptexts::kHttpHostHeader + url.authority + kCrLf;
    request += kCrLf;
    return request;
}

bool THttpCli::GetASync() {
    if (busy_)
        return false;
    busy_ = true;
    ended_ = false;
    ++requestId_;
    headerDone_ = lengthKnown_ = false;
    contentLength_ = 0;
    header_.clear();
    page_.clear();
    statusCode_ = 0;
    statusLine_.clear();
    lastResponse_.clear();
    if (!ParseHttpUrl(URL, url_)) {
        Finish(wsa::WSAEINVAL);
        return true;
    }
    timer_.start(TimeoutMs);

    // A fresh socket per request: the one of an ended request may still be
    // inside its own event and is only released later.
    socket_ = new TWSocket(this);
    TWSocket* socket = socket_;
    socket->OnDnsLookupDone = [this, socket](TCustomWSocket*, int error) {
        if (socket == socket_)
            Guard([this, error] { DnsDone(error); });
    };
    socket->OnSessionConnected = [this, socket](TCustomWSocket*, int error) {
        if (socket == socket_)
            Guard([this, error] { Connected(error); });
    };
    socket->OnDataAvailable = [this, socket](TCustomWSocket*, int) {
        if (socket == socket_)
            Guard([this] { DataAvailable(); });
    };
    socket->OnSessionClosed = [this, socket](TCustomWSocket*, int error) {
        if (socket == socket_)
            Guard([this, error] { Closed(error); });
    };
    Guard([this] { socket_->DnsLookup(url_.host); });
    return true;
}

void THttpCli::Abort() {
    if (!busy_)
        return;
    ++requestId_;
    busy_ = false;
    timer_.stop();
    ReleaseSocket();
}

void THttpCli::ReleaseSocket() {
    TWSocket* socket = socket_;
    if (!socket)
        return;
    socket_ = nullptr;
    socket->Abort();
    socket->deleteLater();
}

void THttpCli::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception&) {
        const int code = socket_ && socket_->LastError() ? socket_->LastError() : wsa::WSAEINVAL;
        Finish(code);
    }
}

void THttpCli::DnsDone(int error) {
    if (error != 0) {
        Finish(error);
        return;
    }
    socket_->SetAddr(socket_->DnsResult());
    socket_->SetProto("tcp");
    socket_->SetPort(url_.port);
    socket_->Connect();
}

void THttpCli::Connected(int error) {
    if (error != 0) {
        Finish(error);
        return;
    }
    socket_->SendStr(RequestHeader(url_));
}

void THttpCli::DataAvailable() {
    char buffer[16384];
    const int n = socket_->Receive(buffer, sizeof buffer);
    if (n > 0)
        Take(buffer, static_cast<std::size_t>(n));
}

void THttpCli::Closed(int error) {
    if (error != 0) {
        Finish(error);
        return;
    }
    if (!headerDone_ && !header_.empty()) {
        // A status line or header that never ended is a broken answer.
        Finish(wsa::WSAECONNRESET);
        return;
    }
    // SECURITY: a page shorter than the server announced is incomplete;
    // using it could read a cut version number as a valid one.
    if (lengthKnown_ && page_.size() < contentLength_) {
        Finish(wsa::WSAECONNRESET);
        return;
    }
    Finish(0);
}

bool THttpCli::Take(const char* data, std::size_t size) {
    if (headerDone_) {
        page_.append(data, size);
    } else {
        header_.append(data, size);
        if (!CouldBeStatusLine(header_)) {
            // An HTTP/0.9 server sends the page alone.
            headerDone_ = true;
            statusCode_ = 200;
            page_.swap(header_);
        } else if (!ParseHeader()) {
            if (header_.size() > MaxHeaderSize) {
                Finish(wsa::WSAEMSGSIZE);
                return false;
            }
            return true;
        }
    }
    if (page_.size() > MaxPageSize || (lengthKnown_ && contentLength_ > MaxPageSize)) {
        Finish(wsa::WSAEMSGSIZE);
        return false;
    }
    if (lengthKnown_ && page_.size() >= contentLength_) {
        page_.resize(contentLength_);
        Finish(0);
        return false;
    }
    return true;
}

bool THttpCli::ParseHeader() {
    const std::size_t crlf = header_.find("\n\r\n");
    const std::size_t lf = header_.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos)
        return false;
    const bool crlfFirst = lf == std::string::npos || (crlf != std::string::npos && crlf < lf);
    const std::size_t end = crlfFirst ? crlf : lf;
    const std::size_t bodyStart = end + (crlfFirst ? 3 : 2);
    if (end > MaxHeaderSize)
        return false; // the caller reports the oversized header

    std::size_t start = 0;
    bool first = true;
    while (start <= end) {
        std::size_t stop = header_.find('\n', start);
        std::string line = header_.substr(start, stop - start);
        start = stop + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        lastResponse_ = line;
        if (first) {
            first = false;
            statusLine_ = line;
            const std::size_t blank = line.find(' ');
            int code = 0;
            if (blank != std::string::npos && line.size() >= blank + 4) {
                const char* digits = line.data() + blank + 1;
                auto [next, ec] = std::from_chars(digits, digits + 3, code);
                if (ec != std::errc() || next != digits + 3)
                    code = 0;
            }
            statusCode_ = code;
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos ||
            !StartsWithNoCase(line.substr(0, colon), apptexts::kHttpContentLength) ||
            colon != std::string(apptexts::kHttpContentLength).size())
            continue;
        const std::string value = Trim(line.substr(colon + 1));
        std::size_t length = 0;
        auto [next, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
        if (!value.empty() && ec == std::errc() && next == value.data() + value.size()) {
            lengthKnown_ = true;
            contentLength_ = length;
        } else if (ec == std::errc::result_out_of_range) {
            lengthKnown_ = true;
            contentLength_ = static_cast<std::size_t>(-1);
        }
    }
    headerDone_ = true;
    page_ = header_.substr(bodyStart);
    header_.clear();
    return true;
}

void THttpCli::Finish(int error) {
    if (!busy_ || ended_)
        return;
    ended_ = true;
    timer_.stop();
    ReleaseSocket();
    const unsigned id = requestId_;
    QMetaObject::invokeMethod(
        this,
        [this, id, error] {
            if (id != requestId_ || !busy_)
                return;
            busy_ = false;
            if (OnRequestDone)
                OnRequestDone(this, error);
        },
        Qt::QueuedConnection);
}
