#include "accounts/Validation.h"

#include "accounts/AccountTexts.h"
#include "accounts/PathRights.h"
#include "ftpserver/MachineFacts.h"

#include <sys/stat.h>

#include <algorithm>

namespace accounts {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The folder whose rights govern a command on a file's contents: the folder
// of the fully resolved path.
std::string ContentFolder(const std::string& path) {
    return DirectoryPart(CanonicalPath(path));
}

// The folder whose rights govern a command on a directory entry itself.
std::string EntryFolder(const std::string& path) {
    return EntryLocation(path).first;
}

bool SameFolder(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() &&
           NormalizePath(CanonicalPath(a)) == NormalizePath(CanonicalPath(b));
}

// The canonical folders (ending in "/") a way leads to: every granted
// directory and every virtual folder.
std::vector<std::string> WayTargets(const LoginSlot& slot,
                                    const std::vector<std::string>& virtualFolders) {
    std::vector<std::string> targets;
    for (const auto& entry : slot.Access)
        if (entry.Used())
            targets.push_back(NormalizePath(CanonicalPath(entry.Path.Get())));
    for (const auto& folder : virtualFolders)
        if (!folder.empty())
            targets.push_back(NormalizePath(CanonicalPath(folder)));
    return targets;
}

void Record(LoginSlot& slot, const char* action, const std::string& path, bool allowed,
            Verdict& verdict) {
    slot.Action = action;
    slot.Location = path;
    slot.Result = allowed ? texts::kSuccess : texts::kDenied;
    verdict.recorded = true;
}

} // namespace

Verdict Validate(LoginSlot& slot, Operation op, const std::string& path, bool encryptedOnlyClients,
                 bool encryptionActive, const TraverseScope& scope) {
    Verdict v;
    const bool gate = EncryptedOnlyGate(encryptedOnlyClients, encryptionActive);
    auto closeWith = [&](const char* reply) {
        v.allowed = false;
        v.closeConnection = true;
        v.gateReply = reply;
        return v;
    };
    bool allowed = slot.SuperUser;
    switch (op) {
    case Operation::Get: {
        // SECURITY: only the key-file pseudo-name itself (which the engine
        // answers with a key file, never with a file of that name) skips the
        // rights check and the gate; another path merely containing it does not.
        const std::size_t slash = path.rfind('/');
        const bool keyFile = slash != std::string::npos &&
                             path.compare(slash + 1, std::string::npos, texts::kKeyFileName) == 0;
        if (!keyFile && gate)
            return closeWith(texts::kEncryptedOnlyReply);
        if (keyFile)
            allowed = true;
        if (RightsCheck(slot.Access, ContentFolder(path), {Right::Read}))
            allowed = true;
        Record(slot, texts::kActionGet, path, allowed, v);
        break;
    }
    case Operation::Put:
        if (slot.SuperUser) {
            v.allowed = true;
            return v;
        }
        if (gate)
            return closeWith(texts::kEncryptedOnlyText);
        // SECURITY: an upload never writes through a symbolic link, even a
        // dangling one; the folder judged is the entry's canonical parent.
        allowed = !IsLink(path) && RightsCheck(slot.Access, EntryFolder(path), {Right::Write});
        Record(slot, texts::kActionPut, path, allowed, v);
        break;
    case Operation::Dele:
        if (gate)
            return closeWith(texts::kEncryptedOnlyText);
        if (RightsCheck(slot.Access, EntryFolder(path), {Right::Delete}))
            allowed = true;
        Record(slot, texts::kActionDele, path, allowed, v);
        break;
    case Operation::RnFr:
    case Operation::RnTo:
        if (gate)
            return closeWith(texts::kEncryptedOnlyReply);
        if (RightsCheck(slot.Access, EntryFolder(path), {Right::Rename}))
            allowed = true;
        Record(slot, op == Operation::RnFr ? texts::kActionRnFr : texts::kActionRnTo, path, allowed,
               v);
        break;
    case Operation::Cwd:
        if (gate)
            return closeWith(texts::kEncryptedOnlyReply);
        if (!IsDirectory(path))
            return v; // refused without a record, superuser too
        if (RightsCheck(slot.Access, path, {Right::List}))
            allowed = true;
        // SECURITY: passing through grants nothing: these folders list only
        // the way to the grants, and every file command there is judged as
        // anywhere else.
        if (SameFolder(path, scope.current) || SameFolder(path, scope.home) ||
            IsWayFolder(slot, path, scope.virtualFolders))
            allowed = true;
        Record(slot, texts::kActionCwd, path, allowed, v);
        break;
    case Operation::Mkd: {
        if (gate)
            return closeWith(texts::kEncryptedOnlyReply);
        auto [parent, name] = EntryLocation(path);
        if (RightsCheck(slot.Access, parent + name, {Right::Create, Right::Write}))
            allowed = true;
        Record(slot, texts::kActionMkd, path, allowed, v);
        break;
    }
    case Operation::Time:
        // MFMT changes the file: the upload's Write rule on the entry.
        if (gate)
            return closeWith(texts::kEncryptedOnlyText);
        if (RightsCheck(slot.Access, EntryFolder(path), {Right::Write}))
            allowed = true;
        Record(slot, texts::kActionTime, path, allowed, v);
        break;
    case Operation::Size:
        // SIZE and MDTM: the download's Read rule, without the gate and
        // without a record.
        if (RightsCheck(slot.Access, ContentFolder(path), {Right::Read}))
            allowed = true;
        break;
    }
    v.allowed = allowed;
    return v;
}

