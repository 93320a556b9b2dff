#include "VsftpdPeer.h"

#include "Peers.h"
#include "TestUser.h"

#include <fstream>
#include <sys/stat.h>


VsftpdPeer::VsftpdPeer(const Options& options) {
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
        << "pasv_enable=YES\npasv_min_port=" << pasvPort << "\npasv_max_port=" << pasvPort << "\n"
        << "port_enable=YES\nconnect_from_port_20=NO\nxferlog_enable=NO\ndirmessage_enable=NO\n"
        << "use_localtime=NO\nhide_ids=YES\nftp_username=ftp\n"
        << "no_anon_password=" << (options.noAnonPassword ? "YES" : "NO") << "\n";
    if (!options.bannerFile.empty())
        out << "banner_file=" << options.bannerFile << "\n";
    out.close();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start("/usr/sbin/vsftpd", {QString::fromStdString(conf)});
    started_ = process_->waitForStarted(5000) && WaitForPort(port_, 10000);
}

VsftpdPeer::~VsftpdPeer() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
}

const char* VsftpdPeer::User() { return test_user::Name(); }
const char* VsftpdPeer::Password() { return test_user::Password(); }
