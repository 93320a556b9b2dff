// vexa2-ftp: the client engine from the command line.
#include "app/EventLoopChoice.h"
#include "crypto/TRSA.h"
#include "tools/FtpCommandLine.h"
#include "tools/FtpExitCodes.h"
#include "tools/FtpPasswords.h"
#include "tools/FtpSessionSetup.h"
#include "tools/FtpTexts.h"
#include "tools/FtpToolRunner.h"

#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace ftptool_texts;
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    FtpToolOptions options = ParseFtpToolArgs(args);
    if (options.help) {
        std::cout << HelpText();
        return 0;
    }
    if (!options.error.empty()) {
        std::cerr << kPrefix << options.error << "\n";
        return ftp_exit::kUsage;
    }
    // Only read: no lock is taken, so another program may run on the folder.
    FtpDataFolder folder = FindFtpDataFolder(options.dataDir);
    if (!folder.error.empty()) {
        std::cerr << kPrefix << folder.error << "\n";
        return ftp_exit::kUsage;
    }
    TRSA rsa1;
    FtpSessionSetup setup = PrepareFtpSession(options, folder.path, rsa1, AskPasswordOnTerminal);
    if (!setup.notice.empty() && !options.quiet)
        std::cerr << kPrefix << setup.notice << "\n";
    if (!setup.error.empty()) {
        std::cerr << kPrefix << setup.error << "\n";
        return ftp_exit::kUsage;
    }
    UseQtEventLoop();
    QCoreApplication app(argc, argv);
    return RunFtpTool(options, setup, rsa1, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
