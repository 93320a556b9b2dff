#pragma once
#include "accounts/RecordFile.h"
#include "base/LogColour.h"

#include <string>

namespace accounts {

inline constexpr const char* kUsersSaved = "vexa2users.dat";
inline constexpr const char* kUsersWorking = "vexa2users.tmp";
inline constexpr const char* kGroupsSaved = "vexa2groups.dat";
inline constexpr const char* kGroupsWorking = "vexa2groups.tmp";

// The four account files of the program directory: a saved and a working copy
// of the user file and of the group file. Everything that reads or changes
// accounts uses the working copies; Save and Discard move them to and from the
// saved copies.
class AccountFiles {
public:
    // programDir ends in "/" (one is added when missing).
    AccountFiles(std::string programDir, LogWriter log);

    const std::string& ProgramDir() const { return dir_; }
    const UserFile& Users() const { return users_; }
    const GroupFile& Groups() const { return groups_; }
    std::string SavedUsersPath() const { return dir_ + kUsersSaved; }
    std::string SavedGroupsPath() const { return dir_ + kGroupsSaved; }

    // Start-up: temporary files of interrupted writes are removed, then the
    // saved files are copied over the working files (a missing saved file
    // leaves its working file as it was).
    void StartUp() const;
    bool SaveUsers() const;
    bool SaveGroups() const;
    bool DiscardUsers() const;
    bool DiscardGroups() const;

private:
    std::string dir_;
    UserFile users_;
    GroupFile groups_;
};

} // namespace accounts
