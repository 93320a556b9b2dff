#pragma once
#include "tools/FtpCommandLine.h"

#include <ostream>

// Runs vexa2-ftp's commands over one client session: log in, change to the
// address's path, run every command in order, quit. Stops at the first
// failure, which is reported on err with the server's reply. Returns the
// exit code: 0 only when every command succeeded. Needs a running
// QCoreApplication.
int RunFtpTool(const FtpToolOptions& options, std::ostream& out, std::ostream& err, bool progressBar);
