#pragma once
#include "tools/FtpCommandLine.h"
#include "tools/FtpSessionSetup.h"

#include <ostream>

class TRSA;

// Runs vexa2-ftp's commands over one client session: log in through the
// session controller (which negotiates the encryption when the server and
// the site allow it), change to the address's path, run every command in
// order, quit. Stops at the first failure, which is reported on err with the
// server's reply or the session's reason. Returns the exit code: 0 only when
// every command succeeded. rsa1 holds the program's key pair (or none).
// Needs a running QCoreApplication.
int RunFtpTool(const FtpToolOptions& options, const FtpSessionSetup& setup, TRSA& rsa1,
               std::ostream& out, std::ostream& err, bool progressBar);
