#pragma once
#include <string>
#include <vector>

// vexa2 --headless: the server as a program without a window. Runs the
// start-up sequence, always starts the server on ServerPort, logs to standard
// output, serves until SIGINT or SIGTERM, then runs the closing sequence.
// SIGHUP re-reads the settings, accounts and lists; connections stay.
// Returns the exit code: 0 after a clean stop, 1 when it could not start or
// its listening socket failed while it ran.
// A QCoreApplication must exist. args exclude the program name.
int RunHeadlessServer(const std::vector<std::string>& args, const std::string& programFolder);
