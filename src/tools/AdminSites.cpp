#include "tools/AdminSites.h"

#include "base/PortText.h"
#include "client/SiteStore.h"
#include "tools/AdminFailure.h"
#include "tools/AdminTexts.h"

#include <algorithm>
#include <iterator>

using namespace admin_tool;

namespace {

// Answers the store's name question with the name from the command line and
// keeps the store's first message as the reason of a failure. A name that is
// not unique is refused, never asked for again.
class NamePrompts : public Prompts {
public:
    explicit NamePrompts(std::string name) : name_(std::move(name)) {}
    bool Confirm(const std::string&, const std::string& text) override {
        Note(text);
        return false;
    }
    std::optional<std::string> AskText(const std::string&, const std::string&,
                                       const std::string&) override {
        return name_;
    }
    void Inform(const std::string&, const std::string& text) override { Note(text); }
    const std::string& Message() const { return message_; }

private:
    void Note(const std::string& text) {
        if (message_.empty())
            message_ = text;
    }
    std::string name_;
    std::string message_;
};

// The text fields a command line may set, with the store's capacities.
struct TextField {
    const char* name;
    std::string SiteRecord::*member;
    std::size_t capacity;
    bool secret; // shown only as set or not
    bool port;   // empty or a port number
};
const TextField kTextFields[] = {
    {"host", &SiteRecord::Host, site_layout::kHost.capacity, false, false},
    {"port", &SiteRecord::Port, site_layout::kPort.capacity, false, true},
    {"user", &SiteRecord::UserName, site_layout::kUserName.capacity, false, false},
    {"password", &SiteRecord::Password, site_layout::kPassword.capacity, true, false},
    {"key", &SiteRecord::EncryptionKey, site_layout::kEncryptionKey.capacity, true, false},
    {"socks-server", &SiteRecord::SocksServer, site_layout::kSocksServer.capacity, false, false},
    {"socks-port", &SiteRecord::SocksPort, site_layout::kSocksPort.capacity, false, true},
    {"socks-user", &SiteRecord::SocksUsername, site_layout::kSocksUsername.capacity, false, false},
    {"socks-password", &SiteRecord::SocksPassword, site_layout::kSocksPassword.capacity, true,
     false},
};

struct FlagField {
    const char* name;
    bool SiteRecord::*member;
};
const FlagField kFlagFields[] = {
    {"mandatory", &SiteRecord::EncryptionMandatory},
    {"passive", &SiteRecord::Passive},
    {"no-socks", &SiteRecord::NoSocks},
    {"no-rsa", &SiteRecord::NoRSA},
};

// Login types by their stored number (0: none chosen yet).
const char* const kLoginTypes[] = {"none", "normal", "anonymous", "encrypted"};

// An anonymous login sends "anonymous" and, unless the password already is
// an address (an "@" after its first character), a placeholder address.
void MakeAnonymous(SiteRecord& site) {
    site.UserName = admin_texts::kAnonymousUser;
    if (site.Password.find('@', 1) == std::string::npos)
        site.Password = admin_texts::kAnonymousPassword;
}

// Applies FIELD VALUE pairs in order. Every value is checked here, before
// anything is written: a text longer than its field is refused rather than
// cut, so a stored password is never silently a different one.
void ApplyFields(SiteRecord& site, const std::vector<std::string>& words) {
    if (words.size() % 2 != 0)
        Fail(admin_texts::kMissingArgument);
    for (std::size_t i = 0; i < words.size(); i += 2) {
        const std::string& field = words[i];
        const std::string& value = words[i + 1];
        auto text = std::find_if(std::begin(kTextFields), std::end(kTextFields),
                                 [&](const TextField& f) { return field == f.name; });
        auto flag = std::find_if(std::begin(kFlagFields), std::end(kFlagFields),
                                 [&](const FlagField& f) { return field == f.name; });
        if (text != std::end(kTextFields)) {
            if (value.size() > text->capacity)
                Fail(admin_texts::FieldTooLong(field, text->capacity));
            if (text->port && !value.empty() && !IsPortNumber(value))
                Fail(admin_texts::kBadSitePort);
            site.*(text->member) = value;
        } else if (flag != std::end(kFlagFields)) {
            site.*(flag->member) = OnOff(value);
        } else if (field == "login") {
            auto type = std::find(std::begin(kLoginTypes) + 1, std::end(kLoginTypes), value);
            if (type == std::end(kLoginTypes))
                Fail(admin_texts::kBadLoginType);
            site.LoginType = static_cast<std::int32_t>(type - std::begin(kLoginTypes));
            if (site.LoginType == 2)
                MakeAnonymous(site);
        } else {
            Fail(admin_texts::kUnknownSiteField);
        }
    }
}

void PrintSite(std::ostream& out, const SiteRecord& site) {
    const bool knownType = site.LoginType >= 0 && site.LoginType <= 3;
    out << "name: " << site.Name << "\n"
        << "login: " << (knownType ? kLoginTypes[site.LoginType] : "unknown") << "\n";
    for (const TextField& f : kTextFields) {
        const std::string& value = site.*(f.member);
        out << f.name << ": ";
        if (f.secret)
            out << (value.empty() ? "(none)" : "(set)") << "\n";
        else
            out << value << "\n";
    }
    for (const FlagField& f : kFlagFields)
        out << f.name << ": " << (site.*(f.member) ? "on" : "off") << "\n";
}

// Loads the store as the site manager does (an old layout is converted, a
// missing store created) and turns its error box into a failure.
void Load(SiteStore& store, const NamePrompts& prompts) {
    store.Load();
    if (!prompts.Message().empty())
        Fail(prompts.Message());
}

SiteRecord Stored(const SiteStore& store, const std::string& name) {
    std::optional<SiteRecord> found = store.Find(name);
    if (!found)
        Fail(admin_texts::kNoSuchSite + name);
    return *found;
}

} // namespace

