#pragma once
#include <ostream>
#include <string>
#include <vector>

// vexa2-admin: accounts and server lists from the command line, over the
// same administration operations the settings pages use. Returns the exit
// status; output goes to out, the one-line reason of a failure to err.
int RunAdminCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
