#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// What a file list sorts by: the name, the size in bytes and the time.
struct FileRowKey {
    const std::string& Name;
    std::int64_t Size;
    std::int64_t Time;
};

// Whether a sorts before b by column 0 name (case-insensitive text), 1 size
// (as a number) or 2 time; the name breaks ties.
bool FileRowLess(const FileRowKey& a, const FileRowKey& b, int column);

// Sorts rows of a file list (the remote listing, a local folder) the same
// way both panels do; keyOf gives a row's FileRowKey. Rows with the same key
// keep their order.
template <class Row, class KeyOf>
void SortFileRows(std::vector<Row>& rows, int column, bool descending, KeyOf keyOf) {
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return descending ? FileRowLess(keyOf(b), keyOf(a), column)
                          : FileRowLess(keyOf(a), keyOf(b), column);
    });
}
