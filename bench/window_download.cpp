// window_download: one download by the desktop window's client, driven as a
// user would (Quick Connect to a site, the file selected in the remote list,
// Download, Transfer Queue), timed, printed rather than asserted.
//
//   window_download HOST PORT USER PASSWORD REMOTE_FILE LOCAL_DIR [KEY]
//       from a server elsewhere (another process, another machine)
//   window_download --own SERVED_DIR REMOTE_FILE LOCAL_DIR [KEY]
//       from the window's own server, which then shares the window's one
//       thread with the client
//
// KEY makes the site an encrypted one (login type 3) with that key text.
// Prints the seconds the session's own "Downloaded" line gives (from the
// transfer's start to its end), the wall time from starting the queue until
// it is empty, and the wall time from Quick Connect until then (connect,
// login, first listing and the download: what a vexa2-ftp run does besides
// starting its process), and the processor seconds the program spent over
// that span. Run under QT_QPA_PLATFORM=offscreen or a display.
#include "WindowProgram.h"
#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "app/SettingsKeys.h"
#include "client/ClientSession.h"
#include "support/TestAccount.h"
#include "window/ClientPage.h"
#include "window/TForm1.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QTreeView>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {
// Processor seconds (user and system) of this process so far.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool Wait(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

int Usage() {
    std::fputs("usage: window_download HOST PORT USER PASSWORD REMOTE_FILE LOCAL_DIR [KEY]\n"
               "       window_download --own SERVED_DIR REMOTE_FILE LOCAL_DIR [KEY]\n",
               stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool own = !args.empty() && args[0] == "--own";
    if (own ? args.size() < 4 || args.size() > 5 : args.size() < 6 || args.size() > 7)
        return Usage();
    QApplication app(argc, argv);
    bench_support::WindowProgram program;
    AppShell& shell = program.shell;
    TForm1& window = program.window;
    program.Start();

    SiteRecord site;
    site.Name = "bench";
    site.Passive = true;
    std::string remoteFile, localDir, key;
    if (own) {
        const std::string served = args[1];
        remoteFile = args[2];
        localDir = args[3];
        key = args.size() > 4 ? args[4] : "";
        shell.Options().SetString(keys::ServerPort, "0");
        shell.Options().SetString(keys::MaximumConcurrentUsers, "0");
        shell.Accounts().Users().Append(
            testing_support::EveryRightAccount("bench", "pw", key, served));
        std::string error;
        if (!shell.StartServer(error)) {
            std::fprintf(stderr, "window_download: %s\n", error.c_str());
            return 1;
        }
        site.Host = "127.0.0.1";
        site.Port = shell.Server().ListeningPort();
        site.UserName = "bench";
        site.Password = "pw";
    } else {
        site.Host = args[0];
        site.Port = args[1];
        site.UserName = args[2];
        site.Password = args[3];
        remoteFile = args[4];
        localDir = args[5];
        key = args.size() > 6 ? args[6] : "";
    }
    if (!localDir.empty() && localDir.back() != '/')
        localDir += '/';
    site.LoginType = key.empty() ? 1 : 3;
    site.EncryptionKey = key;

    QString downloaded, failed;
    QObject::connect(&window.Signals(), &AppSignals::logLine,
                     [&](int log, const QString& line, int) {
                         if (log != logClient)
                             return;
                         if (line.startsWith(QStringLiteral("Downloaded ")))
                             downloaded = line;
                         else if (line.startsWith(QStringLiteral("Failed")) ||
                                  line.startsWith(QStringLiteral("ERROR")))
                             failed = line;
                     });

    ClientPage& page = *window.Client();
    page.Local()->ShowFolder(QString::fromStdString(localDir));
    shell.Client().SetCurrentSite(site);
    QElapsedTimer whole;
    whole.start();
    const double cpuBefore = CpuSeconds();
    window.Run(Command::QuickConnect);
    QTreeView* list = page.RemoteList();
    const QString wanted = QString::fromStdString(remoteFile);
    int row = -1;
    const bool listed = Wait(
        [&] {
            for (int r = 0; r < list->model()->rowCount(); ++r)
                if (list->model()->index(r, 0).data().toString() == wanted)
                    row = r;
            return row >= 0;
        },
        60000);
    if (!listed) {
        std::fprintf(stderr, "window_download: %s not listed\n", remoteFile.c_str());
        return 1;
    }
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.Run(Command::Download);
    QElapsedTimer wall;
    wall.start();
    window.Run(Command::TransferQueue);
    const bool done = Wait(
        [&] {
            return (!downloaded.isEmpty() || !failed.isEmpty()) && shell.Queue().Entries().empty();
        },
        600000);
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double wholeSeconds = whole.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;
    if (!done || downloaded.isEmpty()) {
        std::fprintf(stderr, "window_download: %s\n",
                     failed.isEmpty() ? "no end of the download" : failed.toUtf8().constData());
        return 1;
    }
    const QRegularExpressionMatch seconds =
        QRegularExpression(QStringLiteral(" in ([0-9.]+) seconds")).match(downloaded);
    std::printf("session %s s, queue %.3f s, connect to done %.3f s, cpu %.3f s\n",
                seconds.captured(1).toUtf8().constData(), wallSeconds, wholeSeconds, cpu);
    shell.Client().Disconnect();
    Wait([&] { return !shell.Ftp().Connected(); }, 5000);
    shell.Shutdown();
    return 0;
}
