#include "accounts/AccountAdmin.h"

#include "accounts/AccountTexts.h"

#include <algorithm>
#include <cctype>

namespace accounts {

namespace {

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Names are stored cut to 40 characters; uniqueness is judged on what would
// be stored, so a long name cannot slip past the check and make a duplicate.
std::string StoredName(const std::string& name) { return name.substr(0, 40); }

template <class File>
bool NameTaken(const File& file, const std::string& name) {
    auto names = file.LoadNames();
    if (!names)
        return false;
    return std::find(names->begin(), names->end(), StoredName(name)) != names->end();
}

AdminResult AddEntry(AccessEntry (&access)[kAccessEntries], const std::string& path) {
    if (path.empty())
        return AdminResult::Fail(texts::kNoSuchEntry);
    if (AddAccessEntry(access, path) == 0)
        return AdminResult::Fail(texts::kAccessListFull);
    return AdminResult::Ok();
}

AdminResult SetEntryRight(AccessEntry (&access)[kAccessEntries], int place, Right right, bool on) {
    if (place < 1 || place > kAccessEntries || !access[place - 1].Used())
        return AdminResult::Fail(texts::kNoSuchEntry);
    RightFlag(access[place - 1], right) = on ? 1 : 0;
    return AdminResult::Ok();
}

} // namespace

// ---- users ----

UserAdmin::UserAdmin(const AccountFiles& files, Prompts& prompts, std::function<bool()> showSuperUserWarnings)
    : files_(files), prompts_(prompts), warnings_(std::move(showSuperUserWarnings)) {}

std::string UserAdmin::ShownName() const {
    return current_.Name.Empty() ? texts::kSelectPrompt : current_.Name.Get();
}

void UserAdmin::LoadNames() {
    if (auto names = files_.Users().LoadNames())
        names_ = std::move(*names);
}

void UserAdmin::WriteBack() { (void)files_.Users().WriteBack(current_); }

void UserAdmin::ClearCurrent() { current_ = UserRecord{}; }

AdminResult UserAdmin::Select(const std::string& name) {
    WriteBack();
    auto record = files_.Users().Find(name);
    if (!record)
        return AdminResult::Fail(texts::kNoSuchUser);
    current_ = *record;
    return AdminResult::Ok();
}

AdminResult UserAdmin::RequireCurrent() const {
    return current_.Name.Empty() ? AdminResult::Fail(texts::kNoSuchUser) : AdminResult::Ok();
}

AdminResult UserAdmin::New(const std::string& name) {
    WriteBack();
    if (name.empty())
        return AdminResult::Fail(texts::kEmptyName);
    AdminResult result;
    if (NameTaken(files_.Users(), name)) {
        result = AdminResult::Fail(texts::kNameMustBeUnique);
    } else if (Upper(name) == "ANONYMOUS" && !prompts_.Confirm(texts::kNewUserTitle, texts::AnonymousQuestion(name))) {
        result = AdminResult::Fail({});
    } else {
        UserRecord record{};
        record.Name.Set(name);
        record.Enabled = 0;
        if (!files_.Users().Append(record))
            result = AdminResult::Fail(texts::kFileError);
    }
    LoadNames();
    unsaved_ = true;
    return result;
}

AdminResult UserAdmin::NewFromPrompt() {
    auto name = prompts_.AskText(texts::kNewUserTitle, texts::kNewUserText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    AdminResult result = New(*name);
    if (!result.ok && !result.message.empty())
        prompts_.Inform(texts::kNewUserTitle, result.message);
    return result;
}

AdminResult UserAdmin::Clone(const std::string& source, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    if (NameTaken(files_.Users(), newName))
        return AdminResult::Fail(texts::kNameAlreadyExists);
    auto record = files_.Users().Find(source);
    if (!record)
        return AdminResult::Fail(texts::kNoSuchUser);
    UserRecord copy = *record;
    copy.Name.Set(newName);
    copy.Password.Set("");
    copy.EncryptionKey.Set("");
    copy.Enabled = 0;
    if (!files_.Users().Append(copy))
        return AdminResult::Fail(texts::kFileError);
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

AdminResult UserAdmin::CloneFromPrompt(const std::string& source) {
    auto name = prompts_.AskText(texts::kCloneUserTitle, texts::kCloneUserText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    AdminResult result = Clone(source, *name);
    if (!result.ok)
        prompts_.Inform(texts::kCloneUserTitle, result.message);
    return result;
}

AdminResult UserAdmin::Rename(const std::string& oldName, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    if (!files_.Users().RenameFirst(oldName, newName))
        return AdminResult::Fail(texts::kNoSuchUser);
    LoadNames();
    if (current_.Name.Equals(oldName))
        current_.Name.Set(newName);
    unsaved_ = true;
    return AdminResult::Ok();
}

AdminResult UserAdmin::RenameFromPrompt(const std::string& oldName) {
    auto name = prompts_.AskText(texts::kRenameUserTitle, texts::kRenameUserText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    return Rename(oldName, *name);
}

AdminResult UserAdmin::Delete(const std::string& name) {
    WriteBack();
    if (!files_.Users().Contains(name))
        return AdminResult::Fail(texts::kNoSuchUser);
    if (!files_.Users().DeleteByName(name))
        return AdminResult::Fail(texts::kFileError);
    if (current_.Name.Equals(name))
        ClearCurrent();
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

void UserAdmin::SetPassword(const std::string& text) {
    current_.Password.Set(text);
    unsaved_ = true;
}

void UserAdmin::SetEncryptionKey(const std::string& text) {
    current_.EncryptionKey.Set(text);
    unsaved_ = true;
}

void UserAdmin::SetHomeDirectory(const std::string& text) {
    current_.HomeDirectory.Set(text);
    unsaved_ = true;
}

bool UserAdmin::SetSuperUser(bool on) {
    current_.SuperUser = on ? 1 : 0;
    if (on && warnings_ && warnings_()) {
        if (prompts_.Confirm(texts::kNewUserTitle, texts::kSuperUserWarning))
            unsaved_ = true;
        else
            current_.SuperUser = 0;
    } else if (on) {
        // Granted without the question: still a change that must be saved.
        unsaved_ = true;
    }
    return current_.SuperUser != 0;
}

void UserAdmin::SetEnabled(bool on) {
    current_.Enabled = on ? 1 : 0;
    unsaved_ = true;
}

AdminResult UserAdmin::AddAccess(const std::string& path) {
    if (auto r = RequireCurrent(); !r.ok)
        return r;
    AdminResult result = AddEntry(current_.Access, path);
    if (result.ok)
        unsaved_ = true;
    return result;
}

AdminResult UserAdmin::RemoveAccess(int place) {
    if (!RemoveAccessEntry(current_.Access, place))
        return AdminResult::Fail(texts::kNoSuchEntry);
    return AdminResult::Ok();
}

AdminResult UserAdmin::SetRight(int place, Right right, bool on) {
    AdminResult result = SetEntryRight(current_.Access, place, right, on);
    if (result.ok)
        unsaved_ = true;
    return result;
}

std::vector<std::string> UserAdmin::Memberships() const {
    std::vector<std::string> names;
    for (const auto& m : current_.GroupMembership)
        if (!m.Empty())
            names.push_back(m.Get());
    return names;
}

void UserAdmin::RebuildMemberships(const std::vector<std::string>& names) {
    for (auto& m : current_.GroupMembership)
        m.Clear();
    for (std::size_t i = 0; i < names.size() && i < static_cast<std::size_t>(kMemberships); ++i)
        current_.GroupMembership[i].Set(names[i]);
}

AdminResult UserAdmin::AddMembership(const std::string& group) {
    if (auto r = RequireCurrent(); !r.ok)
        return r;
    if (group.empty())
        return AdminResult::Fail(texts::kNoSuchGroup);
    auto names = Memberships();
    if (std::find(names.begin(), names.end(), StoredName(group)) != names.end())
        return AdminResult::Fail(texts::kAlreadyMember);
    if (names.size() >= static_cast<std::size_t>(kMemberships))
        return AdminResult::Fail(texts::kMembershipsFull);
    names.push_back(group);
    RebuildMemberships(names);
    unsaved_ = true;
    return AdminResult::Ok();
}

AdminResult UserAdmin::RemoveMembership(const std::string& group) {
    auto names = Memberships();
    auto it = std::find(names.begin(), names.end(), group);
    if (it == names.end())
        return AdminResult::Fail(texts::kNoSuchGroup);
    names.erase(it);
    RebuildMemberships(names);
    return AdminResult::Ok();
}

AdminResult UserAdmin::Save() {
    unsaved_ = false;
    WriteBack();
    if (!files_.SaveUsers())
        return AdminResult::Fail(texts::kFileError);
    return AdminResult::Ok();
}

AdminResult UserAdmin::Discard() {
    unsaved_ = false;
    (void)files_.DiscardUsers();
    LoadNames();
    ClearCurrent();
    return AdminResult::Ok();
}

// ---- groups ----

GroupAdmin::GroupAdmin(const AccountFiles& files, Prompts& prompts) : files_(files), prompts_(prompts) {}

std::string GroupAdmin::ShownName() const {
    return current_.Name.Empty() ? texts::kSelectPrompt : current_.Name.Get();
}

void GroupAdmin::LoadNames() {
    if (auto names = files_.Groups().LoadNames())
        names_ = std::move(*names);
}

void GroupAdmin::WriteBack() { (void)files_.Groups().WriteBack(current_); }

void GroupAdmin::ClearCurrent() { current_ = GroupRecord{}; }

AdminResult GroupAdmin::Select(const std::string& name) {
    WriteBack();
    auto record = files_.Groups().Find(name);
    if (!record)
        return AdminResult::Fail(texts::kNoSuchGroup);
    current_ = *record;
    return AdminResult::Ok();
}

AdminResult GroupAdmin::RequireCurrent() const {
    return current_.Name.Empty() ? AdminResult::Fail(texts::kNoSuchGroup) : AdminResult::Ok();
}

AdminResult GroupAdmin::New(const std::string& name) {
    WriteBack();
    if (name.empty())
        return AdminResult::Fail(texts::kEmptyName);
    AdminResult result;
    if (NameTaken(files_.Groups(), name)) {
        result = AdminResult::Fail(texts::kNameMustBeUnique);
    } else {
        GroupRecord record{};
        record.Name.Set(name);
        record.Enabled = 0;
        if (!files_.Groups().Append(record))
            result = AdminResult::Fail(texts::kFileError);
    }
    LoadNames();
    unsaved_ = true;
    return result;
}

AdminResult GroupAdmin::NewFromPrompt() {
    auto name = prompts_.AskText(texts::kNewGroupTitle, texts::kNewGroupText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    AdminResult result = New(*name);
    if (!result.ok)
        prompts_.Inform(texts::kNewGroupTitle, result.message);
    return result;
}

AdminResult GroupAdmin::Clone(const std::string& source, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    if (NameTaken(files_.Groups(), newName))
        return AdminResult::Fail(texts::kNameAlreadyExists);
    auto record = files_.Groups().Find(source);
    if (!record)
        return AdminResult::Fail(texts::kNoSuchGroup);
    GroupRecord copy = *record;
    copy.Name.Set(newName);
    if (!files_.Groups().Append(copy))
        return AdminResult::Fail(texts::kFileError);
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

AdminResult GroupAdmin::CloneFromPrompt(const std::string& source) {
    auto name = prompts_.AskText(texts::kCloneGroupTitle, texts::kCloneGroupText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    AdminResult result = Clone(source, *name);
    if (!result.ok)
        prompts_.Inform(texts::kCloneGroupTitle, result.message);
    return result;
}

AdminResult GroupAdmin::Rename(const std::string& oldName, const std::string& newName) {
    WriteBack();
    if (newName.empty())
        return AdminResult::Fail(texts::kEmptyName);
    if (!files_.Groups().RenameFirst(oldName, newName))
        return AdminResult::Fail(texts::kNoSuchGroup);
    LoadNames();
    if (current_.Name.Equals(oldName))
        current_.Name.Set(newName);
    unsaved_ = true;
    return AdminResult::Ok();
}

AdminResult GroupAdmin::RenameFromPrompt(const std::string& oldName) {
    auto name = prompts_.AskText(texts::kRenameGroupTitle, texts::kRenameGroupText, {});
    if (!name || name->empty())
        return AdminResult::Ok();
    return Rename(oldName, *name);
}

AdminResult GroupAdmin::Delete(const std::string& name) {
    WriteBack();
    if (!files_.Groups().Contains(name))
        return AdminResult::Fail(texts::kNoSuchGroup);
    if (!files_.Groups().DeleteByName(name))
        return AdminResult::Fail(texts::kFileError);
    if (current_.Name.Equals(name))
        ClearCurrent();
    LoadNames();
    unsaved_ = true;
    return AdminResult::Ok();
}

void GroupAdmin::SetHomeDirectory(const std::string& text) {
    current_.HomeDirectory.Set(text);
    unsaved_ = true;
}

void GroupAdmin::SetEnabled(bool on) {
    current_.Enabled = on ? 1 : 0;
    unsaved_ = true;
}

AdminResult GroupAdmin::AddAccess(const std::string& path) {
    if (auto r = RequireCurrent(); !r.ok)
        return r;
    AdminResult result = AddEntry(current_.Access, path);
    if (result.ok)
        unsaved_ = true;
    return result;
}

AdminResult GroupAdmin::RemoveAccess(int place) {
    if (!RemoveAccessEntry(current_.Access, place))
        return AdminResult::Fail(texts::kNoSuchEntry);
    return AdminResult::Ok();
}

AdminResult GroupAdmin::SetRight(int place, Right right, bool on) {
    AdminResult result = SetEntryRight(current_.Access, place, right, on);
    if (result.ok)
        unsaved_ = true;
    return result;
}

AdminResult GroupAdmin::Save() {
    unsaved_ = false;
    WriteBack();
    if (!files_.SaveGroups())
        return AdminResult::Fail(texts::kFileError);
    return AdminResult::Ok();
}

AdminResult GroupAdmin::Discard() {
    unsaved_ = false;
    (void)files_.DiscardGroups();
    LoadNames();
    ClearCurrent();
    return AdminResult::Ok();
}

} // namespace accounts
