#include "accounts/Login.h"
#include "net/SocketAddress.h"

#include "accounts/AccountTexts.h"
#include "accounts/MessageFile.h"
#include "base/PathText.h"

#include <cctype>
#include <random>

namespace accounts {

namespace {

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

int DefaultRandomBelow(int n) {
    static std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, n - 1)(engine);
}

void Log(const LogWriter& log, int level, const std::string& text, TColor colour) {
    if (log)
        log(level, text, colour);
}

void AppendEntries(std::vector<AccessEntry>& slotAccess,
                   const AccessEntry (&access)[kAccessEntries]) {
    for (const auto& entry : access)
        if (entry.Used() && slotAccess.size() < static_cast<std::size_t>(kSlotAccessEntries))
            slotAccess.push_back(entry);
}

} // namespace

LoginOutcome Authenticate(const AccountFiles& files, LoginTable& table, const LoginRequest& request,
                          const LogWriter& log, const std::function<int(int)>& randomBelow) {
    LoginOutcome outcome;
    auto users = files.Users().ReadAll();
    if (!users)
        return outcome; // no working user file: every login fails, silently
    const UserRecord* user = nullptr;
    for (const auto& r : *users) {
        if (r.Name.Equals(request.userName)) {
            user = &r;
            break;
        }
    }
    const bool anonymous = Upper(request.userName) == "ANONYMOUS";
    const std::string stored = user ? user->Password.Get() : std::string();
    const std::string given = request.password;
    if (!user || (!anonymous && stored != given)) {
        Log(log, logServer, texts::kInvalidAuthentication, colours::clRed);
        return outcome;
    }

    // The table has 128 places; a login beyond them is refused rather than
    // waiting for a free one.
    std::vector<int> free;
    for (int n = 1; n <= kLoginSlots; ++n)
        if (!table[n].InUse)
            free.push_back(n);
    if (free.empty()) {
        Log(log, logServer, texts::SlotsFull(request.userName), colours::clRed);
        return outcome;
    }
    const auto& pick = randomBelow ? randomBelow : DefaultRandomBelow;
    int number = free[static_cast<std::size_t>(pick(static_cast<int>(free.size())))];

    LoginSlot& slot = table[number];
    slot = LoginSlot{};
    slot.InUse = true;
    slot.SuperUser = user->SuperUser != 0;
    outcome.encryptionKey = user->EncryptionKey.Get();

    const std::string name = user->Name.Get();
    if (slot.SuperUser && request.showSuperUserWarnings)
        Log(log, logBoth, (name + texts::kSuperUserLoggedIn).substr(0, texts::kSuperUserLineLimit),
            colours::clRed);

    AppendEntries(slot.Access, user->Access);
    std::string home = user->HomeDirectory.Get();
    int groupsFound = 0, groupsEnabled = 0;
    for (const auto& membership : user->GroupMembership) {
        if (membership.Empty())
            continue;
        auto group = files.Groups().Find(membership.Get());
        if (!group)
            continue; // a deleted group contributes nothing
        ++groupsFound;
        groupsEnabled += group->Enabled ? 1 : 0;
        if (home.empty())
            home = group->HomeDirectory.Get();
        AppendEntries(slot.Access, group->Access);
    }
    if (home.empty())
        home = request.defaultHomeDirectory;

    // Disabled accounts and groups still log in (stored files rely on it),
    // but the administrator is told.
    if (!user->Enabled)
        Log(log, logServer, texts::DisabledAccountLogin(name), colours::clRed);
    if (groupsFound > 0 && groupsEnabled == 0)
        Log(log, logServer, texts::DisabledGroupsLogin(name), colours::clRed);

    outcome.homeDir = request.currentHome;
    if (!home.empty()) {
        outcome.homeDir = WithTrailingSlash(home);
    }

    slot.Id = request.socketId;
    slot.UserName = request.userName.substr(0, 40);
    slot.Address = HostPortText(request.peerAddress, std::to_string(request.peerPort));
    slot.Action = texts::kAuthenticated;
    slot.Location = outcome.homeDir;

    outcome.authenticated = true;
    outcome.slotNumber = number;
    outcome.replyLines = MessageLines(request.loginMessage, texts::kLoginPrefix);
    return outcome;
}

} // namespace accounts
