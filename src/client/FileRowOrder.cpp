#include "client/FileRowOrder.h"

#include <cctype>

namespace {
int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

bool FileRowLess(const FileRowKey& a, const FileRowKey& b, int column) {
    if (column == 1 && a.Size != b.Size)
        return a.Size < b.Size;
    if (column == 2 && a.Time != b.Time)
        return a.Time < b.Time;
    return CompareNoCase(a.Name, b.Name) < 0;
}
