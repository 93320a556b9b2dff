#pragma once
#include <ostream>
#include <string>
#include <vector>

// "vexa2-admin bans list|lift ADDRESS": the bans of the data folder's ban
// file. A lift works while a server runs on the folder; the server sees it at
// the next connection from that address. A refusal throws
// admin_tool::Failure.
void RunBansCommand(const std::string& folder, const std::vector<std::string>& args,
                    std::ostream& out);
