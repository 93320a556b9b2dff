#pragma once
#include "accounts/AccountAdmin.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace accounts {

inline constexpr const char* kIpListFile = "ipdenials.dat";
inline constexpr const char* kVirtMapFile = "virtmaps.dat";
inline constexpr const char* kPermaLinkFile = "permalinks.dat";

enum class IpMode { Allow, Deny };

// One row of the virtual directories (local folder, virtual path) or of the
// permanent links (local folder, link name).
struct ListPair {
    std::string folder;
    std::string name;
    friend bool operator==(const ListPair&, const ListPair&) = default;
};
// The tables hold every row of their list, however many.
using PairTable = std::vector<ListPair>;

// The three server lists, with the two tables the engine reads. Both tables
// are rebuilt after every change of the virtual directories or the permanent
// links, and OnTablesChanged is told so the owner can hand them on.
class ServerLists {
public:
    std::vector<std::string> IpList; // its Allow/Deny mode is a setting
    std::vector<ListPair> VirtMaps;
    std::vector<ListPair> PermaLinks;
    PairTable VirtMapTable{};
    PairTable PermaLinkTable{};
    std::function<void()> OnTablesChanged;

    // An empty text adds an empty row, which matches nothing.
    AdminResult AddIp(const std::string& text);
    // Both texts get "/" separators ("\" turned into "/"), the virtual path a
    // leading "/", and each a trailing "/" when missing. An empty virtual path
    // adds nothing.
    AdminResult AddVirtMap(const std::string& folder, const std::string& virtualPath);
    AdminResult AddPermaLink(const std::string& folder, const std::string& linkName);
    // Remove the rows at the given 0-based positions.
    AdminResult DeleteIp(const std::set<int>& rows);
    AdminResult DeleteVirtMaps(const std::set<int>& rows);
    AdminResult DeletePermaLinks(const std::set<int>& rows);
    // Clear a list after asking (only when it has rows); true when cleared.
    bool ClearIp(Prompts& prompts);
    bool ClearVirtMaps(Prompts& prompts);
    bool ClearPermaLinks(Prompts& prompts);

    void RebuildTables();

    // Start-up: removes temporary files of interrupted writes, reads the
    // files that exist (a missing file leaves its list empty; every row is
    // kept) and rebuilds the tables. programDir ends in "/".
    void Load(const std::string& programDir);
    // The permanent links are read separately, after the message files have
    // been checked at start-up.
    void LoadIpAndVirtMaps(const std::string& programDir);
    void LoadPermaLinks(const std::string& programDir);
    // Shutdown: writes the three files anew, each all-or-nothing; a file that
    // cannot be written is skipped and keeps its old content. Returns the
    // reason for each file skipped (empty when all were written).
    std::vector<std::string> Save(const std::string& programDir) const;
};

} // namespace accounts
