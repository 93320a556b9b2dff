#pragma once
#include "client/ClientSession.h"
#include "client/SessionTransfers.h"

// The exit status (ftp_exit) for a login that did not succeed.
int LoginExitStatus(SessionFailure failure, bool timedOut);

// The exit status for an operation that failed; connected tells whether the
// control connection is still up. lastReply is the server's last reply
// (it may say why it closed the connection).
int CommandExitStatus(const TransferResult& result, bool timedOut, bool connected,
                      const std::string& lastReply = {});

// The server turned the session away because it was not encrypted.
bool EncryptionRefusal(const std::string& text);
