#pragma once
#include <string>

namespace accounts {

// Copies one file over another all-or-nothing: the destination holds either
// its old content or the whole source, whatever happens meanwhile. When the
// source cannot be read nothing happens and the destination is left as it
// was. The destination is private (0600): account files hold passwords and
// keys. Returns whether the copy was made.
bool CopyFile(const std::string& source, const std::string& destination);

bool FileExists(const std::string& path);

// Whether path was modified after other (to the file system's time
// resolution); false when either is missing.
bool IsNewer(const std::string& path, const std::string& other);

} // namespace accounts
