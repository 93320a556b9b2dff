// vexa2: the desktop program, or with --headless the server without a window.
#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/EventLoopChoice.h"
#include "app/HeadlessServer.h"
#include "app/ProgramLaunch.h"
#include "base/PathText.h"
#include "window/LaunchRefusal.h"
#include "window/TForm1.h"
#include "window/WindowPrompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {
std::string ProgramFolder(const char* argv0) {
    std::string path = QCoreApplication::applicationDirPath().toStdString();
    if (path.empty()) {
        path = argv0;
        path = path.substr(0, path.find_last_of('/') + 1);
    }
    return WithTrailingSlash(path);
}
} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    bool headless = false;
    for (const auto& arg : args)
        headless |= arg == "--headless" || arg == "--help";
    if (headless) {
        UseQtEventLoop();
        QCoreApplication app(argc, argv);
        return RunHeadlessServer(args, ProgramFolder(argv[0]));
    }
    QApplication app(argc, argv);
    ProgramLaunch launch = PrepareLaunch(args, {}, ProgramFolder(argv[0]));
    if (launch.helpRequested) {
        std::fputs(apptexts::kHeadlessUsage, stdout);
        return 0;
    }
    QApplication::setApplicationName(QStringLiteral("vexa2"));
    WindowPrompts prompts;
    if (!launch.error.empty()) {
        ShowLaunchRefusal(launch.error, prompts);
        return 1;
    }
    AppShell shell(launch.dataFolder, launch.settingsPath, launch.helpFilePath, &prompts);
    TForm1 window(shell, prompts);
    prompts.SetParent(&window);
    shell.StartUp();
    window.show();
    window.StartUpSteps();
    const int status = app.exec();
    // A run that ends without the window's close (the session ending) still
    // shuts down cleanly.
    if (!window.Closed())
        shell.Shutdown();
    return status;
}
