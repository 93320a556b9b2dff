#pragma once
#include "TempDir.h"

#include <QProcess>
#include <string>
#include <vector>

namespace testing_support {

// A peer written in Python (Debian's /usr/bin/python3) that listens on
// 127.0.0.1 port 0 and prints the port it got as its first output line.
// Stopped when the object goes.
class PythonPeer {
public:
    PythonPeer(const std::string& script, const std::vector<std::string>& args);
    ~PythonPeer();
    PythonPeer(const PythonPeer&) = delete;
    PythonPeer& operator=(const PythonPeer&) = delete;

    // 0 when the peer did not start; Error() then says why.
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    const std::string& Error() const { return error_; }

private:
    TempDir scriptDir_;
    QProcess process_;
    int port_ = 0;
    std::string error_;
};

// Python's own HTTP/1.0 server (http.server) serving the files of folder.
class PythonHttpServer : public PythonPeer {
public:
    explicit PythonHttpServer(const std::string& folder);
};

} // namespace testing_support
