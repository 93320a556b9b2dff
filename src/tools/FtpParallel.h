#pragma once
#include "client/ClientSession.h"
#include "crypto/TRSA.h"
#include "ftpclient/TFtpClient.h"
#include "tools/FtpToolWaiter.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// One more connection to the site, logged in like the first one (same
// login, encryption choice and proxy).
struct FtpExtraConnection {
    TFtpClient client;
    TRSA rsa2;
    std::unique_ptr<ClientSession> session;
};

// Opens one more connection and waits until it is ready; nothing (and the
// server's reason in reason) when it was refused.
using OpenFtpConnection = std::function<std::unique_ptr<FtpExtraConnection>(std::string& reason)>;

// Runs transfers over the first connection and up to count - 1 more, opened
// when a run has more than one transfer and kept for the following runs.
// A server that refuses some of them is used with those it took, and one
// line says so. The extra connections are closed when this goes.
class FtpParallel {
public:
    FtpParallel(ClientSession& first, TFtpClient& firstClient, FtpToolWaiter& waiter, int count,
                OpenFtpConnection open, std::ostream& err);
    ~FtpParallel();
    FtpParallel(const FtpParallel&) = delete;
    FtpParallel& operator=(const FtpParallel&) = delete;

    using Job = std::function<void(ClientSession& session, TransferDone done)>;
    using Ended = std::function<void(std::size_t job, const TransferResult& result)>;
    // Runs every job, at most one per connection at a time, and returns
    // when all have ended. A connection that is lost takes no more jobs;
    // when none is left the jobs not started end with kTransferNotStarted.
    // False when the server went silent (the running jobs were stopped).
    bool Run(const std::vector<Job>& jobs, const Ended& ended);
    // Stops every transfer at once (Ctrl-C): what arrived stays on disk.
    void AbortAll();
    int Connections() const { return static_cast<int>(extras_.size()) + 1; }

private:
    void OpenExtras(std::size_t wanted);
    struct Slot {
        ClientSession* session;
        TFtpClient* client;
        bool busy = false;
        bool lost = false;
    };

    ClientSession& first_;
    TFtpClient& firstClient_;
    FtpToolWaiter& waiter_;
    int count_;
    OpenFtpConnection open_;
    std::ostream& err_;
    bool refused_ = false; // the server refused one: no more are asked for
    std::vector<std::unique_ptr<FtpExtraConnection>> extras_;
};
