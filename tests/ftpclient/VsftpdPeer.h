#pragma once
#include "TempDir.h"

#include <QProcess>

#include <memory>
#include <string>

// Debian's vsftpd, started in the foreground on a free loopback port with a
// temporary configuration. The local test user (User()/Password(), created
// once on the machine) logs in to a temporary folder with write rights;
// Root() is that folder. Anonymous logins see a read-only folder.
class VsftpdPeer {
public:
    struct Options {
        bool noAnonPassword = false; // USER anonymous is then answered with 230
        std::string bannerFile;      // multi-line greeting when set
    };
    VsftpdPeer() : VsftpdPeer(Options{}) {}
    explicit VsftpdPeer(const Options& options);
    ~VsftpdPeer();

    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // Files served, ending in "/".
    std::string Root() const { return root_; }
    static const char* User();
    static const char* Password();

private:
    testing_support::TempDir dir_;
    std::string root_;
    int port_ = 0;
    bool started_ = false;
    std::unique_ptr<QProcess> process_;
};
