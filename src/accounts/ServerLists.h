#pragma once
#include "accounts/AccountAdmin.h"

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace accounts {

inline constexpr int kListRows = 128;
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
using PairTable = std::array<ListPair, kListRows>;

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

    // Start-up: reads the files that exist (a missing file leaves its list
    // empty) and rebuilds the tables. programDir ends in "/".
    void Load(const std::string& programDir);
    // The permanent links are read separately, after the message files have
    // been checked at start-up.
    void LoadIpAndVirtMaps(const std::string& programDir);
    void LoadPermaLinks(const std::string& programDir);
    // Shutdown: writes the three files anew; a file that cannot be created is
    // skipped. Returns false when any was skipped.
    bool Save(const std::string& programDir) const;
};

} // namespace accounts
