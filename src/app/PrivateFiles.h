#pragma once
#include <string>
#include <vector>

// The stored files of the data folder that hold passwords or keys in clear
// text: the account files with their working copies, the site store with its
// copies, and the settings file (the private key). Each must be readable by
// its owner only.
std::vector<std::string> PrivateFileNames();

// Makes every private file of the folder (ending in "/") that exists with a
// wider mode owner-only (0600). Returns one log line per file changed or
// failed.
std::vector<std::string> MakeStoredFilesPrivate(const std::string& folder);
