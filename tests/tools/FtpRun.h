#pragma once
// Runs vexa2-ftp for the tools tests.
#include "EventLoop.h"
#include "Peers.h"
#include "TempDir.h"

#include <QProcess>

#include <string>
#include <vector>

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
