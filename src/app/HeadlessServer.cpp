#include "app/HeadlessServer.h"

#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/StdoutLogSink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    // Only async-signal-safe work here: wake the loop through the pipe.
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

int Fail(const std::string& reason) {
    std::fprintf(stderr, "%s%s\n", apptexts::kErrorPrefix, reason.c_str());
    return 1;
}
} // namespace

int RunHeadlessServer(const std::vector<std::string>& args, const std::string& programFolder) {
    CommandLine line = ParseCommandLine(args);
    if (!line.error.empty())
        return Fail(line.error);
    for (const std::string& option : line.options) {
        if (option == apptexts::kHelpOption) {
            std::fputs(apptexts::kHeadlessUsage, stdout);
            return 0;
        }
        if (option != apptexts::kHeadlessOption)
            return Fail(apptexts::kUnknownOption + option);
    }
    if (line.positional.size() > 1)
        return Fail(apptexts::kTooManyArguments);

    DataFolderResult folder = ResolveDataFolder(line.dataDir);
    if (folder.path.empty())
        return Fail(folder.error);
    DataFolderLock lock;
    if (!lock.Acquire(folder.path))
        return Fail(lock.Error());

    // Log lines go to a pipe or a closed terminal too; a vanished reader must
    // not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    AppShell shell(folder.path, SettingsPathFor(folder.path, line.positional),
                   programFolder + apptexts::kHelpFileName);
    // Without a client, the server log is the whole story: each line once.
    StdoutLogSink stdoutSink(STDOUT_FILENO, logServer);
    shell.Log().AddSink(&stdoutSink);

    // The stop signals are caught before the server announces its port: a
    // SIGTERM right after that line still closes the program in order.
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return Fail("cannot create the signal pipe");
    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    shell.StartUp();
    std::string error;
    if (!shell.StartServer(error)) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        shell.Log().RemoveSink(&stdoutSink);
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        return Fail(error);
    }

    QCoreApplication::exec();

    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    shell.Owner().Stop();
    shell.Server().DisconnectAll();
    shell.Close();
    shell.Log().RemoveSink(&stdoutSink);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return 0;
}
