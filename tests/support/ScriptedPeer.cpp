#include "ScriptedPeer.h"
#include "Loopback.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using testing_support::AcceptWithin;
using testing_support::ConnectLoopback;
using testing_support::ListenLoopback;

void ScriptedPeer::Conn::Send(const std::string& text) {
    SendAll(fd_, text);
}

void ScriptedPeer::Conn::SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string ScriptedPeer::Conn::ReadLine() {
    for (;;) {
        auto end = pending_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            return line;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            return {};
        char buf[4096];
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0)
            return {};
        pending_.append(buf, static_cast<std::size_t>(n));
    }
}

std::string ScriptedPeer::Conn::ReadBytes(std::size_t count) {
    while (pending_.size() < count) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        char buf[4096];
        ssize_t n = ::recv(fd_, buf, std::min(sizeof buf, count - pending_.size()), 0);
        if (n <= 0)
            break;
        pending_.append(buf, static_cast<std::size_t>(n));
    }
    std::string bytes = pending_.substr(0, count);
    pending_.erase(0, bytes.size());
    return bytes;
}

int ScriptedPeer::Conn::ListenData() {
    int port = 0;
    dataListener_ = ListenLoopback(port);
    return port;
}

int ScriptedPeer::Conn::AcceptData() {
    int fd = AcceptWithin(dataListener_, 10000);
    ::close(dataListener_);
    dataListener_ = -1;
    return fd;
}

int ScriptedPeer::Conn::ConnectData(int port) {
    return ConnectLoopback(port);
}

std::string ScriptedPeer::Conn::ReadAll(int fd) {
    std::string all;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    return all;
}

void ScriptedPeer::Conn::Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ScriptedPeer::ScriptedPeer(Script script) {
    listener_ = ListenLoopback(port_);
    thread_ = std::thread([this, script] {
        int fd = AcceptWithin(listener_, 15000);
        if (fd >= 0) {
            Conn conn(fd);
            script(conn);
            ::close(fd);
        }
        finished_ = true;
    });
}

ScriptedPeer::~ScriptedPeer() {
    if (thread_.joinable())
        thread_.join();
    ::close(listener_);
}

std::string PassiveReplyFor(const std::string& commaAddress, int port) {
    return "227 Entering Passive Mode (" + commaAddress + "," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ").\r\n";
}

int PortOfPortCommand(const std::string& line) {
    unsigned a, b, c, d, hi, lo;
    if (std::sscanf(line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &a, &b, &c, &d, &hi, &lo) != 6)
        return -1;
    return static_cast<int>(hi * 256 + lo);
}
