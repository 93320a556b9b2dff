#pragma once
// The stored bans: one line per banned address in the data folder's
// bans.dat, "ADDRESS UNTIL FAILURES" (UNTIL in milliseconds since the
// epoch), written all-or-nothing so a restart keeps them.
#include "accounts/LoginGuard.h"

#include <string>
#include <vector>

namespace accounts {

inline constexpr const char* kBanFile = "bans.dat";

std::string FormatBans(const std::vector<Ban>& bans);
// Lines that do not read as a ban are skipped.
std::vector<Ban> ParseBans(const std::string& text);

// 0 on success, else the errno; a missing file reads as no bans.
int ReadBanFile(const std::string& folder, std::vector<Ban>& bans);
int WriteBanFile(const std::string& folder, const std::vector<Ban>& bans);

// What identifies the file's present content (changes with every write).
std::string BanFileStamp(const std::string& folder);

} // namespace accounts
