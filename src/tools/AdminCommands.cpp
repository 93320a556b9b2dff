#include "tools/AdminCommands.h"

#include "accounts/AccountAdmin.h"
#include "accounts/AccountTexts.h"
#include "accounts/FileCopy.h"
#include "accounts/ServerLists.h"
#include "app/DataFolder.h"
#include "app/KeyPairManagement.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "tools/AdminBans.h"
#include "tools/AdminFailure.h"
#include "tools/AdminSites.h"
#include "tools/AdminTexts.h"

#include <cstdlib>
#include <iostream>
#include <optional>

using namespace accounts;
using namespace admin_tool;

namespace {

// Answers every question from the --yes flag, and shows the question.
class FlagPrompts : public Prompts {
public:
    FlagPrompts(bool yes, std::ostream& err) : yes_(yes), err_(err) {}
    bool Confirm(const std::string&, const std::string& text) override {
        if (!yes_)
            err_ << text << "\n";
        asked = true;
        return yes_;
    }
    std::optional<std::string> AskText(const std::string&, const std::string&,
                                       const std::string&) override {
        return std::nullopt;
    }
    void Inform(const std::string&, const std::string& text) override { err_ << text << "\n"; }
    bool asked = false;

private:
    bool yes_;
    std::ostream& err_;
};

void Check(const AdminResult& r) {
    if (!r.ok)
        Fail(r.message.empty() ? admin_texts::kAnsweredNo : r.message);
}

class Args {
public:
    explicit Args(std::vector<std::string> a) : a_(std::move(a)) {}
    std::string Next() {
        if (i_ >= a_.size())
            Fail(admin_texts::kMissingArgument);
        return a_[i_++];
    }
    bool More() const { return i_ < a_.size(); }

private:
    std::vector<std::string> a_;
    std::size_t i_ = 0;
};

std::vector<Right> ParseRights(const std::string& text) {
    std::vector<Right> rights;
    if (text == "none" || text.empty())
        return rights;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string word =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        auto right = ParseRight(word);
        if (!right)
            Fail(admin_texts::kBadRights);
        rights.push_back(*right);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return rights;
}

int ParseRow(const std::string& text, std::size_t size) {
    char* end = nullptr;
    long row = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || row < 1 || row > static_cast<long>(size))
        Fail(admin_texts::kBadRow);
    return static_cast<int>(row);
}

// A 1-based place given as a number, or the entry's directory.
int EntryPlace(const AccessEntry (&access)[kAccessEntries], const std::string& text) {
    if (int place = FindAccessEntry(access, text))
        return place;
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && n >= 1 && n <= kAccessEntries && access[n - 1].Used())
        return static_cast<int>(n);
    Fail(texts::kNoSuchEntry);
}

void PrintAccess(std::ostream& out, const AccessEntry (&access)[kAccessEntries]) {
    for (int i = 0; i < kAccessEntries; ++i)
        if (access[i].Used())
            out << "access " << (i + 1) << ": " << access[i].Path.Get() << " "
                << RightsText(access[i]) << "\n";
}

template <class Admin> void AccessCommand(Admin& admin, Args& args) {
    const std::string verb = args.Next();
    const auto& access = admin.Current().Access;
    if (verb == "add") {
        const std::string dir = args.Next();
        auto rights = ParseRights(args.More() ? args.Next() : "none");
        Check(admin.AddAccess(dir));
        int place = 0;
        for (int i = 0; i < kAccessEntries; ++i)
            if (access[i].Used())
                place = i + 1;
        for (Right r : rights)
            Check(admin.SetRight(place, r, true));
    } else if (verb == "rights") {
        int place = EntryPlace(access, args.Next());
        auto rights = ParseRights(args.Next());
        for (Right r : kAllRights)
            Check(admin.SetRight(place, r, false));
        for (Right r : rights)
            Check(admin.SetRight(place, r, true));
    } else if (verb == "delete") {
        Check(admin.RemoveAccess(EntryPlace(access, args.Next())));
    } else {
        Fail(admin_texts::kUnknownCommand);
    }
}

void PrintNames(std::ostream& out, const std::vector<std::string>& names) {
    for (const auto& n : names)
        out << n << "\n";
}

struct Options {
    std::optional<std::string> dataDir;
    bool save = true;
    bool yes = false;
};

