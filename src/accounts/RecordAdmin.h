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
    // Writes the shown record back into the working file when it holds edits
    // made since it was read. An unedited record is never written: another
    // program (vexa2-admin) may have changed that account in the working file
    // meanwhile, and writing the old copy would undo its change.
    void WriteBack();
    // Whether the shown record holds edits not yet in the working file.
    bool Edited() const { return edited_; }
    // Writes back, then shows the first record of the name.
    AdminResult Select(const std::string& name);
    void ClearCurrent();

    // A new record is shown at once (it is the one the user goes on to edit).
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

    // The access entry whose rights the rights panel shows and edits: a
    // 1-based place, 0 for none (the panel is then disabled). Showing a
    // record, adding or removing an entry selects none.
    int SelectedEntry() const { return selectedEntry_; }
    AdminResult SelectEntry(int place);
    // A click on a rights box: the right of the selected entry.
    AdminResult SetSelectedRight(Right right, bool on);
    // What the seven rights boxes show: the selected entry; with none, the
    // first entry of a record just shown, and all clear after an Add.
    AccessEntry PanelEntry() const;

    AdminResult Save();
    AdminResult Discard();

protected:
    // Fails with the record type's "no such" text when nothing is shown.
    AdminResult RequireCurrent() const;

    const AccountFiles& files_;
    Prompts& prompts_;
    // The shown record changed: it must reach the working file and the saved one.
    void MarkEdited() {
        edited_ = true;
        unsaved_ = true;
    }
    // A record was (re)read or cleared: nothing of it is selected or edited.
    void Shown() {
        selectedEntry_ = 0;
        panelFromFirst_ = true;
        edited_ = false;
        base_ = current_;
    }

    Record current_{};
    Record base_{}; // the shown record as it was read: what edits are judged against
    std::vector<std::string> names_;
    bool unsaved_ = false;
    bool edited_ = false;
    int selectedEntry_ = 0;
    bool panelFromFirst_ = true;
};

} // namespace accounts
