#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Creates a new folder in folder named base, or base followed by 1, 2, ...
// while a folder of that name exists. Returns the path made, empty when it
// could not be made.
std::string MakeNumberedFolder(const std::string& folder, const std::string& base);

// One entry of a local folder as the local panel lists it.
struct LocalEntry {
    std::string Name;
    std::string Path; // absolute
    bool Folder = false;
    std::int64_t Size = 0;     // bytes; 0 for folders
    std::int64_t Modified = 0; // seconds since 1970 (UTC)
};

// The files and folders of folder (hidden ones too, not "." and ".."),
// folders first, then by name ignoring letter case. Links count as what
// they point at; links that point nowhere and special files are left out.
std::vector<LocalEntry> ReadLocalFolder(const std::string& folder);

// Sorts as the remote listing sorts: column 0 name, 1 size, 2 time.
void SortLocalEntries(std::vector<LocalEntry>& entries, int column, bool descending);
