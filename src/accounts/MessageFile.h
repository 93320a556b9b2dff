#pragma once
#include <string>
#include <vector>

namespace accounts {

// The lines of a connect, login or logout message file, each with the reply
// prefix put before it ("220-", "230-", "221-"). Nothing when the setting is
// empty or names no readable file. CR LF and LF line ends are both read.
std::vector<std::string> MessageLines(const std::string& path, const std::string& prefix);

// Makes a new, empty message file. A file that is already there keeps its
// lines (it was chosen to be the message, not to be emptied). False when the
// file cannot be created.
bool CreateMessageFile(const std::string& path);

} // namespace accounts
