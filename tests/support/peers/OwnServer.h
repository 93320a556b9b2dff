#pragma once
#include "ftpserver/FtpCtrlSocket.h"
#include "ftpserver/FtpServer.h"

#include <memory>
#include <string>
#include <sys/stat.h>

// Our own server engine on 127.0.0.1 port 0, in this process, with an owner
// that admits one user to a home folder and allows every file operation.
class OwnServer {
public:
    static constexpr const char* kUser = "carol";
    static constexpr const char* kPass = "pw-carol";

    explicit OwnServer(const std::string& home) : server_(std::make_unique<TFtpServer>()) {
        server_->OnAuthenticate = [home](TFtpServer*, TFtpCtrlSocket* client,
                                         const std::string& user, const std::string& pass,
                                         bool& ok) {
            ok = user == kUser && pass == kPass;
            if (ok)
                client->HomeDir = home;
        };
        server_->OnChangeDirectory = [](TFtpServer*, TFtpCtrlSocket*, const std::string& dir,
                                        bool& allowed) {
            struct stat st {};
            allowed = ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        };
        server_->Addr = "127.0.0.1";
        server_->Port = "0";
        server_->Start();
        port_ = std::stoi(server_->ListeningPort());
    }
    ~OwnServer() { server_->DisconnectAll(); }
    int Port() const { return port_; }
    TFtpServer& Server() { return *server_; }
    std::string PortText() const { return std::to_string(port_); }

private:
    std::unique_ptr<TFtpServer> server_;
    int port_ = 0;
};
