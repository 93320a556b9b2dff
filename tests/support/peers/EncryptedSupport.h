#pragma once
// Shared pieces of the encrypted-session tests: key pairs made once per test
// binary, our server with its account owner, a client session, a TCP relay
// that records both directions, and a blocking raw client.
#include "accounts/AccessList.h"
#include "accounts/AccountFiles.h"
#include "accounts/PathRights.h"
#include "accounts/ServerOwner.h"
#include "client/ClientSession.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/TRSA.h"
#include "ftpserver/FtpServer.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestAccount.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace enc_test {

using namespace testing_support;

inline constexpr const char* kUser = "alice";
inline constexpr const char* kPass = "pw-alice";
// 56 characters: the whole Blowfish key.
inline const std::string kKey56 = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRST";

// Key pairs by (bits, index), generated on first use and kept for the binary.
inline TRSA& Pair(TKeyBits bits, int index) {
    static std::map<std::pair<int, int>, std::unique_ptr<TRSA>> pairs;
    auto& slot = pairs[{static_cast<int>(bits), index}];
    if (!slot) {
        slot = std::make_unique<TRSA>();
        slot->SetKeyBits(bits);
        slot->GenerateKeys();
    }
    return *slot;
}

inline std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Forwards one TCP connection to 127.0.0.1:target and records both
// directions. Runs on its own thread so the event loop may serve both ends.
class Relay {
public:
    explicit Relay(int target) : target_(target) {
        listener_ = ListenLoopback(port_, 1);
        thread_ = std::thread([this] { Run(); });
    }
    ~Relay() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }
    std::string Up() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return up_;
    }
    std::string Down() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return down_;
    }
    bool Finished() const { return finished_; }

private:
    void Run() {
        pollfd p{listener_, POLLIN, 0};
        while (!stop_ && ::poll(&p, 1, 50) == 0) {
        }
        if (stop_) {
            finished_ = true;
            return;
        }
        int client = ::accept(listener_, nullptr, nullptr);
        int server = ConnectLoopback(target_);
        if (server < 0) {
            ::close(client);
            finished_ = true;
            return;
        }
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buf[8192];
        bool open = true;
        while (open && !stop_) {
            if (::poll(fds, 2, 50) <= 0)
                continue;
            for (int i = 0; i < 2 && open; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    open = false;
                    break;
                }
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    (i == 0 ? up_ : down_).append(buf, static_cast<std::size_t>(n));
                }
                ::send(fds[1 - i].fd, buf, static_cast<std::size_t>(n), MSG_NOSIGNAL);
            }
        }
        ::close(client);
        ::close(server);
        finished_ = true;
    }

    int target_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::string up_, down_;
};

// A blocking client on its own thread: sends each line (CR LF added) after
// the previous read, collects everything received until the server closes
// or quietMs pass without bytes.
inline std::string RawExchange(int port, const std::vector<std::string>& lines, int quietMs = 700) {
    std::string received;
    std::atomic<bool> done{false};
    std::thread t([&] {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            auto drain = [&] {
                char buf[4096];
                pollfd p{fd, POLLIN, 0};
                while (::poll(&p, 1, quietMs) > 0) {
                    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                    if (n <= 0)
                        return false;
                    received.append(buf, static_cast<std::size_t>(n));
                }
                return true;
            };
            bool open = drain();
            for (const auto& line : lines) {
                if (!open)
                    break;
                const std::string out = line + "\r\n";
                ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
                open = drain();
            }
            ::close(fd);
        }
        done = true;
    });
    RunLoopUntil([&] { return done.load(); }, 60000);
    t.join();
    return received;
}

// Our server with the account owner, one account with every right on the
// served folder, and an interactive client session.
struct Env {
    TempDir data, served, clientDir;
    std::string root;
    LogCapture serverLog;
    accounts::AccountFiles files{data.Path(), serverLog.Writer()};
    accounts::ServerLists lists;
    accounts::ServerPolicy policy;
    ProgramKeys serverKeys;
    TFtpServer server;
    std::unique_ptr<accounts::ServerOwner> owner;
    int port = 0;

    TFtpClient ftp;
    TRSA* clientPair = nullptr;
    TRSA clientPeerKey;
    ScriptedPrompts prompts;
    LogCapture clientLog;
    std::unique_ptr<ClientSession> session;

    // serverPair null: a server without a key pair of its own.
    Env(TRSA* serverPair, TRSA* clientKeys, const std::string& accountKey)
        : clientPair(clientKeys) {
        root = served.Path();
        policy.maximumConcurrentUsers = 0;
        policy.idleTimeout = false;
        EXPECT_TRUE(files.Users().Append(EveryRightAccount(kUser, kPass, accountKey, root)));

        owner = std::make_unique<accounts::ServerOwner>(
            server, files, lists, [this] { return policy; }, serverLog.Writer());
        if (serverPair) {
            serverKeys = ProgramKeys::From(*serverPair);
            server.Keys = &serverKeys;
        }
        server.ProgramDirectory = data.Path();
        server.Addr = "127.0.0.1";
        owner->Start("0");
        port = std::stoi(server.ListeningPort());

        TRSA& own = clientPair ? *clientPair : clientPeerKey; // no pair: nothing to announce
        session = std::make_unique<ClientSession>(
            ftp, own, clientPeerKey, prompts, clientLog.Writer(), [this] {
                ClientDefaults d;
                d.programDirectory = clientDir.Path();
                if (clientPair) {
                    d.publicKey = clientPair->PublicKey();
                    d.privateKey = clientPair->PrivateKey();
                    d.keyLengthText = SymKeyLengthText(clientPair->SymKeyLength());
                    d.keyBitsText = KeyBitsText(clientPair->KeyBits());
                }
                return d;
            });
        session->CurrentSite.Name = "own";
        session->CurrentSite.Host = "127.0.0.1";
        session->CurrentSite.Port = std::to_string(port);
        session->CurrentSite.UserName = kUser;
        session->CurrentSite.Password = kPass;
        session->CurrentSite.LoginType = 3;
        session->CurrentSite.EncryptionKey = kKey56;
        session->CurrentSite.Passive = true;
    }
    ~Env() {
        session.reset();
        if (ftp.Connected())
            ftp.AbortSync();
        owner->KickAllUsers();
        RunLoopFor(50);
        owner->Stop();
        owner.reset();
    }

    // Connects and waits until the first listing is shown.
    bool ConnectAndList(int ms = 60000) {
        session->Connect();
        return RunLoopUntil(
                   [&] { return session->Groups().RemoteUp || !session->Groups().Disconnect; },
                   ms) &&
               session->Groups().RemoteUp;
    }

    bool Download(const std::string& remote, const std::string& local) {
        ftp.HostFileName = remote;
        ftp.HostDirName.clear();
        ftp.LocalFileName = local;
        ftp.Binary = true;
        return ftp.TypeSetSync() && ftp.GetSync();
    }
    bool Upload(const std::string& local, const std::string& remote) {
        ftp.HostFileName = remote;
        ftp.HostDirName.clear();
        ftp.LocalFileName = local;
        ftp.Binary = true;
        return ftp.TypeSetSync() && ftp.PutSync();
    }
};

} // namespace enc_test
