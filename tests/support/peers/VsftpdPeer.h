#pragma once
#include "support/Peers.h"
#include "support/TempDir.h"
#include "support/peers/TestUser.h"

#include <QProcess>

#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>

// Header-only, so the tools tests can start one too.
// Debian's vsftpd, started in the foreground on a free loopback port with a
// temporary configuration. The local test user (User()/Password(), created
// once on the machine) logs in to a temporary folder with write rights;
// Root() is that folder. Anonymous logins see a read-only folder.
class VsftpdPeer {
public:
    struct Options {
        bool noAnonPassword = false; // USER anonymous is then answered with 230
        std::string bannerFile;      // multi-line greeting when set
        std::string ftpdBanner;      // one-line greeting text when set
        bool transferLog = false;    // one line per finished transfer in TransferLog()
        int maxClients = 0;          // sessions at once (0: no limit)
        // Passive data ports from the system's free ones instead of a single
        // fixed one (needed by sessions that transfer at the same time).
        bool anyPassivePort = false;
    };
    VsftpdPeer() : VsftpdPeer(Options{}) {}
    explicit VsftpdPeer(const Options& options);
    ~VsftpdPeer();

    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // Files served, ending in "/".
    std::string Root() const { return root_; }
    // The transfer log (xferlog format): "o" lines are downloads, "i" uploads.
    std::string TransferLog() const { return dir_.File("xferlog"); }
    static const char* User();
    static const char* Password();

private:
    testing_support::TempDir dir_;
    std::string root_;
    int port_ = 0;
    bool started_ = false;
    std::unique_ptr<QProcess> process_;
};

inline VsftpdPeer::VsftpdPeer(const Options& options) {
    using namespace testing_support;
    test_user::Ensure();
    root_ = dir_.Path() + "root/";
    ::mkdir(root_.c_str(), 0777);
    const std::string anonRoot = dir_.Path() + "anon/";
    ::mkdir(anonRoot.c_str(), 0755);
    // Sessions run as the test user: the folders must be open to it.
    ::chmod(dir_.Path().c_str(), 0755);
    ::chmod(root_.c_str(), 0777);
    port_ = FreePort();
    int pasvPort = FreePort();
    const std::string conf = dir_.File("vsftpd.conf");
    std::ofstream out(conf);
    out << "listen=YES\nbackground=NO\nlisten_address=127.0.0.1\nlisten_port=" << port_ << "\n"
        << "seccomp_sandbox=NO\nanonymous_enable=YES\nlocal_enable=YES\nwrite_enable=YES\n"
        << "chroot_local_user=NO\nlocal_root=" << root_ << "\nlocal_umask=022\n"
        << "pam_service_name=vsftpd\nanon_root=" << anonRoot << "\n"
        << "pasv_enable=YES\npasv_min_port=" << (options.anyPassivePort ? 0 : pasvPort)
        << "\npasv_max_port=" << (options.anyPassivePort ? 0 : pasvPort) << "\n"
        << "port_enable=YES\nconnect_from_port_20=NO\ndirmessage_enable=NO\n"
        << (options.transferLog
                ? "xferlog_enable=YES\nxferlog_std_format=YES\nxferlog_file=" + TransferLog() + "\n"
                : std::string("xferlog_enable=NO\n"))
        << "max_clients=" << options.maxClients << "\n"
        << "use_localtime=NO\nhide_ids=YES\nftp_username=ftp\n"
        << "no_anon_password=" << (options.noAnonPassword ? "YES" : "NO") << "\n";
    if (!options.bannerFile.empty())
        out << "banner_file=" << options.bannerFile << "\n";
    if (!options.ftpdBanner.empty())
        out << "ftpd_banner=" << options.ftpdBanner << "\n";
    out.close();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start("/usr/sbin/vsftpd", {QString::fromStdString(conf)});
    started_ = process_->waitForStarted(5000) && WaitForPort(port_, 10000);
}

inline VsftpdPeer::~VsftpdPeer() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
}

inline const char* VsftpdPeer::User() {
    return test_user::Name();
}
inline const char* VsftpdPeer::Password() {
    return test_user::Password();
}
