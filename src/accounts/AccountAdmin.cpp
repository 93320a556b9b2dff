#include "accounts/AccountAdmin.h"

#include "accounts/AccountTexts.h"
#include "accounts/RecordAdminImpl.h"

#include <algorithm>
#include <cctype>

namespace accounts {

template class RecordAdmin<UserKind>;
template class RecordAdmin<GroupKind>;

namespace {

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

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
    unsaved_ = true;
}

void UserAdmin::SetEncryptionKey(const std::string& text) {
    current_.EncryptionKey.Set(text);
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
    unsaved_ = true; // as for access entries: a removal must reach the saved file
    return AdminResult::Ok();
}

// ---- groups ----

const RecordTexts GroupKind::kTexts{texts::kNoSuchGroup,    texts::kNewGroupTitle,
                                    texts::kNewGroupText,   texts::kCloneGroupTitle,
                                    texts::kCloneGroupText, texts::kRenameGroupTitle,
                                    texts::kRenameGroupText};

GroupAdmin::GroupAdmin(const AccountFiles& files, Prompts& prompts) : RecordAdmin(files, prompts) {}

} // namespace accounts
