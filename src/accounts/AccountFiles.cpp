#include "accounts/AccountFiles.h"

#include "accounts/FileCopy.h"
#include "base/PathText.h"
#include "base/StoredFile.h"

namespace accounts {

namespace {} // namespace

AccountFiles::AccountFiles(std::string programDir, LogWriter log)
    : dir_(WithTrailingSlash(std::move(programDir))), users_(dir_ + kUsersWorking, log),
      groups_(dir_ + kGroupsWorking, log) {}

void AccountFiles::StartUp() const {
    for (const std::string& path :
         {SavedUsersPath(), users_.Path(), SavedGroupsPath(), groups_.Path()})
        stored_file::RemoveLeftovers(path);
    CopyFile(SavedUsersPath(), users_.Path());
    CopyFile(SavedGroupsPath(), groups_.Path());
}

bool AccountFiles::SaveUsers() const {
    return CopyFile(users_.Path(), SavedUsersPath());
}
bool AccountFiles::SaveGroups() const {
    return CopyFile(groups_.Path(), SavedGroupsPath());
}
bool AccountFiles::DiscardUsers() const {
    return CopyFile(SavedUsersPath(), users_.Path());
}
bool AccountFiles::DiscardGroups() const {
    return CopyFile(SavedGroupsPath(), groups_.Path());
}

} // namespace accounts