// What "show" prints of a user: every field but the secrets, which are only
// said to be set or not.
void PrintRecord(std::ostream& out, const UserRecord& u) {
    out << "name: " << u.Name.Get() << "\n"
        << "password: " << (u.Password.Empty() ? "(none)" : "(set)") << "\n"
        << "key: " << (u.EncryptionKey.Empty() ? "(none)" : "(set)") << "\n"
        << "home: " << u.HomeDirectory.Get() << "\n"
        << "superuser: " << (u.SuperUser ? "on" : "off") << "\n"
        << "enabled: " << (u.Enabled ? "on" : "off") << "\n";
    for (const auto& m : u.GroupMembership)
        if (!m.Empty())
            out << "group: " << m.Get() << "\n";
    PrintAccess(out, u.Access);
}

void PrintRecord(std::ostream& out, const GroupRecord& g) {
    out << "name: " << g.Name.Get() << "\n"
        << "home: " << g.HomeDirectory.Get() << "\n"
        << "enabled: " << (g.Enabled ? "on" : "off") << "\n";
    PrintAccess(out, g.Access);
}

// "set" fields only a user has; false when the field is none of them.
bool SetOwnField(UserAdmin& admin, const std::string& field, const std::string& value) {
    if (field == "password") {
        admin.SetPassword(value);
    } else if (field == "key") {
        admin.SetEncryptionKey(value);
    } else if (field == "superuser") {
        bool want = OnOff(value);
        if (admin.SetSuperUser(want) != want)
            Fail(admin_texts::kAnsweredNo);
    } else {
        return false;
    }
    return true;
}

bool SetOwnField(GroupAdmin&, const std::string&, const std::string&) {
    return false;
}

// Verbs only a user has ("member"); false when the verb is none of them.
bool OwnVerb(UserAdmin& admin, const std::string& verb, const std::string& name, Args& args) {
    if (verb != "member")
        return false;
    Check(admin.Select(name));
    const std::string how = args.Next();
    const std::string group = args.Next();
    if (how == "add")
        Check(admin.AddMembership(group));
    else if (how == "delete")
        Check(admin.RemoveMembership(group));
    else
        Fail(admin_texts::kUnknownCommand);
    return true;
}

bool OwnVerb(GroupAdmin&, const std::string&, const std::string&, Args&) {
    return false;
}

// The working file is where every change starts. When it is missing (the
// program deleted its temporary files at exit, or the folder was restored
// from the saved files) it is taken from the saved file, as the program's own
// start does; a damaged file is refused rather than saved with fewer records
// than it holds.
// A working file that holds fewer records than the saved one and was not
// changed after it (emptied, or cut on a record boundary by a crash or a full
// disk) is not a deliberate edit: saving would drop the missing accounts.
// Refused unless --yes confirms the shrink.
template <class Record>
void PrepareAccountFile(const RecordFile<Record>& working, const std::string& savedPath,
                        bool changing, bool saving, bool shrinkConfirmed) {
    if (!FileExists(working.Path()) && FileExists(savedPath) &&
        !CopyFile(savedPath, working.Path()))
        Fail(admin_texts::kCannotTakeSavedFile + working.Path());
    if (!changing)
        return;
    for (const std::string& path : {working.Path(), savedPath}) {
        const auto shape = RecordFile<Record>(path, {}).Inspect();
        if (shape.tailBytes != 0)
            Fail(admin_texts::DamagedAccountFile(path, shape.records, shape.tailBytes));
    }
    if (!saving || shrinkConfirmed)
        return;
    const auto workingShape = RecordFile<Record>(working.Path(), {}).Inspect();
    const auto savedShape = RecordFile<Record>(savedPath, {}).Inspect();
    if (workingShape.exists && workingShape.records < savedShape.records &&
        !IsNewer(working.Path(), savedPath))
        Fail(admin_texts::ShrinkRefused(working.Path(), workingShape.records, savedPath,
                                        savedShape.records));
}

