#include "accounts/AccountAdmin.h"

#include "accounts/AccountTexts.h"
#include "accounts/RecordAdminImpl.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace accounts {

template class RecordAdmin<UserKind>;
template class RecordAdmin<GroupKind>;

namespace {

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Whether two stored values mean the same: texts by their significant
// characters, flags by being set.
template <std::size_t N> bool Same(const ShortText<N>& a, const ShortText<N>& b) {
    return a.Get() == b.Get();
}
bool Same(std::uint8_t a, std::uint8_t b) {
    return (a != 0) == (b != 0);
}
bool Same(const AccessEntry& a, const AccessEntry& b) {
    return Same(a.Path, b.Path) && Same(a.Read, b.Read) && Same(a.List, b.List) &&
           Same(a.Write, b.Write) && Same(a.Rename, b.Rename) && Same(a.Delete, b.Delete) &&
           Same(a.Inherit, b.Inherit) && Same(a.Create, b.Create);
}
template <class T, std::size_t N> bool Same(const T (&a)[N], const T (&b)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (!Same(a[i], b[i]))
            return false;
    return true;
}

// One field of a three-way merge into out (which starts as mine): a field
// not edited here takes the stored value; one edited only here keeps it;
// one edited on both sides to different values asks.
template <class Record, class Field>
void MergeField(Record& out, const Record& base, const Record& stored, Field Record::*member,
                const char* label, const KeepMine& keepMine) {
    const Field& mine = out.*member;
    const Field& theirs = stored.*member;
    const Field& old = base.*member;
    if (Same(theirs, old) || Same(mine, theirs))
        return;
    if (Same(mine, old) || !keepMine(label))
        std::memcpy(static_cast<void*>(&(out.*member)), &theirs, sizeof(Field));
}

} // namespace

UserRecord UserKind::Merge(const UserRecord& base, const UserRecord& mine, const UserRecord& stored,
                           const KeepMine& keepMine) {
    UserRecord out = mine;
    MergeField(out, base, stored, &UserRecord::Password, texts::kFieldPassword, keepMine);
    MergeField(out, base, stored, &UserRecord::EncryptionKey, texts::kFieldKey, keepMine);
    MergeField(out, base, stored, &UserRecord::HomeDirectory, texts::kFieldHome, keepMine);
    MergeField(out, base, stored, &UserRecord::Access, texts::kFieldAccess, keepMine);
    MergeField(out, base, stored, &UserRecord::GroupMembership, texts::kFieldGroups, keepMine);
    MergeField(out, base, stored, &UserRecord::SuperUser, texts::kFieldSuperUser, keepMine);
    MergeField(out, base, stored, &UserRecord::Enabled, texts::kFieldEnabled, keepMine);
    return out;
}

GroupRecord GroupKind::Merge(const GroupRecord& base, const GroupRecord& mine,
                             const GroupRecord& stored, const KeepMine& keepMine) {
    GroupRecord out = mine;
    MergeField(out, base, stored, &GroupRecord::HomeDirectory, texts::kFieldHome, keepMine);
    MergeField(out, base, stored, &GroupRecord::Access, texts::kFieldAccess, keepMine);
    MergeField(out, base, stored, &GroupRecord::Enabled, texts::kFieldEnabled, keepMine);
    return out;
}

// ---- users ----

const RecordTexts UserKind::kTexts{
    texts::kNoSuchUser,    texts::kNewUserTitle,    texts::kNewUserText,   texts::kCloneUserTitle,
    texts::kCloneUserText, texts::kRenameUserTitle, texts::kRenameUserText};

bool UserKind::ConfirmNew(Prompts& prompts, const std::string& name) {
    return Upper(name) != "ANONYMOUS" ||
           prompts.Confirm(texts::kNewUserTitle, texts::AnonymousQuestion(name));
}

void UserKind::PrepareClone(UserRecord& copy) {
    copy.Password.Set("");
    copy.EncryptionKey.Set("");
    copy.Enabled = 0;
}

UserAdmin::UserAdmin(const AccountFiles& files, Prompts& prompts,
                     std::function<bool()> showSuperUserWarnings)
    : RecordAdmin(files, prompts), warnings_(std::move(showSuperUserWarnings)) {}

void UserAdmin::SetPassword(const std::string& text) {
    current_.Password.Set(text);
    MarkEdited();
}

void UserAdmin::SetEncryptionKey(const std::string& text) {
    current_.EncryptionKey.Set(text);
    MarkEdited();
}

bool UserAdmin::SetSuperUser(bool on) {
    const bool was = current_.SuperUser != 0;
    current_.SuperUser = on ? 1 : 0;
    if (on && warnings_ && warnings_() &&
        !prompts_.Confirm(texts::kSuperUserTitle, texts::kSuperUserWarning))
        current_.SuperUser = 0;
    // Granted, with or without the question, or taken away: a change that
    // must be saved, or a revoked superuser would come back at the next start.
    if ((current_.SuperUser != 0) != was)
        MarkEdited();
    return current_.SuperUser != 0;
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
    if (std::find(names.begin(), names.end(), record_admin::StoredName(group)) != names.end())
        return AdminResult::Fail(texts::kAlreadyMember);
    if (names.size() >= static_cast<std::size_t>(kMemberships))
        return AdminResult::Fail(texts::kMembershipsFull);
    names.push_back(group);
    RebuildMemberships(names);
    MarkEdited();
    return AdminResult::Ok();
}

AdminResult UserAdmin::AddMemberships(const std::vector<std::string>& groups) {
    if (auto r = RequireCurrent(); !r.ok)
        return r;
    const auto have = Memberships();
    for (const auto& group : groups) {
        if (group.empty() ||
            std::find(have.begin(), have.end(), record_admin::StoredName(group)) != have.end())
            continue;
        if (auto r = AddMembership(group); !r.ok && r.message != texts::kAlreadyMember)
            return r;
    }
    return AdminResult::Ok();
}

AdminResult UserAdmin::RemoveMembership(const std::string& group) {
    auto names = Memberships();
    auto it = std::find(names.begin(), names.end(), group);
    if (it == names.end())
        return AdminResult::Fail(texts::kNoSuchGroup);
    names.erase(it);
    RebuildMemberships(names);
    MarkEdited(); // as for access entries: a removal must reach the saved file
    return AdminResult::Ok();
}

// ---- groups ----

const RecordTexts GroupKind::kTexts{texts::kNoSuchGroup,    texts::kNewGroupTitle,
                                    texts::kNewGroupText,   texts::kCloneGroupTitle,
                                    texts::kCloneGroupText, texts::kRenameGroupTitle,
                                    texts::kRenameGroupText};

GroupAdmin::GroupAdmin(const AccountFiles& files, Prompts& prompts) : RecordAdmin(files, prompts) {}

} // namespace accounts
