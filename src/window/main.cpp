// vexa2: the desktop program, or with --headless the server without a window.
#include "app/HeadlessServer.h"
#include "ftpserver/Version.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <csignal>
#include <string>
#include <vector>

namespace {
std::string ProgramFolder(const char* argv0) {
    std::string path = QCoreApplication::applicationDirPath().toStdString();
    if (path.empty()) {
        path = argv0;
        path = path.substr(0, path.find_last_of('/') + 1);
    }
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}
} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    bool headless = false;
    for (const auto& arg : args)
        headless |= arg == "--headless" || arg == "--help";
    if (headless) {
        QCoreApplication app(argc, argv);
        return RunHeadlessServer(args, ProgramFolder(argv[0]));
    }
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QString::fromLatin1(kVersionText));
    window.resize(900, 640);
    window.show();
    return app.exec();
}
