#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A file's modification time as one side knows it: seconds since 1970
// (UTC) and how exact they are. A listing's "Dec 11 05:11" is exact to the
// minute, "Dec 11  2025" to the day; MDTM, a machine listing or the local
// file system give the second (precision 0 or 1).
struct MirrorTime {
    std::int64_t seconds = -1; // -1: unknown
    std::int64_t precision = 0;
    bool Known() const { return seconds >= 0; }
};

struct MirrorFile {
    std::int64_t size = 0;
    MirrorTime time;
};

// One side of a mirror: its folders and files by path relative to its top
// folder ("a", "a/b.txt").
struct MirrorTree {
    std::vector<std::string> folders; // parents before their children
    std::map<std::string, MirrorFile> files;
};

struct MirrorCopy {
    std::string path;
    MirrorFile source;
    // The target holds the first bytes already (a copy cut short: smaller
    // and not older than the source): continue from its size.
    bool resume = false;
    std::int64_t targetSize = 0;
};

struct MirrorPlan {
    std::vector<std::string> newFolders; // parents first
    std::vector<MirrorCopy> copies;
    std::vector<std::string> deleteFiles;
    std::vector<std::string> deleteFolders; // children first
    std::vector<std::string> unsure;
};

// Whether a source file must be copied over the target: Copy when missing,
// of another size, or newer by more than the two times' precision together;
// Unsure when the sizes agree and the times are within a precision coarser
// than seconds (a listing's minute or day), where an exact time decides.
enum class MirrorVerdict { Same, Copy, Unsure };
MirrorVerdict CompareForMirror(const MirrorFile& source, const std::optional<MirrorFile>& target);

// What brings target in step with source; deletions only when asked. An
// unsure file is left out and named in unsure (to be decided again with
// exact times). With resumeShorter a target smaller than its source that
// is not older than it (a copy cut short) is continued from its size.
MirrorPlan PlanMirror(const MirrorTree& source, const MirrorTree& target, bool withDeletes,
                      bool resumeShorter = false);

// The time of a Unix listing's date column ("Dec 11 05:11", "Dec 11  2025");
// a date without a year is the latest one not more than a day ahead of now.
// Unknown when it cannot be read.
MirrorTime ListingTime(const std::string& date, std::time_t now);

// The time of an MDTM reply ("213 20261211051100" or with ".sss").
MirrorTime MdtmTime(const std::string& reply);
