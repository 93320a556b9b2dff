#pragma once
// A TFtpServer on 127.0.0.1 port 0 with a test owner that knows one user
// and allows everything, a raw control-connection client that never blocks
// the event loop, and real peers run as child processes while the loop runs.
#include "ftpserver/FtpServer.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace server_test {

using testing_support::ConnectLoopback;
using testing_support::ListenLoopback;
using testing_support::NonBlocking;

inline constexpr const char* kUser = "bob";
inline constexpr const char* kPass = "secret";

// The owner: authenticates kUser/kPass with the given home, refuses a CWD
// into a missing directory (as the account owner does), and records every
// path each event saw.
struct TestOwner {
    std::string Home;
    std::map<std::string, std::vector<std::string>> Seen; // event name -> paths
    std::vector<std::string> Answers;                     // every reply sent
    int Disconnects = 0;
    bool AllowAll = true;
    void Attach(TFtpServer& server);
};

class ServerFixture {
public:
    // Listens on address ("::" takes IPv6 and IPv4 clients) port 0.
    explicit ServerFixture(const std::string& home, int maxClients = 0,
                           const std::string& address = "127.0.0.1");
    ~ServerFixture();
    TFtpServer& Server() { return *server_; }
    TestOwner& Owner() { return owner_; }
    int Port() const { return port_; }
    std::string Url(const std::string& path = "/") const;

private:
    std::unique_ptr<TFtpServer> server_;
    TestOwner owner_;
    int port_ = 0;
};

// A control connection driven line by line.
class RawClient {
public:
    explicit RawClient(int port);
    // A connection to host (an IPv4 or IPv6 literal) instead of 127.0.0.1.
    RawClient(const std::string& host, int port);
    ~RawClient();
    bool Connected() const { return fd_ >= 0; }
    void SendRaw(const std::string& bytes, bool urgent = false);
    void Send(const std::string& line) { SendRaw(line + "\r\n"); }
    // The next complete reply line (multi-line replies are read whole and
    // their last line returned); "" after timeoutMs or when closed.
    std::string Reply(int timeoutMs = 5000);
    // Every line of the last reply Reply read, its last line included.
    const std::vector<std::string>& ReplyLines() const { return replyLines_; }
    // Sends a line and returns its reply.
    std::string Cmd(const std::string& line, int timeoutMs = 5000);
    // True when the server closed the connection within timeoutMs.
    bool ClosedByServer(int timeoutMs = 3000);
    // Logs in as kUser.
    void Login();
    // PASV: opens the data connection; returns its descriptor.
    int OpenPassive();
    int Fd() const { return fd_; }

private:
    bool FillOnce();
    int fd_ = -1;
    std::string buffer_;
    bool closed_ = false;
    std::vector<std::string> replyLines_;
};

// Connects to the port a 227 reply names, on 127.0.0.1; the descriptor or -1.
int ConnectPassive(const std::string& reply);
// A server in a fresh home folder and one client logged in on it.
class LoggedInServer : public ::testing::Test {
protected:
    testing_support::TempDir tmp;
    std::string home = std::filesystem::canonical(tmp.Path()).string() + "/";
    ServerFixture fx{home};
    RawClient c{fx.Port()};
    void SetUp() override {
        c.Reply();
        c.Login();
    }
};

// Reads a data connection to its end while the event loop runs.
std::string ReadAll(int fd, int timeoutMs = 20000);
// Writes all bytes to a data connection while the event loop runs, then closes it.
bool WriteAllAndClose(int fd, const std::string& data, int timeoutMs = 20000);
// Accepts on a listening socket while the event loop runs (-1 on timeout).
int AcceptWithLoop(int listenFd, int timeoutMs = 5000);

// Byte-for-byte comparison that reports sizes and the first difference
// instead of printing megabytes.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

using PeerResult = testing_support::CommandResult;
// Runs a program to completion while the event loop keeps serving.
PeerResult RunPeer(const std::string& program, const std::vector<std::string>& args,
                   int timeoutMs = 120000);
// Runs a Python 3 script (Debian's interpreter, so ftplib is the system one).
PeerResult RunPython(const std::string& script, const std::vector<std::string>& args = {},
                     int timeoutMs = 120000);

} // namespace server_test