// The verbs of "user" and "group": one handler over either administration,
// with the overloads above for what only one of them has.
template <class Admin>
void AccountCommand(Admin& admin, const Options& opt, Args& args, std::ostream& out) {
    admin.LoadNames();
    const std::string verb = args.Next();
    if (verb == "list") {
        PrintNames(out, admin.Names());
        return;
    }
    const std::string name = args.Next();
    if (verb == "show") {
        Check(admin.Select(name));
        PrintRecord(out, admin.Current());
        return;
    }
    if (verb == "add") {
        Check(admin.New(name));
    } else if (verb == "clone") {
        Check(admin.Clone(name, args.Next()));
    } else if (verb == "rename") {
        Check(admin.Rename(name, args.Next()));
    } else if (verb == "delete") {
        Check(admin.Delete(name));
    } else if (verb == "set") {
        Check(admin.Select(name));
        const std::string field = args.Next();
        const std::string value = args.Next();
        if (field == "home")
            admin.SetHomeDirectory(value);
        else if (field == "enabled")
            admin.SetEnabled(OnOff(value));
        else if (!SetOwnField(admin, field, value))
            Fail(admin_texts::kUnknownCommand);
    } else if (verb == "access") {
        Check(admin.Select(name));
        AccessCommand(admin, args);
    } else if (!OwnVerb(admin, verb, name, args)) {
        Fail(admin_texts::kUnknownCommand);
    }
    if (opt.save)
        Check(admin.Save());
    else
        admin.WriteBack();
}

void PrintPairs(std::ostream& out, const std::vector<ListPair>& pairs) {
    int row = 1;
    for (const auto& p : pairs)
        out << row++ << ": " << p.folder << " " << p.name << "\n";
}

void ListCommand(const std::string& folder, const std::string& which, Args& args,
                 std::ostream& out) {
    ServerLists lists;
    lists.Load(folder);
    const std::string verb = args.Next();
    if (verb == "list") {
        if (which == "ip") {
            int row = 1;
            for (const auto& e : lists.IpList)
                out << row++ << ": " << e << "\n";
        } else {
            PrintPairs(out, which == "vdir" ? lists.VirtMaps : lists.PermaLinks);
        }
        return;
    }
    // SECURITY: a running program writes the lists and settings at exit and
    // would silently undo this change; refuse while it holds the folder.
    DataFolderLock lock;
    if (!lock.Acquire(folder))
        Fail(admin_texts::kListsLocked + lock.Error());
    if (which == "ip" && verb == "mode") {
        const std::string mode = args.Next();
        if (mode != "allow" && mode != "deny")
            Fail(admin_texts::kUnknownCommand);
        Settings settings(folder);
        settings.SetSettingsPath(SettingsPathFor(folder, {}));
        settings.LoadSettingsFile();
        settings.SetBool(keys::Allow, mode == "allow");
        settings.SetBool(keys::Deny, mode == "deny");
        if (!settings.SaveSettings())
            Fail(admin_texts::kSettingsNotSaved + settings.LastSaveError());
        return;
    }
    if (verb == "add") {
        const std::string first = args.Next();
        if (which == "ip")
            Check(lists.AddIp(first));
        else if (which == "vdir")
            Check(lists.AddVirtMap(first, args.Next()));
        else
            Check(lists.AddPermaLink(first, args.Next()));
    } else if (verb == "delete") {
        const std::string rowText = args.Next();
        std::size_t size = which == "ip"     ? lists.IpList.size()
                           : which == "vdir" ? lists.VirtMaps.size()
                                             : lists.PermaLinks.size();
        int row = ParseRow(rowText, size) - 1;
        if (which == "ip")
            Check(lists.DeleteIp({row}));
        else if (which == "vdir")
            Check(lists.DeleteVirtMaps({row}));
        else
            Check(lists.DeletePermaLinks({row}));
    } else {
        Fail(admin_texts::kUnknownCommand);
    }
    const auto failures = lists.Save(folder);
    if (!failures.empty())
        Fail(failures.front());
}

