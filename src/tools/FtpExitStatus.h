#pragma once
#include "client/ClientSession.h"
#include "client/SessionTransfers.h"

// The exit status (ftp_exit) for a login that did not succeed.
int LoginExitStatus(SessionFailure failure, bool timedOut);

// The exit status for an operation that failed; connected tells whether the
// control connection is still up.
int CommandExitStatus(const TransferResult& result, bool timedOut, bool connected);
