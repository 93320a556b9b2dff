#pragma once
#include <string>

namespace accounts {

// Copies one file over another in 64 KiB blocks, creating or truncating the
// destination. When the source cannot be opened nothing happens and the
// destination is left as it was; returns whether the whole copy was made.
bool CopyFile(const std::string& source, const std::string& destination);

bool FileExists(const std::string& path);

} // namespace accounts
