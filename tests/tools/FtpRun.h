#pragma once
// Runs vexa2-ftp for the tools tests.
#include "EventLoop.h"
#include "Peers.h"
#include "TempDir.h"

#include <QProcess>

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A listener on 127.0.0.1 that never accepts (the kernel still completes
// the handshake); returns its descriptor and sets port.
inline int SilentListener(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    port = ntohs(addr.sin_port);
    return fd;
}

// Runs vexa2-ftp while this process's loop keeps running (our own server
// lives on it), in workDir when given. Its default data folder is an empty
// temporary one, so no settings of the machine take part.
inline testing_support::CommandResult RunFtp(const std::vector<std::string>& args,
                                             const std::string& workDir = {}) {
    using namespace testing_support;
    TempDir xdg;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", QString::fromStdString(xdg.Path()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(xdg.Path()));
    process.setProcessEnvironment(env);
    if (!workDir.empty())
        process.setWorkingDirectory(QString::fromStdString(workDir));
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    process.start(QString::fromStdString(ProgramPath("vexa2-ftp")), list);
    CommandResult result;
    if (!process.waitForStarted(10000))
        return result;
    RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, 120000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}