void RunSiteCommand(const std::string& folder, const std::vector<std::string>& args,
                    std::ostream& out) {
    if (args.empty())
        Fail(admin_texts::kMissingArgument);
    const std::string& verb = args[0];
    if (verb == "list") {
        if (args.size() != 1)
            Fail(admin_texts::kUnknownCommand);
        NamePrompts prompts("");
        SiteStore store(folder, prompts);
        store.Load();
        for (const auto& name : store.Names())
            out << name << "\n";
        // A damaged store still lists what it holds, and says so.
        if (!prompts.Message().empty())
            Fail(prompts.Message());
        return;
    }
    if (args.size() < 2)
        Fail(admin_texts::kMissingArgument);
    const std::string& name = args[1];
    const std::vector<std::string> fields(args.begin() + 2, args.end());
    NamePrompts prompts(name);
    SiteStore store(folder, prompts);
    Load(store, prompts);
    if (verb == "show" || verb == "delete") {
        if (!fields.empty())
            Fail(admin_texts::kUnknownCommand);
        const SiteRecord site = Stored(store, name);
        if (verb == "show") {
            PrintSite(out, site);
            return;
        }
        store.Delete(name, nullptr);
    } else if (verb == "add") {
        if (name.empty())
            Fail(admin_texts::kSiteNameNeeded);
        if (name.size() > site_layout::kName.capacity)
            Fail(admin_texts::FieldTooLong("name", site_layout::kName.capacity));
        SiteRecord site = NewSite();
        site.Name = name;
        ApplyFields(site, fields);
        if (!store.Add(site))
            Fail(prompts.Message().empty() ? admin_texts::kSiteNotWritten : prompts.Message());
    } else if (verb == "set") {
        if (fields.empty())
            Fail(admin_texts::kMissingArgument);
        SiteRecord site = Stored(store, name);
        ApplyFields(site, fields);
        if (!store.SaveDetails(site))
            Fail(prompts.Message().empty() ? admin_texts::kSiteNotWritten : prompts.Message());
    } else {
        Fail(admin_texts::kUnknownCommand);
    }
    if (!prompts.Message().empty())
        Fail(prompts.Message());
}
