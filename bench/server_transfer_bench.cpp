// Download and upload throughput of our FTP server against vsftpd, both
// driven by curl over loopback, alternating in one run. Prints MB/s per run,
// the medians and ours/vsftpd ratios. Not a test: run it by hand.
//   server_transfer_bench [size_MiB=1024] [rounds=3]
#include "ftpserver/FtpServer.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench_support::Median;
using testing_support::FreePort;

// Runs a program while our event loop keeps serving; returns seconds, or -1.
double Timed(const QString& program, const QStringList& args) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return -1;
    while (process.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const long long size = mib * 1024 * 1024;

    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const std::string pub = root + "/pub"; // vsftpd's anonymous root (not writable)
    const std::string up = pub + "/up";    // uploads of both servers
    ::mkdir(pub.c_str(), 0755);
    ::mkdir(up.c_str(), 0777);
    ::chmod(up.c_str(), 0777);
    if (const passwd* ftp = ::getpwnam("ftp"))
        ::chown(up.c_str(), ftp->pw_uid, ftp->pw_gid);
    const std::string big = pub + "/big.bin";
    {
        std::ofstream out(big, std::ios::binary);
        std::vector<char> block(1 << 20);
        unsigned x = 12345;
        for (char& c : block)
            c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        for (long long i = 0; i < mib; ++i) {
            block[0] = static_cast<char>(i);
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    ::chmod(big.c_str(), 0644);

    TFtpServer server;
    server.Addr = "127.0.0.1";
    server.Port = "0";
    server.OnAuthenticate = [&](TFtpServer*, TFtpCtrlSocket* client, const std::string&,
                                const std::string&, bool& ok) {
        ok = true;
        client->HomeDir = pub + "/";
    };
    server.Start();
    const std::string ours = server.ListeningPort();

    const int vport = FreePort();
    const int pasvMin = FreePort();
    const std::string conf = root + "/vsftpd.conf";
    {
        std::ofstream c(conf);
        c << "listen=YES\nlisten_ipv6=NO\nbackground=NO\nlisten_address=127.0.0.1\nlisten_port="
          << vport << "\nanonymous_enable=YES\nno_anon_password=YES\nanon_root=" << pub
          << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask="
             "022\n"
             "local_enable=NO\nseccomp_sandbox=NO\npasv_enable=YES\npasv_min_port="
          << pasvMin << "\npasv_max_port=" << pasvMin + 50
          << "\nxferlog_enable=NO\nuse_sendfile=YES\nrun_as_launching_user=NO\n";
    }
    QProcess vsftpd;
    vsftpd.start("/usr/sbin/vsftpd", {QString::fromStdString(conf)});
    vsftpd.waitForStarted(5000);
    QThread::msleep(300);

    const auto url = [](const std::string& port, const std::string& user, const std::string& path) {
        return QString::fromStdString("ftp://" + user + "@127.0.0.1:" + port + path);
    };
    std::vector<double> oursDown, vsDown, oursUp, vsUp;
    const double mb = static_cast<double>(size) / 1e6;
    for (int round = 0; round < rounds; ++round) {
        const double d1 =
            Timed("curl", {"-sS", "-o", "/dev/null", url(ours, "bench:bench", "/big.bin")});
        const double d2 = Timed("curl", {"-sS", "-o", "/dev/null",
                                         url(std::to_string(vport), "anonymous:x", "/big.bin")});
        const double u1 = Timed("curl", {"-sS", "-T", QString::fromStdString(big),
                                         url(ours, "bench:bench", "/up/ours.bin")});
        const double u2 = Timed("curl", {"-sS", "-T", QString::fromStdString(big),
                                         url(std::to_string(vport), "anonymous:x",
                                             "/up/vs" + std::to_string(round) + ".bin")});
        std::printf("round %d: download ours %.0f MB/s, vsftpd %.0f MB/s; upload ours %.0f MB/s, "
                    "vsftpd %.0f MB/s\n",
                    round + 1, d1 > 0 ? mb / d1 : 0, d2 > 0 ? mb / d2 : 0, u1 > 0 ? mb / u1 : 0,
                    u2 > 0 ? mb / u2 : 0);
        std::fflush(stdout);
        if (d1 > 0)
            oursDown.push_back(mb / d1);
        if (d2 > 0)
            vsDown.push_back(mb / d2);
        if (u1 > 0)
            oursUp.push_back(mb / u1);
        if (u2 > 0)
            vsUp.push_back(mb / u2);
        ::unlink((up + "/ours.bin").c_str());
        ::unlink((up + "/vs" + std::to_string(round) + ".bin").c_str());
    }
    vsftpd.kill();
    vsftpd.waitForFinished(3000);
    const double dr = Median(vsDown) > 0 ? Median(oursDown) / Median(vsDown) : 0;
    const double ur = Median(vsUp) > 0 ? Median(oursUp) / Median(vsUp) : 0;
    std::printf("median %lld MiB: download ours %.0f / vsftpd %.0f MB/s = %.2f; upload ours %.0f / "
                "vsftpd %.0f MB/s = %.2f\n",
                mib, Median(oursDown), Median(vsDown), dr, Median(oursUp), Median(vsUp), ur);
    return 0;
}
