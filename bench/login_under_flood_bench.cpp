// Fresh-login latency of our FTP server while one other client floods it:
// none, a full-speed upload, NOOP lines that are never read, and
// cipher-shaped lines against a 2048-bit key. A fresh login is connect,
// greeting, USER and PASS up to the 230 reply. Prints the median and the
// worst of the logins per flood. Not a test: run it by hand.
//   login_under_flood_bench [logins=20]
#include "crypto/TRSA.h"
#include "ftpserver/FtpServer.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench_support::Median;

// A blocking connection to 127.0.0.1:port that waits at most a minute for
// a reply, or -1.
int Connect(int port) {
    const int fd = testing_support::ConnectLoopback(port);
    if (fd < 0)
        return -1;
    timeval tv{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// The last line of the next reply ("ddd text"), or "" when the peer closed.
std::string Reply(int fd) {
    std::string line;
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 4 && line[3] == '-') {
            line.clear();
            continue;
        }
        return line;
    }
    return {};
}

std::string Cmd(int fd, const std::string& line) {
    const std::string out = line + "\r\n";
    ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    return Reply(fd);
}

// One flood: its connection and a thread that keeps sending.
class Flood {
public:
    virtual ~Flood() { Stop(); }
    void Stop() {
        stop_ = true;
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

protected:
    void Stream(int fd, std::string block) {
        fd_ = fd;
        thread_ = std::thread([this, block = std::move(block)] {
            while (!stop_)
                if (::send(fd_, block.data(), block.size(), MSG_NOSIGNAL) <= 0)
                    break;
        });
    }
    std::atomic<bool> stop_{false};

private:
    int fd_ = -1;
    std::thread thread_;
};

class LineFlood : public Flood {
public:
    LineFlood(int port, const std::string& line) {
        std::string block;
        while (block.size() < 64 * 1024)
            block += line + "\r\n";
        Stream(Connect(port), block);
    }
};

class UploadFlood : public Flood {
public:
    explicit UploadFlood(int port) : control_(Connect(port)) {
        Reply(control_);
        Cmd(control_, "USER bench");
        Cmd(control_, "PASS bench");
        const std::string pasv = Cmd(control_, "PASV");
        int h1, h2, h3, h4, p1, p2;
        std::sscanf(pasv.c_str() + pasv.find('('), "(%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4, &p1,
                    &p2);
        const int data = Connect(p1 * 256 + p2);
        Cmd(control_, "STOR flood.bin");
        Stream(data, std::string(1 << 20, 'u'));
    }
    ~UploadFlood() override {
        Stop();
        ::close(control_);
    }

private:
    int control_;
};

// Runs work on a thread while the server's loop keeps serving.
void Serve(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        work();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    t.join();
}

// Milliseconds of each of count fresh logins.
std::vector<double> FreshLogins(int port, int count) {
    std::vector<double> ms;
    Serve([&] {
        for (int i = 0; i < count; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const int fd = Connect(port);
            Reply(fd);
            Cmd(fd, "USER bench");
            const std::string done = Cmd(fd, "PASS bench");
            const auto end = std::chrono::steady_clock::now();
            if (done.rfind("230 ", 0) != 0)
                std::fprintf(stderr, "login failed: %s\n", done.c_str());
            ::close(fd);
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    });
    return ms;
}

void Report(const char* flood, const std::vector<double>& ms) {
    double worst = 0;
    for (double m : ms)
        worst = std::max(worst, m);
    std::printf("%-34s median %8.2f ms, worst %8.2f ms (%zu logins)\n", flood, Median(ms), worst,
                ms.size());
    std::fflush(stdout);
}

// Lets a flood get going before the logins start.
void Settle() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int logins = argc > 1 ? std::atoi(argv[1]) : 20;

    TRSA keys;
    keys.SetKeyBits(kb2048);
    keys.GenerateKeys();
    ProgramKeys programKeys = ProgramKeys::From(keys);
    TFtpServer server;
    server.Addr = "127.0.0.1";
    server.Port = "0";
    server.Keys = &programKeys;
    server.OnAuthenticate = [](TFtpServer*, TFtpCtrlSocket* client, const std::string&,
                               const std::string&, bool& ok) {
        ok = true;
        client->HomeDir = "/tmp/";
    };
    // Uploads go nowhere, so the flood costs no disk.
    server.OnValidatePut = [](TFtpServer*, TFtpCtrlSocket*, std::string& path, bool& allowed) {
        path = "/dev/null";
        allowed = true;
    };
    server.Start();
    const int port = std::stoi(server.ListeningPort());

    Report("no flood", FreshLogins(port, logins));
    {
        std::unique_ptr<UploadFlood> flood;
        Serve([&] { flood = std::make_unique<UploadFlood>(port); });
        Settle();
        Report("full-speed upload", FreshLogins(port, logins));
        Serve([&] { flood.reset(); });
    }
    {
        LineFlood flood(port, "NOOP");
        Settle();
        Report("NOOP lines, replies unread", FreshLogins(port, logins));
    }
    {
        LineFlood flood(port, keys.EncryptString("NOOP"));
        Settle();
        Report("cipher lines, 2048-bit key", FreshLogins(port, logins));
    }
    return 0;
}
