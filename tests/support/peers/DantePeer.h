#pragma once
#include "support/Peers.h"
#include "support/TempDir.h"
#include "support/peers/TestUser.h"

#include <QProcess>

#include <fstream>
#include <memory>
#include <string>

// Debian's dante SOCKS 5 server on a free loopback port, without
// authentication or with the user-name method (the test user).
class DantePeer {
public:
    explicit DantePeer(bool requireUser) {
        using namespace testing_support;
        if (requireUser)
            test_user::Ensure();
        port_ = FreePort();
        const std::string conf = dir_.File("danted.conf");
        std::ofstream out(conf);
        out << "logoutput: stderr\ninternal: 127.0.0.1 port = " << port_ << "\nexternal: lo\n"
            << "clientmethod: none\nsocksmethod: " << (requireUser ? "username" : "none") << "\n"
            << "user.privileged: root\nuser.unprivileged: nobody\n"
            << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
            << "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }\n"
            << "socks pass { from: 127.0.0.0/8 to: ::/0 command: connect }\n";
        out.close();
        process_ = std::make_unique<QProcess>();
        process_->setStandardOutputFile(QProcess::nullDevice());
        process_->setStandardErrorFile(QProcess::nullDevice());
        process_->start("/usr/sbin/danted", {"-f", QString::fromStdString(conf), "-p",
                                             QString::fromStdString(dir_.File("pid"))});
        started_ = process_->waitForStarted(5000) && WaitForPort(port_, 10000);
    }
    ~DantePeer() {
        if (process_ && process_->state() != QProcess::NotRunning) {
            process_->terminate();
            if (!process_->waitForFinished(3000)) {
                process_->kill();
                process_->waitForFinished(3000);
            }
        }
    }
    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }

private:
    testing_support::TempDir dir_;
    int port_ = 0;
    bool started_ = false;
    std::unique_ptr<QProcess> process_;
};
