#pragma once
#include <string>
#include <vector>

// The two path tables the owner fills and the engine reads. An entry whose
// DirPath is empty is unused.
struct TVirtMapEntry {
    std::string DirPath; // local folder
    std::string VirtMap; // the path clients see for it, such as "/pub/"
};

struct TPermaLinkEntry {
    std::string DirPath;  // local folder the link points at
    std::string LinkName; // name shown in every listing
};

// Each table holds as many entries as its list has rows.
using TVirtMapTable = std::vector<TVirtMapEntry>;
using TPermaLinkTable = std::vector<TPermaLinkEntry>;
