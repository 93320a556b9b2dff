#pragma once
#include "accounts/AccessList.h"
#include "accounts/AccountFiles.h"
#include "net/Prompts.h"

#include <functional>
#include <string>
#include <vector>

namespace accounts {

// Outcome of an administration operation: ok, or refused with the message the
// user is shown.
struct [[nodiscard]] AdminResult {
    bool ok = true;
    std::string message;
    static AdminResult Ok() { return {}; }
    static AdminResult Fail(std::string text) { return {false, std::move(text)}; }
};

// The user administration: the shown record (CurrentUser), the name list in
// file order and the unsaved mark, with the operations of the user page. The
// page and vexa2-admin both drive it; questions go through Prompts.
class UserAdmin {
public:
    UserAdmin(const AccountFiles& files, Prompts& prompts, std::function<bool()> showSuperUserWarnings);

    const std::vector<std::string>& Names() const { return names_; }
    const UserRecord& Current() const { return current_; }
    bool Unsaved() const { return unsaved_; }
    // The name field's text: the shown name, or the prompt when none is shown.
    std::string ShownName() const;

    // Reloads the name list from the working file (unchanged when it cannot be opened).
    void LoadNames();
    // Writes the shown record back into the working file.
    void WriteBack();
    // Writes back, then shows the first record of the name.
    AdminResult Select(const std::string& name);
    void ClearCurrent();

    AdminResult New(const std::string& name);
    AdminResult Clone(const std::string& source, const std::string& newName);
    AdminResult Rename(const std::string& oldName, const std::string& newName);
    AdminResult Delete(const std::string& name);
    // The same operations asking for the name through Prompts (Cancel or an
    // empty answer ends them with ok and nothing done).
    AdminResult NewFromPrompt();
    AdminResult CloneFromPrompt(const std::string& source);
    AdminResult RenameFromPrompt(const std::string& oldName);

    // Edits of the shown record.
    void SetPassword(const std::string& text);
    void SetEncryptionKey(const std::string& text);
    void SetHomeDirectory(const std::string& text);
    // Granting superuser asks first when warnings are on; No leaves it clear.
    // Returns the flag's new state.
    bool SetSuperUser(bool on);
    void SetEnabled(bool on);
    AdminResult AddAccess(const std::string& path);
    AdminResult RemoveAccess(int place);
    AdminResult SetRight(int place, Right right, bool on);
    AdminResult AddMembership(const std::string& group);
    AdminResult RemoveMembership(const std::string& group);

    AdminResult Save();
    AdminResult Discard();

private:
    AdminResult RequireCurrent() const;
    void RebuildMemberships(const std::vector<std::string>& names);
    std::vector<std::string> Memberships() const;

    const AccountFiles& files_;
    Prompts& prompts_;
    std::function<bool()> warnings_;
    UserRecord current_{};
    std::vector<std::string> names_;
    bool unsaved_ = false;
};

// The group administration, the same shape without password, key, superuser
// flag and memberships.
class GroupAdmin {
public:
    GroupAdmin(const AccountFiles& files, Prompts& prompts);

    const std::vector<std::string>& Names() const { return names_; }
    const GroupRecord& Current() const { return current_; }
    bool Unsaved() const { return unsaved_; }
    std::string ShownName() const;

    void LoadNames();
    void WriteBack();
    AdminResult Select(const std::string& name);
    void ClearCurrent();

    AdminResult New(const std::string& name);
    AdminResult Clone(const std::string& source, const std::string& newName);
    AdminResult Rename(const std::string& oldName, const std::string& newName);
    AdminResult Delete(const std::string& name);
    AdminResult NewFromPrompt();
    AdminResult CloneFromPrompt(const std::string& source);
    AdminResult RenameFromPrompt(const std::string& oldName);

    void SetHomeDirectory(const std::string& text);
    void SetEnabled(bool on);
    AdminResult AddAccess(const std::string& path);
    AdminResult RemoveAccess(int place);
    AdminResult SetRight(int place, Right right, bool on);

    AdminResult Save();
    AdminResult Discard();

private:
    AdminResult RequireCurrent() const;

    const AccountFiles& files_;
    Prompts& prompts_;
    GroupRecord current_{};
    std::vector<std::string> names_;
    bool unsaved_ = false;
};

} // namespace accounts
