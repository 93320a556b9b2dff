#pragma once
#include "client/ClientSession.h"
#include "client/RemotePath.h"
#include "client/TransferQueue.h"
#include "tools/FtpToolWaiter.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// What vexa2-ftp's queue commands work with: the session, its queue, and
// how a failed entry is reported (the report counts it for the exit status).
struct FtpQueueRun {
    ClientSession& session;
    TransferQueue& queue;
    FtpToolWaiter& waiter;
    std::ostream& err;
    // A failure: what failed ("get /a/b") and the result that said why.
    std::function<void(const std::string& what, const TransferResult& result)> report;
    // Logs in again after a time-out closed the connection; false when that
    // failed (and was reported).
    std::function<bool()> reconnect;
    int failures = 0; // entries the queue ended with an error (counted by the caller)
};

// Each runs its entries through the queue to the end, reports every entry
// that failed, and leaves the server in the directory it started in. An
// entry that times out is reported, and the others run on a new connection.
// False when anything failed (or nothing matched).
bool GetFolder(FtpQueueRun& run, const std::string& remote, const std::string& local);
bool PutFolder(FtpQueueRun& run, const std::string& local, const std::string& remote);
bool GetMatching(FtpQueueRun& run, const std::vector<std::string>& patterns);
bool PutMatching(FtpQueueRun& run, const std::vector<std::string>& patterns);
