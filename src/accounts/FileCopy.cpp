#include "accounts/FileCopy.h"

#include "base/StoredFile.h"

#include <sys/stat.h>

namespace accounts {

bool CopyFile(const std::string& source, const std::string& destination) {
    return stored_file::CopyWhole(source, destination) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace accounts
