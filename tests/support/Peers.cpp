#include "Peers.h"
#include "EventLoop.h"

#include <QProcess>
#include <QStringList>

#include <fstream>
#include <functional>
#include <sstream>

namespace testing_support {

namespace {

// Starts the program, hands it its input, and lets finished() wait for it.
CommandResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input, const std::string& xdgHome,
                         const std::function<bool(QProcess&)>& finished) {
    QProcess process;
    if (!xdgHome.empty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", QString::fromStdString(xdgHome));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(xdgHome));
        process.setProcessEnvironment(env);
    }
    QStringList arguments;
    for (const auto& arg : args)
        arguments << QString::fromStdString(arg);
    process.start(QString::fromStdString(program), arguments);
    CommandResult result;
    if (!process.waitForStarted(10000)) {
        result.err = "cannot start " + program;
        return result;
    }
    if (!input.empty())
        process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    if (!finished(process)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = "timed out: " + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

} // namespace

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         int timeoutMs, const std::string& input, const std::string& xdgHome) {
    return RunProcess(program, args, input, xdgHome, [timeoutMs](QProcess& process) {
        return process.waitForFinished(timeoutMs);
    });
}

CommandResult RunCommandServing(const std::string& program, const std::vector<std::string>& args,
                                int timeoutMs, const std::string& input,
                                const std::string& xdgHome) {
    return RunProcess(program, args, input, xdgHome, [timeoutMs](QProcess& process) {
        return RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    });
}

std::string PatternBytes(std::size_t size, std::uint32_t seed) {
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x & 0xFF);
    }
    return data;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ProgramPath(const std::string& name) {
    return std::string(VEXA_BIN_DIR) + "/" + name;
}

} // namespace testing_support
