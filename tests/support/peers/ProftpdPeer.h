#pragma once
#include "support/Peers.h"
#include "support/TempDir.h"
#include "support/peers/TestUser.h"

#include <QProcess>

#include <memory>
#include <string>
#include <sys/stat.h>

// Header-only, so the tools tests can start one too.
// Debian's proftpd (unpacked by scripts/deps, as its package conflicts with
// vsftpd's) in the foreground on a free loopback port, with one user
// (User()/Password()) from its own password file, chrooted to a temporary
// folder with write rights; Root() is that folder. It offers FEAT, MLSD,
// EPSV, MDTM and MFMT, as most servers of today do.
class ProftpdPeer {
public:
    static constexpr const char* kPrograms = "/opt/vexa2-test-peers/proftpd/usr/";
    ProftpdPeer();
    ~ProftpdPeer();

    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // Files served, ending in "/".
    std::string Root() const { return root_; }
    static const char* User() { return "prouser"; }
    static const char* Password() { return "pro-test-pass"; }
    std::string Url() const {
        return std::string("ftp://") + User() + ":" + Password() + "@127.0.0.1:" + PortText() + "/";
    }

private:
    testing_support::TempDir dir_;
    std::string root_;
    int port_ = 0;
    bool started_ = false;
    std::unique_ptr<QProcess> process_;
};

inline ProftpdPeer::ProftpdPeer() {
    using namespace testing_support;
    // The user's files belong to the test user's account.
    test_user::Ensure();
    root_ = dir_.Path() + "root/";
    ::mkdir(root_.c_str(), 0777);
    ::chmod(dir_.Path().c_str(), 0755);
    ::chmod(root_.c_str(), 0777);
    auto idOf = [](const char* flag) {
        std::string text = RunCommand("/usr/bin/id", {flag, test_user::Name()}).out;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    };
    const std::string uid = idOf("-u"), gid = idOf("-g"), group = idOf("-gn");
    std::string hash = RunCommand("/usr/bin/openssl", {"passwd", "-6", Password()}).out;
    while (!hash.empty() && hash.back() == '\n')
        hash.pop_back();
    if (uid.empty() || gid.empty() || hash.empty())
        return;
    WriteFile(dir_.File("passwd"), std::string(User()) + ":" + hash + ":" + uid + ":" + gid +
                                       "::" + root_ + ":/bin/sh\n");
    WriteFile(dir_.File("group"), "protest:x:" + gid + ":\n");
    // proftpd refuses user and group files that others may read or write.
    ::chmod(dir_.File("passwd").c_str(), 0600);
    ::chmod(dir_.File("group").c_str(), 0600);
    port_ = FreePort();
    const std::string conf = dir_.File("proftpd.conf");
    WriteFile(conf, "ServerType standalone\n"
                    "DefaultServer on\n"
                    "ServerName \"test\"\n"
                    "UseIPv6 off\n"
                    "DefaultAddress 127.0.0.1\n"
                    "Port " +
                        std::to_string(port_) +
                        "\n"
                        "User " +
                        test_user::Name() + "\nGroup " + group +
                        "\n"
                        "PidFile " +
                        dir_.File("proftpd.pid") + "\nScoreboardFile " +
                        dir_.File("proftpd.scoreboard") +
                        "\n"
                        "DelayTable none\nWtmpLog off\nUseReverseDNS off\n"
                        "AuthOrder mod_auth_file.c\nAuthUserFile " +
                        dir_.File("passwd") + "\nAuthGroupFile " + dir_.File("group") +
                        "\n"
                        "RequireValidShell off\nDefaultRoot ~\nAllowOverwrite on\n"
                        "TransferLog none\nSystemLog " +
                        dir_.File("proftpd.log") + "\n");
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    // -n: in the foreground; -q: quiet.
    process_->start(QString::fromStdString(std::string(kPrograms) + "sbin/proftpd"),
                    {"-n", "-q", "-c", QString::fromStdString(conf)});
    started_ = process_->waitForStarted(5000) && WaitForPort(port_, 10000);
}

inline ProftpdPeer::~ProftpdPeer() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
}
