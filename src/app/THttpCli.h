#pragma once
#include "app/AppTexts.h"

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <string>

class TCustomWSocket;
class TWSocket;

// The parts of an "http://host[:port]/path" address. authority is host[:port]
// as written, which is what the Host header carries.
struct HttpUrl {
    std::string host;
    std::string port = "80";
    std::string authority;
    std::string path = "/";
};

// Splits an http address; false for another scheme, an empty or malformed
// host, or a port that is not 1..65535.
bool ParseHttpUrl(const std::string& url, HttpUrl& parts);

class THttpCli;
using THttpRequestDone = std::function<void(THttpCli* Sender, int Error)>;

// An HTTP/1.0 client on the program's own event-driven socket: one GET at a
// time, the page kept in memory. Nothing blocks; the end of every request
// started by GetASync is reported by exactly one OnRequestDone, always from
// the event loop. Error is 0 or a socket error number: a name lookup or
// connect failure, a reset, WSAETIMEDOUT when the whole request took longer
// than TimeoutMs, WSAEMSGSIZE when the answer exceeded the size limits, and
// WSAECONNRESET when the server closed before the page it announced was
// complete. The HTTP status is left to the caller (StatusCode).
class THttpCli : public QObject {
public:
    explicit THttpCli(QObject* parent = nullptr);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Request options, read when GetASync starts.
    std::string URL;
    std::string Accept = apptexts::kHttpAccept;
    std::string Agent = apptexts::kHttpUserAgent;
    std::string RequestVer = apptexts::kHttpRequestVersion;
    int TimeoutMs = 30000;
    // SECURITY: a server can send without end; the answer's header and page
    // are held in memory, so each has a ceiling.
    std::size_t MaxHeaderSize = 64 * 1024;
    std::size_t MaxPageSize = 4 * 1024 * 1024;

    // Starts a GET of URL. False, with nothing started, while a request runs.
    bool GetASync();
    // Drops the running request without reporting it.
    void Abort();
    bool Busy() const { return busy_; }

    // The request GetASync sends for URL: the request line and the Accept,
    // User-Agent and Host headers, each ending in CR LF, then an empty line.
    std::string RequestHeader(const HttpUrl& url) const;

    // The answer of the last request. Without a status line (an HTTP/0.9
    // server) everything received is the page and StatusCode is 200.
    int StatusCode() const { return statusCode_; }
    const std::string& StatusLine() const { return statusLine_; }
    // The last header line received (the status line when there is no other).
    const std::string& LastResponse() const { return lastResponse_; }
    const std::string& RcvdData() const { return page_; }
    long long RcvdCount() const { return static_cast<long long>(page_.size()); }

    THttpRequestDone OnRequestDone;

private:
    void DnsDone(int error);
    void Connected(int error);
    void DataAvailable();
    void Closed(int error);
    // Takes the bytes of the answer; false when the request has ended.
    bool Take(const char* data, std::size_t size);
    bool ParseHeader();
    void Finish(int error);
    // Closes the request's socket; it is freed once its own event has returned.
    void ReleaseSocket();
    // Runs a socket event handler; an exception ends the request.
    void Guard(const std::function<void()>& handler);

    TWSocket* socket_ = nullptr;
    QTimer timer_;
    HttpUrl url_;
    bool busy_ = false;  // from GetASync until OnRequestDone has run
    bool ended_ = false; // the running request has its result
    unsigned requestId_ = 0;

    bool headerDone_ = false;
    std::string header_;
    std::string page_;
    bool lengthKnown_ = false;
    std::size_t contentLength_ = 0;
    int statusCode_ = 0;
    std::string statusLine_;
    std::string lastResponse_;
};
