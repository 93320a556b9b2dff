#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A tiny FTP peer for what no real server does on demand (a 226 sent before
// the data connection closes, a reply split over two reads, an endless
// line). It accepts one control connection and runs a script on its own
// thread with blocking sockets; the client under test runs on the loop.
class ScriptedPeer {
public:
    class Conn {
    public:
        explicit Conn(int fd) : fd_(fd) {}
        void Send(const std::string& text);
        // The next line without CR LF; empty on close or after 10 s.
        std::string ReadLine();
        // Exactly count bytes (fewer on close or after 10 s), for binary peers.
        std::string ReadBytes(std::size_t count);
        // Passive data: listens on a free port and returns it.
        int ListenData();
        int AcceptData(); // fd of the data connection, -1 on failure
        // Active data: connects to the PORT the client named.
        static int ConnectData(int port);
        static void SendAll(int fd, const std::string& bytes);
        static std::string ReadAll(int fd);
        static void Sleep(int ms);

    private:
        int fd_;
        int dataListener_ = -1;
        std::string pending_;
    };

    using Script = std::function<void(Conn&)>;
    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    bool Finished() const { return finished_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)." for an address and port.
std::string PassiveReplyFor(const std::string& commaAddress, int port);
// The port number named by a PORT command line.
int PortOfPortCommand(const std::string& line);
