#pragma once
#include <array>
#include <string>

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

inline constexpr int kPathTableSize = 128;
using TVirtMapTable = std::array<TVirtMapEntry, kPathTableSize>;
using TPermaLinkTable = std::array<TPermaLinkEntry, kPathTableSize>;