void KeysCommand(const std::string& folder, Args& args, std::ostream& out) {
    const std::string verb = args.Next();
    TRSA rsa1;
    Settings settings(folder);
    settings.SetSettingsPath(SettingsPathFor(folder, {}));
    if (verb == "show") {
        settings.LoadSettings(rsa1);
        out << "RSA key bits (next generation): " << settings.GetString(keys::RSAKeyBits) << "\n"
            << "Key length (next generation): " << settings.GetString(keys::SymKeyLength) << "\n"
            << "Current key bits: " << settings.GetString(keys::CurrentKeyBits) << "\n"
            << "Current key length: " << settings.GetString(keys::CurrentKeyLength) << "\n"
            << "Command Port Encryption: " << settings.CommandPortEncryption() << "\n"
            << "Public key: " << settings.GetString(keys::PublicKey) << "\n";
        if (settings.StoredKeysInvalid())
            out << admin_texts::kStoredKeysInvalid << "\n";
        return;
    }
    // SECURITY: the running program writes the settings at exit and would
    // put its old key pair back; refuse while it holds the folder.
    DataFolderLock lock;
    if (!lock.Acquire(folder))
        Fail(admin_texts::kKeysLocked + lock.Error());
    settings.LoadSettings(rsa1);
    if (verb == "generate") {
        while (args.More()) {
            const std::string option = args.Next();
            const std::string value = args.Next();
            if (option == "--bits") {
                if (value == "512")
                    ChooseKeyBits(settings, rsa1, kb0512);
                else if (value == "1024")
                    ChooseKeyBits(settings, rsa1, kb1024);
                else if (value == "2048")
                    ChooseKeyBits(settings, rsa1, kb2048);
                else
                    Fail(admin_texts::kBadKeyBits);
            } else if (option == "--length") {
                if (value == "64")
                    ChooseSymKeyLength(settings, rsa1, sk64);
                else if (value == "128")
                    ChooseSymKeyLength(settings, rsa1, sk128);
                else if (value == "192")
                    ChooseSymKeyLength(settings, rsa1, sk192);
                else if (value == "256")
                    ChooseSymKeyLength(settings, rsa1, sk256);
                else
                    Fail(admin_texts::kBadKeyLength);
            } else {
                Fail(admin_texts::kUnknownCommand);
            }
        }
        std::string refused = GenerateKeyPair(settings, rsa1, KeyPairGuard{});
        if (!refused.empty())
            Fail(refused);
        out << "Generated a " << KeyBitsChoiceText(rsa1.KeyBits()) << " bit key pair.\n";
    } else if (verb == "clear") {
        std::string refused = ClearKeyPair(settings, rsa1, KeyPairGuard{});
        if (!refused.empty())
            Fail(refused);
    } else {
        Fail(admin_texts::kUnknownCommand);
    }
    if (!settings.SaveSettings())
        Fail(admin_texts::kSettingsNotSaved + settings.LastSaveError());
}

} // namespace

int RunAdminCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
    Options opt;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--help" || a == "-h") {
            out << admin_texts::kUsage;
            return 0;
        }
        if (a == "--data-dir") {
            if (i + 1 >= argv.size()) {
                err << "vexa2-admin: " << admin_texts::kMissingArgument << "\n";
                return 1;
            }
            opt.dataDir = argv[++i];
        } else if (a.rfind("--data-dir=", 0) == 0) {
            opt.dataDir = a.substr(11);
        } else if (a == "--no-save") {
            opt.save = false;
        } else if (a == "--yes") {
            opt.yes = true;
        } else {
            rest.push_back(a);
        }
    }
    try {
        if (rest.empty())
            Fail(admin_texts::kMissingArgument);
        DataFolderResult folder = ResolveDataFolder(opt.dataDir);
        if (folder.path.empty())
            Fail(folder.error);
        const std::string area = rest.front();
        if (area == "site") {
            RunSiteCommand(folder.path, {rest.begin() + 1, rest.end()}, out);
            return 0;
        }
        if (area == "bans") {
            RunBansCommand(folder.path, {rest.begin() + 1, rest.end()}, out);
            return 0;
        }
        Args args({rest.begin() + 1, rest.end()});
        FlagPrompts prompts(opt.yes, err);
        LogWriter log = [&err](int, const std::string& text, TColor) { err << text << "\n"; };
        AccountFiles files(folder.path, log);
        const bool changing = rest.size() > 1 && rest[1] != "list" && rest[1] != "show";
        if (area == "user")
            PrepareAccountFile(files.Users(), files.SavedUsersPath(), changing, opt.save, opt.yes);
        else if (area == "group")
            PrepareAccountFile(files.Groups(), files.SavedGroupsPath(), changing, opt.save,
                               opt.yes);
        if (area == "user") {
            // Warnings on: the superuser question is asked, and --yes answers it.
            UserAdmin admin(files, prompts, [] { return true; });
            AccountCommand(admin, opt, args, out);
        } else if (area == "group") {
            GroupAdmin admin(files, prompts);
            AccountCommand(admin, opt, args, out);
        } else if (area == "ip" || area == "vdir" || area == "link")
            ListCommand(folder.path, area, args, out);
        else if (area == "keys")
            KeysCommand(folder.path, args, out);
        else
            Fail(admin_texts::kUnknownCommand);
        if (args.More())
            Fail(admin_texts::kUnknownCommand);
    } catch (const Failure& f) {
        err << "vexa2-admin: " << f.reason << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "vexa2-admin: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
