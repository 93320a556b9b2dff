// vexa2-ftp: the client engine from the command line.
#include "app/DataFolder.h"
#include "tools/FtpCommandLine.h"
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
        std::cout << kUsage;
        return 0;
    }
    if (!options.error.empty()) {
        std::cerr << kPrefix << options.error << "\n";
        return 2;
    }
    if (options.dataDir) {
        DataFolderResult folder = ResolveDataFolder(options.dataDir);
        if (folder.path.empty()) {
            std::cerr << kPrefix << folder.error << "\n";
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    return RunFtpTool(options, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
