#pragma once
#include <string>

namespace accounts {

// Copies one file over another all-or-nothing: the destination holds either
// its old content or the whole source, whatever happens meanwhile. When the
// source cannot be read nothing happens and the destination is left as it
// was; returns whether the copy was made.
bool CopyFile(const std::string& source, const std::string& destination);

bool FileExists(const std::string& path);

} // namespace accounts
