#pragma once
#include <ostream>
#include <string>
#include <vector>

// "vexa2-admin site ...": lists, shows, adds, changes and deletes the sites
// of the data folder's site store through the client's own SiteStore, so a
// site made here is the record the site manager would have written. args
// follow the word "site". A refusal throws admin_tool::Failure.
void RunSiteCommand(const std::string& folder, const std::vector<std::string>& args,
                    std::ostream& out);
