#pragma once
#include "support/Peers.h"
#include "support/TempDir.h"
#include "support/peers/TestUser.h"

#include <QProcess>

#include <memory>
#include <string>
#include <sys/stat.h>

// Header-only, so the tools tests can start one too.
// Debian's pure-ftpd (unpacked by scripts/deps, as its package conflicts
// with vsftpd's) in the foreground on a free loopback port, with one
// virtual user (User()/Password()) from its own password database, chrooted
// to a temporary folder with write rights; Root() is that folder. Unlike
// vsftpd it answers NLST with a pattern by 550, as several servers do.
class PureFtpdPeer {
public:
    static constexpr const char* kPrograms = "/opt/vexa2-test-peers/pure-ftpd/usr/";
    PureFtpdPeer();
    ~PureFtpdPeer();

    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // Files served, ending in "/".
    std::string Root() const { return root_; }
    static const char* User() { return "pureuser"; }
    static const char* Password() { return "pure-test-pass"; }
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

inline PureFtpdPeer::PureFtpdPeer() {
    using namespace testing_support;
    // Virtual users run as a system account; the test user serves.
    test_user::Ensure();
    root_ = dir_.Path() + "root/";
    ::mkdir(root_.c_str(), 0777);
    ::chmod(dir_.Path().c_str(), 0755);
    ::chmod(root_.c_str(), 0777);
    const std::string passwords = dir_.File("pureftpd.passwd");
    const std::string database = dir_.File("pureftpd.pdb");
    const std::string twice = std::string(Password()) + "\n" + Password() + "\n";
    if (RunCommand(std::string(kPrograms) + "bin/pure-pw",
                   {"useradd", User(), "-u", test_user::Name(), "-d", root_, "-f", passwords},
                   10000, twice)
                .exitCode != 0 ||
        RunCommand(std::string(kPrograms) + "bin/pure-pw", {"mkdb", database, "-f", passwords})
                .exitCode != 0)
        return;
    port_ = FreePort();
    const int pasvPort = FreePort();
    const std::string range = std::to_string(pasvPort) + ":" + std::to_string(pasvPort);
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    // -E: no anonymous logins; -A: chroot every user; -j: create the home.
    process_->start(QString::fromStdString(std::string(kPrograms) + "sbin/pure-ftpd"),
                    {"-S", QString::fromStdString("127.0.0.1," + std::to_string(port_)), "-l",
                     QString::fromStdString("puredb:" + database), "-p",
                     QString::fromStdString(range), "-E", "-A", "-j"});
    started_ = process_->waitForStarted(5000) && WaitForPort(port_, 10000);
}

inline PureFtpdPeer::~PureFtpdPeer() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
}
