#pragma once
#include "accounts/AccessList.h"
#include "accounts/AccountFiles.h"
#include "base/Prompts.h"

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

// The message texts in which the user page and the group page differ.
struct RecordTexts {
    const char* noSuchRecord;
    const char* newTitle;
    const char* newText;
    const char* cloneTitle;
    const char* cloneText;
    const char* renameTitle;
    const char* renameText;
};

// What the user page and the group page share: the shown record, the name
// list in file order and the unsaved mark, with the operations that work the
// same on either record type. Kind names the record type and supplies what
// differs between the two:
//   Record                              the stored record type
//   File(files)                         its working file
//   SaveFile(files), DiscardFile(files) the saved copy written / read back
//   kTexts                              its RecordTexts
//   ConfirmNew(prompts, name)           a question before New may go on
//   PrepareClone(copy)                  fields a clone must not inherit
// UserAdmin and GroupAdmin derive from it and add their own fields.
template <class Kind> class RecordAdmin {
public:
    using Record = typename Kind::Record;

    RecordAdmin(const AccountFiles& files, Prompts& prompts) : files_(files), prompts_(prompts) {}

    const std::vector<std::string>& Names() const { return names_; }
    const Record& Current() const { return current_; }
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
    void SetHomeDirectory(const std::string& text);
    void SetEnabled(bool on);
    AdminResult AddAccess(const std::string& path);
    AdminResult RemoveAccess(int place);
    AdminResult SetRight(int place, Right right, bool on);

    AdminResult Save();
    AdminResult Discard();

protected:
    // Fails with the record type's "no such" text when nothing is shown.
    AdminResult RequireCurrent() const;

    const AccountFiles& files_;
    Prompts& prompts_;
    Record current_{};
    std::vector<std::string> names_;
    bool unsaved_ = false;
};

} // namespace accounts
