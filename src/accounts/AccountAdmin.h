#pragma once
#include "accounts/RecordAdmin.h"

#include <functional>
#include <string>
#include <vector>

namespace accounts {

// Asked when a field was changed both here and in the working file: true
// keeps the value edited here. The argument names the field.
using KeepMine = std::function<bool(const char* field)>;

// What makes RecordAdmin the user page: the user file, the user texts, the
// question before a user named anonymous is made, and a clone that starts
// without the source's password and key, disabled.
struct UserKind {
    using Record = UserRecord;
    static const UserFile& File(const AccountFiles& files) { return files.Users(); }
    static bool SaveFile(const AccountFiles& files) { return files.SaveUsers(); }
    static bool DiscardFile(const AccountFiles& files) { return files.DiscardUsers(); }
    static const RecordTexts kTexts;
    static bool ConfirmNew(Prompts& prompts, const std::string& name);
    static void PrepareClone(UserRecord& copy);
    // The record to write back: mine (edited from base) merged with the
    // stored one field by field.
    static UserRecord Merge(const UserRecord& base, const UserRecord& mine,
                            const UserRecord& stored, const KeepMine& keepMine);
};

// The group page: the group file and texts; New asks nothing and a clone
// keeps every field but the name.
struct GroupKind {
    using Record = GroupRecord;
    static const GroupFile& File(const AccountFiles& files) { return files.Groups(); }
    static bool SaveFile(const AccountFiles& files) { return files.SaveGroups(); }
    static bool DiscardFile(const AccountFiles& files) { return files.DiscardGroups(); }
    static const RecordTexts kTexts;
    static bool ConfirmNew(Prompts&, const std::string&) { return true; }
    static void PrepareClone(GroupRecord&) {}
    static GroupRecord Merge(const GroupRecord& base, const GroupRecord& mine,
                             const GroupRecord& stored, const KeepMine& keepMine);
};

// Both are instantiated once, in AccountAdmin.cpp.
extern template class RecordAdmin<UserKind>;
extern template class RecordAdmin<GroupKind>;

// The user administration: the shared operations of RecordAdmin plus
// password, key, superuser flag and memberships. The page and vexa2-admin
// both drive it; questions go through Prompts.
class UserAdmin : public RecordAdmin<UserKind> {
public:
    UserAdmin(const AccountFiles& files, Prompts& prompts,
              std::function<bool()> showSuperUserWarnings);

    void SetPassword(const std::string& text);
    void SetEncryptionKey(const std::string& text);
    // Granting superuser asks first when warnings are on; No leaves it clear.
    // Returns the flag's new state.
    bool SetSuperUser(bool on);
    AdminResult AddMembership(const std::string& group);
    // The groups chosen in the group selector: each one the user does not
    // yet belong to is added, in order; refused once 16 are held.
    AdminResult AddMemberships(const std::vector<std::string>& groups);
    AdminResult RemoveMembership(const std::string& group);

private:
    void RebuildMemberships(const std::vector<std::string>& names);
    std::vector<std::string> Memberships() const;

    std::function<bool()> warnings_;
};

// The group administration: the shared operations alone.
class GroupAdmin : public RecordAdmin<GroupKind> {
public:
    GroupAdmin(const AccountFiles& files, Prompts& prompts);
};

} // namespace accounts
