#pragma once
#include <string>

// A remote path made absolute against dir, without "." or ".." parts or a
// trailing "/" ("/" for the root). A path that starts with "/" is taken as
// it is.
std::string AbsoluteRemotePath(const std::string& dir, const std::string& path);

// True when folder is path itself or one of the folders above it (both
// absolute, as AbsoluteRemotePath gives them).
bool IsSameOrAncestor(const std::string& folder, const std::string& path);
