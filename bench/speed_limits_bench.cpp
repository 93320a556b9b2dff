// Speed limits of our FTP server against real curl downloads on loopback,
// in real time (the limits' own tests move a clock instead):
//   1. one 20 MiB download under a 2 MiB/s per-connection limit (target:
//      9 to 12 s);
//   2. two 20 MiB downloads at once under a 2 MiB/s server-wide limit
//      (target: their times within 20% of each other);
//   3. one 20 MiB download at 1 MiB/s per connection whose limit is raised
//      to 4 MiB/s after 3 s (about 3 + 17/4 = 7.25 s; 20 s if the change
//      were ignored).
// Not a test: run it by hand.   speed_limits_bench [MiB=20]
#include "ftpserver/FtpServer.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

struct Download {
    std::unique_ptr<QProcess> curl;
    double seconds = 0;
    bool ok = false;
};

// Runs the downloads of name at once; each one's seconds from start to end.
// at(ms, action) runs action that long after the start.
std::vector<Download> Downloads(int port, const std::string& name, int count,
                                const std::function<void()>& midway = {}, int midwayMs = 0) {
    std::vector<Download> runs(static_cast<std::size_t>(count));
    QElapsedTimer clock;
    clock.start();
    int left = count;
    for (auto& run : runs) {
        run.curl = std::make_unique<QProcess>();
        Download* d = &run;
        QObject::connect(run.curl.get(), &QProcess::finished, [d, &clock, &left](int code) {
            d->seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            d->ok = code == 0;
            --left;
        });
        run.curl->start("curl", {"-s", "-o", "/dev/null",
                                 QString::fromStdString(
                                     "ftp://u:p@127.0.0.1:" + std::to_string(port) + "/" + name)});
    }
    if (midway)
        QTimer::singleShot(midwayMs, midway);
    while (left > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return runs;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 20;
    QTemporaryDir served;
    const std::string home = served.path().toStdString() + "/";
    testing_support::WriteFile(home + "big.bin", testing_support::PatternBytes(mib * kMiB, 5));

    TFtpServer server;
    server.Addr = "127.0.0.1";
    server.Port = "0";
    server.OnAuthenticate = [&](TFtpServer*, TFtpCtrlSocket* client, const std::string&,
                                const std::string&, bool& ok) {
        ok = true;
        client->HomeDir = home;
    };
    server.Start();
    const int port = std::stoi(server.ListeningPort());
    bool pass = true;

    server.ConnectionLimit = 2 * kMiB;
    auto one = Downloads(port, "big.bin", 1);
    const bool firstOk = one[0].ok && one[0].seconds >= 9 && one[0].seconds <= 12;
    std::printf("%lld MiB at 2 MiB/s per connection: %.2f s (target 9..12 s) %s\n",
                static_cast<long long>(mib), one[0].seconds, firstOk ? "ok" : "OUT OF TARGET");
    pass = pass && firstOk;

    server.ConnectionLimit = 0;
    server.DownloadLimit = 2 * kMiB;
    auto two = Downloads(port, "big.bin", 2);
    const double a = two[0].seconds, b = two[1].seconds;
    const double spread = std::abs(a - b) / std::max(a, b);
    const bool shareOk = two[0].ok && two[1].ok && spread <= 0.2;
    std::printf("two downloads sharing 2 MiB/s: %.2f s and %.2f s (%.0f%% apart, "
                "%.2f MiB/s together) %s\n",
                a, b, spread * 100, 2.0 * static_cast<double>(mib) / std::max(a, b),
                shareOk ? "ok" : "OUT OF TARGET");
    pass = pass && shareOk;

    server.DownloadLimit = 0;
    server.ConnectionLimit = 1 * kMiB;
    auto changed = Downloads(
        port, "big.bin", 1, [&] { server.ConnectionLimit = 4 * kMiB; }, 3000);
    const double expected = 3.0 + (static_cast<double>(mib) - 3.0) / 4.0;
    const bool changeOk = changed[0].ok && changed[0].seconds < expected * 1.25;
    std::printf("1 MiB/s raised to 4 MiB/s after 3 s: %.2f s (about %.2f s expected; %.0f s "
                "unchanged) %s\n",
                changed[0].seconds, expected, static_cast<double>(mib), changeOk ? "ok" : "SLOW");
    pass = pass && changeOk;
    return pass ? 0 : 1;
}
