#include "accounts/FileCopy.h"

#include "base/StoredFile.h"

#include <sys/stat.h>

namespace accounts {

bool CopyFile(const std::string& source, const std::string& destination) {
    return stored_file::CopyPrivate(source, destination) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsNewer(const std::string& path, const std::string& other) {
    struct stat a {};
    struct stat b {};
    if (::stat(path.c_str(), &a) != 0 || ::stat(other.c_str(), &b) != 0)
        return false;
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec)
        return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
    return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

} // namespace accounts
