#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/Peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace server_test {

using testing_support::RunLoopUntil;

void TestOwner::Attach(TFtpServer& server) {
    server.OnAuthenticate = [this](TFtpServer*, TFtpCtrlSocket* client, const std::string& user,
                                   const std::string& pass, bool& ok) {
        ok = user == kUser && pass == kPass;
        if (ok)
            client->HomeDir = Home;
    };
    server.OnChangeDirectory = [this](TFtpServer*, TFtpCtrlSocket*, const std::string& dir,
                                      bool& allowed) {
        Seen["CWD"].push_back(dir);
        struct stat st {};
        allowed = AllowAll && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    auto record = [this](const char* name) {
        return [this, name](TFtpServer*, TFtpCtrlSocket*, std::string& path, bool& allowed) {
            Seen[name].push_back(path);
            allowed = AllowAll;
        };
    };
    server.OnValidateGet = record("GET");
    server.OnValidatePut = record("PUT");
    server.OnValidateDele = record("DELE");
    server.OnValidateRnFr = record("RNFR");
    server.OnValidateRnTo = record("RNTO");
    server.OnValidateSize = record("SIZE");
    server.OnValidateTime = record("TIME");
    server.OnMakeDirectory = [this](TFtpServer*, TFtpCtrlSocket*, const std::string& dir,
                                    bool& allowed) {
        Seen["MKD"].push_back(dir);
        allowed = AllowAll;
    };
    server.OnBuildDirectory = [this](TFtpServer*, TFtpCtrlSocket*, std::string& dir, bool) {
        Seen["LIST"].push_back(dir);
    };
    server.OnAnswerToClient = [this](TFtpServer*, TFtpCtrlSocket*, std::string& answer) {
        Answers.push_back(answer);
    };
    server.OnClientDisconnect = [this](TFtpServer*, TFtpCtrlSocket*, int) { ++Disconnects; };
}

ServerFixture::ServerFixture(const std::string& home, int maxClients, const std::string& address)
    : server_(std::make_unique<TFtpServer>()) {
    owner_.Home = home;
    owner_.Attach(*server_);
    server_->Addr = address;
    server_->Port = "0";
    server_->MaxClients = maxClients;
    server_->Start();
    port_ = std::stoi(server_->ListeningPort());
}

ServerFixture::~ServerFixture() {
    server_->DisconnectAll();
    RunLoopUntil([this] { return server_->ClientCount() == 0; }, 2000);
    testing_support::RunLoopFor(20);
}

std::string ServerFixture::Url(const std::string& path) const {
    return "ftp://" + std::string(kUser) + ":" + kPass + "@127.0.0.1:" + std::to_string(port_) +
           path;
}

// Loopback connects complete in the kernel's backlog without our loop.
RawClient::RawClient(int port) : fd_(NonBlocking(ConnectLoopback(port))) {}

RawClient::RawClient(const std::string& host, int port) {
    sockaddr_storage address{};
    socklen_t length = 0;
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *v6;
    } else if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *v4;
    } else {
        return;
    }
    fd_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    NonBlocking(fd_);
}

RawClient::~RawClient() {
    if (fd_ >= 0)
        ::close(fd_);
}

void RawClient::SendRaw(const std::string& bytes, bool urgent) {
    ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | (urgent ? MSG_OOB : 0));
}

bool RawClient::FillOnce() {
    char buf[4096];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n > 0) {
        buffer_.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
        closed_ = true;
    return false;
}

std::string RawClient::Reply(int timeoutMs) {
    std::string result;
    std::string open; // the code of a multi-line reply being read
    replyLines_.clear();
    RunLoopUntil(
        [&] {
            FillOnce();
            for (;;) {
                const auto eol = buffer_.find("\r\n");
                if (eol == std::string::npos)
                    return closed_;
                std::string line = buffer_.substr(0, eol);
                buffer_.erase(0, eol + 2);
                replyLines_.push_back(line);
                // "ddd-" opens a multi-line reply; it ends with "ddd ".
                if (open.empty() && line.size() >= 4 && line[3] == '-') {
                    open = line.substr(0, 3);
                    continue;
                }
                const bool final = line.size() >= 4 && line[3] == ' ' &&
                                   std::isdigit(static_cast<unsigned char>(line[0])) &&
                                   std::isdigit(static_cast<unsigned char>(line[1])) &&
                                   std::isdigit(static_cast<unsigned char>(line[2]));
                if (!open.empty() && !final)
                    continue;
                result = line;
                return true;
            }
        },
        timeoutMs);
    return result;
}

std::string RawClient::Cmd(const std::string& line, int timeoutMs) {
    Send(line);
    return Reply(timeoutMs);
}

bool RawClient::ClosedByServer(int timeoutMs) {
    return RunLoopUntil(
        [&] {
            while (FillOnce()) {
            }
            return closed_;
        },
        timeoutMs);
}

void RawClient::Login() {
    Cmd(std::string("USER ") + kUser);
    Cmd(std::string("PASS ") + kPass);
}

int RawClient::OpenPassive() {
    return ConnectPassive(Cmd("PASV"));
}

int ConnectPassive(const std::string& reply) {
    int h1, h2, h3, h4, p1, p2;
    const auto open = reply.find('(');
    if (open == std::string::npos ||
        std::sscanf(reply.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4, &p1, &p2) != 6)
        return -1;
    return NonBlocking(ConnectLoopback(p1 * 256 + p2));
}

std::string ReadAll(int fd, int timeoutMs) {
    std::string data;
    bool done = false;
    RunLoopUntil(
        [&] {
            char buf[65536];
            for (;;) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                if (n > 0) {
                    data.append(buf, static_cast<std::size_t>(n));
                    continue;
                }
                if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                    done = true;
                return done;
            }
        },
        timeoutMs);
    ::close(fd);
    return data;
}

bool WriteAllAndClose(int fd, const std::string& data, int timeoutMs) {
    std::size_t sent = 0;
    const bool ok = RunLoopUntil(
        [&] {
            while (sent < data.size()) {
                const ssize_t n =
                    ::send(fd, data.data() + sent, data.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n <= 0)
                    return false;
                sent += static_cast<std::size_t>(n);
            }
            return true;
        },
        timeoutMs);
    ::close(fd);
    return ok;
}

int AcceptWithLoop(int listenFd, int timeoutMs) {
    int fd = -1;
    RunLoopUntil(
        [&] {
            fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            return fd >= 0;
        },
        timeoutMs);
    return fd;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure() << "got " << actual.size() << " bytes, expected "
                                         << expected.size() << ", first difference at offset " << i;
}

PeerResult RunPeer(const std::string& program, const std::vector<std::string>& args,
                   int timeoutMs) {
    return testing_support::RunCommandServing(program, args, timeoutMs);
}

PeerResult RunPython(const std::string& script, const std::vector<std::string>& args,
                     int timeoutMs) {
    std::vector<std::string> all{"-c", script};
    all.insert(all.end(), args.begin(), args.end());
    return RunPeer("/usr/bin/python3", all, timeoutMs);
}

} // namespace server_test
