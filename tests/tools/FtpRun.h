#pragma once
// Runs a program that talks to a server in this process while the event loop
// keeps running, in workDir when given. XDG folders and HOME point at an
// empty temporary folder and VEXA2_FTP_PASSWORD is unset, so no settings,
// ~/.netrc or password of the machine take part; env sets or replaces
// variables.
#include "EventLoop.h"
#include "Peers.h"
#include "TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <map>
#include <string>
#include <vector>

using EnvVars = std::map<std::string, std::string>;

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