bool IsWayFolder(const LoginSlot& slot, const std::string& folder,
                 const std::vector<std::string>& virtualFolders) {
    const std::string n = NormalizePath(CanonicalPath(folder));
    if (n == "/")
        return true;
    for (const auto& target : WayTargets(slot, virtualFolders))
        if (target.size() > n.size() && target.compare(0, n.size(), n) == 0)
            return true;
    return false;
}

std::vector<std::string> WayNames(const LoginSlot& slot, const std::string& folder,
                                  const std::vector<std::string>& virtualFolders) {
    const std::string n = NormalizePath(CanonicalPath(folder));
    std::vector<std::string> names;
    for (const auto& target : WayTargets(slot, virtualFolders)) {
        if (target.size() <= n.size() || target.compare(0, n.size(), n) != 0)
            continue;
        const std::string child = target.substr(n.size(), target.find('/', n.size()) - n.size());
        if (std::find(names.begin(), names.end(), child) == names.end())
            names.push_back(child);
    }
    return names;
}

ListingDecision DecideListing(const LoginSlot& slot, const std::string& listedPath,
                              const TraverseScope& scope) {
    ListingDecision d;
    if (slot.SuperUser) {
        d.kind = ListingKind::Full;
        return d;
    }
    const std::string target = CanonicalPath(listedPath);
    const bool isDir = IsDirectory(target);
    const std::string folder = isDir ? target : DirectoryPart(target);
    if (RightsCheck(slot.Access, folder, {Right::List})) {
        d.kind = ListingKind::Full;
        return d;
    }
    // SECURITY: a folder passed through shows only the way to the grants; a
    // named entry in it is not listed at all.
    const bool way =
        IsWayFolder(slot, folder, scope.virtualFolders) && !SameFolder(folder, scope.home);
    if (way) {
        if (isDir) {
            d.kind = ListingKind::WayOnly;
            d.wayNames = WayNames(slot, folder, scope.virtualFolders);
        }
        return d;
    }
    if (SameFolder(folder, scope.current))
        d.kind = ListingKind::Full;
    return d;
}

unsigned FolderRightsOf(const LoginSlot& slot, const std::string& folder,
                        const TraverseScope& scope) {
    if (slot.SuperUser)
        return kAllFolderRights;
    const auto has = [&](std::initializer_list<Right> rights) {
        return RightsCheck(slot.Access, folder, rights);
    };
    unsigned r = 0;
    if (has({Right::Read}))
        r |= frRead;
    if (has({Right::Write}))
        r |= frWrite;
    if (has({Right::Delete}))
        r |= frDelete;
    if (has({Right::Rename}))
        r |= frRename;
    // A new folder inside is judged below this one: Inherit is needed.
    if (has({Right::Create, Right::Write, Right::Inherit}))
        r |= frMakeDir;
    if (DecideListing(slot, folder, scope).kind != ListingKind::Refused)
        r |= frList;
    if (IsDirectory(folder) &&
        (has({Right::List}) || SameFolder(folder, scope.current) ||
         SameFolder(folder, scope.home) || IsWayFolder(slot, folder, scope.virtualFolders)))
        r |= frEnter;
    return r;
}

} // namespace accounts
