#pragma once
// Helpers of the vexa2-ftp tests: a text search, a silent listener, and runs
// of a program that talks to a server in this process.
#include "EventLoop.h"
#include "Peers.h"
#include "TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <map>
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

using EnvVars = std::map<std::string, std::string>;

// Runs the program while the event loop keeps running, in workDir when given.
// XDG folders and HOME point at an empty temporary folder and
// VEXA2_FTP_PASSWORD is unset, so no settings, ~/.netrc or password of the
// machine take part; env sets or replaces variables.

inline testing_support::CommandResult RunServing(const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 const std::string& workDir = {},
                                                 const EnvVars& env = {}) {
    using namespace testing_support;
    TempDir xdg;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
        environment.insert(name, QString::fromStdString(xdg.Path()));
    environment.remove("VEXA2_FTP_PASSWORD");
    for (const auto& [name, value] : env)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workDir.empty())
        process.setWorkingDirectory(QString::fromStdString(workDir));
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    process.start(QString::fromStdString(program), list);
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

inline testing_support::CommandResult RunFtp(const std::vector<std::string>& args,
                                             const std::string& workDir = {},
                                             const EnvVars& env = {}) {
    return RunServing(testing_support::ProgramPath("vexa2-ftp"), args, workDir, env);
}
