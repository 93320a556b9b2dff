#include "app/HeadlessServer.h"

#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/ProgramLaunch.h"
#include "app/StdoutLogSink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int number) {
    // Only async-signal-safe work here: wake the loop through the pipe with
    // the signal's number.
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// What the signals that arrived since the last look ask for: stop wins over
// a reload.
enum class SignalRequest { None, Reload, Stop };
SignalRequest DrainSignals() {
    SignalRequest request = SignalRequest::None;
    char bytes[64];
    ssize_t n;
    while ((n = ::read(signalPipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (bytes[i] == SIGHUP && request == SignalRequest::None)
                request = SignalRequest::Reload;
            else if (bytes[i] != SIGHUP)
                request = SignalRequest::Stop;
    return request;
}

void RestoreSignals() {
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, SIG_DFL);
}

int Fail(const std::string& reason) {
    std::fprintf(stderr, "%s%s\n", apptexts::kErrorPrefix, reason.c_str());
    return 1;
}
} // namespace

int RunHeadlessServer(const std::vector<std::string>& args, const std::string& programFolder) {
    ProgramLaunch launch = PrepareLaunch(args, {apptexts::kHeadlessOption}, programFolder);
    if (launch.helpRequested) {
        std::fputs(apptexts::kHeadlessUsage, stdout);
        return 0;
    }
    if (!launch.error.empty())
        return Fail(launch.error);

    // Log lines go to a pipe or a closed terminal too; a vanished reader must
    // not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    AppShell shell(launch.dataFolder, launch.settingsPath, launch.helpFilePath);
    // Without a client, the server log is the whole story: each line once.
    StdoutLogSink stdoutSink(STDOUT_FILENO, logServer);
    shell.Log().AddSink(&stdoutSink);

    // The signals are caught before the server announces its port: a
    // SIGTERM right after that line still closes the program in order, and a
    // SIGHUP (a service manager's reload) never ends it.
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return Fail("cannot create the signal pipe");
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&shell] {
        switch (DrainSignals()) {
        case SignalRequest::Stop:
            QCoreApplication::quit();
            break;
        case SignalRequest::Reload:
            shell.Reload();
            break;
        case SignalRequest::None:
            break;
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);

    shell.StartUp();
    std::string error;
    if (!shell.StartServer(error)) {
        RestoreSignals();
        shell.Log().RemoveSink(&stdoutSink);
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        return Fail(error);
    }

    // Without a window nobody answers the update check's question (taken as
    // No) or reads its error dialog (logged instead).
    shell.CheckForUpdateOnStartup([&shell](const UpdateCheckResult& result) {
        if (result.outcome == UpdateCheckResult::Outcome::Error)
            shell.Log().WriteLog(logBoth, result.errorText, colours::clRed);
    });

    // A listener that fails on its own ends the program with an error, so a
    // service manager sees the failure and can start it again.
    std::string listenerFault;
    shell.Owner().OnListenerFailed = [&listenerFault](const std::string& reason) {
        listenerFault = reason;
        QCoreApplication::quit();
    };

    QCoreApplication::exec();
    shell.Owner().OnListenerFailed = nullptr;

    RestoreSignals();
    shell.Shutdown();
    shell.Log().RemoveSink(&stdoutSink);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    if (!listenerFault.empty())
        return Fail(apptexts::kListenerFailed + listenerFault);
    return 0;
}
