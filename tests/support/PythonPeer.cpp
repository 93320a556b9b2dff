#include "PythonPeer.h"
#include "Peers.h"

#include <QStringList>

namespace testing_support {

namespace {

const char* kHttpServerScript = R"(
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.HTTPServer(('127.0.0.1', 0), handler)
print(server.server_address[1], flush=True)
server.serve_forever()
)";

} // namespace

PythonPeer::PythonPeer(const std::string& script, const std::vector<std::string>& args) {
    const std::string path = scriptDir_.File("peer.py");
    WriteFile(path, script);
    QStringList arguments{"-u", QString::fromStdString(path)};
    for (const auto& arg : args)
        arguments << QString::fromStdString(arg);
    process_.start("/usr/bin/python3", arguments);
    if (!process_.waitForStarted(10000)) {
        error_ = "cannot start /usr/bin/python3";
        return;
    }
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const std::string line = process_.readLine().trimmed().toStdString();
    try {
        port_ = std::stoi(line);
    } catch (const std::exception&) {
        error_ =
            "no port from the Python peer: " + line + process_.readAllStandardError().toStdString();
    }
}

PythonPeer::~PythonPeer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

PythonHttpServer::PythonHttpServer(const std::string& folder)
    : PythonPeer(kHttpServerScript, {folder}) {}

} // namespace testing_support
