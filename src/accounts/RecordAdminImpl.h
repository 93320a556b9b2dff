#pragma once
// The member definitions of RecordAdmin. Only AccountAdmin.cpp includes this
// file: it instantiates the template for users and groups once, and every
// other user of the classes links against that.
#include "accounts/AccountTexts.h"
#include "accounts/RecordAdmin.h"

#include <algorithm>

namespace accounts {

namespace record_admin {

// Names are stored cut to 40 characters; uniqueness is judged on what would
// be stored, so a long name cannot slip past the check and make a duplicate.
inline std::string StoredName(const std::string& name) {
    return name.substr(0, 40);
}

template <class File> bool NameTaken(const File& file, const std::string& name) {
    auto names = file.LoadNames();
    if (!names)
        return false;
    return std::find(names->begin(), names->end(), StoredName(name)) != names->end();
}

// Asks for a name and runs op on it; Cancel or an empty answer ends with ok
// and nothing done. A refusal is shown under the same title, unless it has
// no text (an answered No: the user already knows).
template <class Op>
AdminResult WithAskedName(Prompts& prompts, const char* title, const char* text, Op op) {
    auto name = prompts.AskText(title, text, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    AdminResult result = op(*name);
    if (!result.ok && !result.message.empty())
        prompts.Inform(title, result.message);
    return result;
}

} // namespace record_admin

template <class Kind> std::string RecordAdmin<Kind>::ShownName() const {
    return current_.Name.Empty() ? texts::kSelectPrompt : current_.Name.Get();
}

template <class Kind> void RecordAdmin<Kind>::LoadNames() {
    if (auto names = Kind::File(files_).LoadNames())
        names_ = std::move(*names);
}

template <class Kind> void RecordAdmin<Kind>::WriteBack() {
    if (!edited_)
        return;
    // Another program (vexa2-admin) may have changed this account in the
    // working file since it was shown: only the fields edited here are
    // written over it.
    const std::string name = current_.Name.Get();
    if (auto stored = Kind::File(files_).Find(name))
        current_ = Kind::Merge(base_, current_, *stored, [&](const char* field) {
            return prompts_.Confirm(texts::kChangedElsewhereTitle,
                                    texts::ChangedElsewhere(name, field));
        });
    (void)Kind::File(files_).WriteBack(current_);
    base_ = current_;
    edited_ = false;
}

template <class Kind> void RecordAdmin<Kind>::ClearCurrent() {
    current_ = Record{};
    Shown();
}

template <class Kind> AdminResult RecordAdmin<Kind>::Select(const std::string& name) {
    WriteBack();
    auto record = Kind::File(files_).Find(name);
    if (!record)
        return AdminResult::Fail(Kind::kTexts.noSuchRecord);
    current_ = *record;
    Shown();
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::RequireCurrent() const {
    return current_.Name.Empty() ? AdminResult::Fail(Kind::kTexts.noSuchRecord) : AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::New(const std::string& name) {
    WriteBack();
    if (name.empty())
        return AdminResult::Fail(texts::kEmptyName);
    AdminResult result;
    if (record_admin::NameTaken(Kind::File(files_), name)) {
        result = AdminResult::Fail(texts::kNameMustBeUnique);
    } else if (!Kind::ConfirmNew(prompts_, name)) {
        // Answered No: refused with no text, there is nothing to tell.
        result = AdminResult::Fail({});
    } else {
        Record record{};
        record.Name.Set(name);
        record.Enabled = 0;
        if (Kind::File(files_).Append(record)) {
            current_ = record;
            Shown();
        } else {
            result = AdminResult::Fail(texts::kFileError);
        }
    }
    LoadNames();
    unsaved_ = true;
    return result;
}

template <class Kind> AdminResult RecordAdmin<Kind>::NewFromPrompt() {
    return record_admin::WithAskedName(prompts_, Kind::kTexts.newTitle, Kind::kTexts.newText,
                                       [this](const std::string& name) { return New(name); });
}

template <class Kind>
AdminResult RecordAdmin<Kind>::Clone(const std::string& source, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    if (record_admin::NameTaken(Kind::File(files_), newName))
        return AdminResult::Fail(texts::kNameAlreadyExists);
    auto record = Kind::File(files_).Find(source);
    if (!record)
        return AdminResult::Fail(Kind::kTexts.noSuchRecord);
    Record copy = *record;
    copy.Name.Set(newName);
    Kind::PrepareClone(copy);
    if (!Kind::File(files_).Append(copy))
        return AdminResult::Fail(texts::kFileError);
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::CloneFromPrompt(const std::string& source) {
    return record_admin::WithAskedName(
        prompts_, Kind::kTexts.cloneTitle, Kind::kTexts.cloneText,
        [&](const std::string& name) { return Clone(source, name); });
}

template <class Kind>
AdminResult RecordAdmin<Kind>::Rename(const std::string& oldName, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    // Two records of one name would leave the second unreachable: every
    // lookup, login included, takes the first.
    if (record_admin::StoredName(newName) != oldName &&
        record_admin::NameTaken(Kind::File(files_), newName))
        return AdminResult::Fail(texts::kNameAlreadyExists);
    if (!Kind::File(files_).RenameFirst(oldName, newName))
        return AdminResult::Fail(Kind::kTexts.noSuchRecord);
    LoadNames();
    if (current_.Name.Equals(oldName)) {
        current_.Name.Set(newName);
        base_.Name.Set(newName);
    }
    unsaved_ = true;
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::RenameFromPrompt(const std::string& oldName) {
    return record_admin::WithAskedName(
        prompts_, Kind::kTexts.renameTitle, Kind::kTexts.renameText,
        [&](const std::string& name) { return Rename(oldName, name); });
}

template <class Kind> AdminResult RecordAdmin<Kind>::Delete(const std::string& name) {
    WriteBack();
    if (!Kind::File(files_).Contains(name))
        return AdminResult::Fail(Kind::kTexts.noSuchRecord);
    if (!Kind::File(files_).DeleteByName(name))
        return AdminResult::Fail(texts::kFileError);
    if (current_.Name.Equals(name))
        ClearCurrent();
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

template <class Kind> void RecordAdmin<Kind>::SetHomeDirectory(const std::string& text) {
    current_.HomeDirectory.Set(text);
    MarkEdited();
}

template <class Kind> void RecordAdmin<Kind>::SetEnabled(bool on) {
    current_.Enabled = on ? 1 : 0;
    MarkEdited();
}

template <class Kind> AdminResult RecordAdmin<Kind>::AddAccess(const std::string& path) {
    if (auto r = RequireCurrent(); !r.ok)
        return r;
    if (path.empty())
        return AdminResult::Fail(texts::kNoSuchEntry);
    if (AddAccessEntry(current_.Access, path) == 0)
        return AdminResult::Fail(texts::kAccessListFull);
    MarkEdited();
    selectedEntry_ = 0;
    panelFromFirst_ = false;
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::RemoveAccess(int place) {
    if (!RemoveAccessEntry(current_.Access, place))
        return AdminResult::Fail(texts::kNoSuchEntry);
    // A removal is an edit like any other: without the mark it would be
    // dropped at exit, and a revoked right would quietly come back.
    MarkEdited();
    // The place now holds the next entry: the panel must not edit it
    // while it still shows the removed one's rights.
    selectedEntry_ = 0;
    panelFromFirst_ = false;
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::SetRight(int place, Right right, bool on) {
    if (place < 1 || place > kAccessEntries || !current_.Access[place - 1].Used())
        return AdminResult::Fail(texts::kNoSuchEntry);
    RightFlag(current_.Access[place - 1], right) = on ? 1 : 0;
    MarkEdited();
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::SelectEntry(int place) {
    if (place != 0 && (place < 1 || place > kAccessEntries || !current_.Access[place - 1].Used()))
        return AdminResult::Fail(texts::kNoSuchEntry);
    selectedEntry_ = place;
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::SetSelectedRight(Right right, bool on) {
    return SetRight(selectedEntry_, right, on);
}

template <class Kind> AccessEntry RecordAdmin<Kind>::PanelEntry() const {
    if (selectedEntry_ > 0)
        return current_.Access[selectedEntry_ - 1];
    if (panelFromFirst_ && current_.Access[0].Used())
        return current_.Access[0];
    return AccessEntry{};
}

template <class Kind> AdminResult RecordAdmin<Kind>::Save() {
    unsaved_ = false;
    WriteBack();
    if (!Kind::SaveFile(files_))
        return AdminResult::Fail(texts::kFileError);
    return AdminResult::Ok();
}

template <class Kind> AdminResult RecordAdmin<Kind>::Discard() {
    unsaved_ = false;
    (void)Kind::DiscardFile(files_);
    LoadNames();
    ClearCurrent();
    return AdminResult::Ok();
}

} // namespace accounts
