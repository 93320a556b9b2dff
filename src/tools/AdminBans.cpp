#include "tools/AdminBans.h"

#include "accounts/AccountTexts.h"
#include "accounts/BanFile.h"
#include "base/StoredFile.h"
#include "net/LoopClock.h"
#include "tools/AdminFailure.h"

#include <algorithm>

using namespace accounts;
using namespace admin_tool;

void RunBansCommand(const std::string& folder, const std::vector<std::string>& args,
                    std::ostream& out) {
    if (args.empty())
        Fail(admin_texts::kMissingArgument);
    std::vector<Ban> bans;
    if (const int error = ReadBanFile(folder, bans); error != 0)
        Fail(admin_texts::kBansUnreadable + stored_file::ErrorText(error));
    const std::int64_t now = LoopClock::System().WallMs();
    std::erase_if(bans, [now](const Ban& ban) { return ban.untilMs <= now; });
    const std::string& verb = args[0];
    if (verb == "list" && args.size() == 1) {
        for (const Ban& ban : bans)
            out << admin_texts::BanRow(ban.address, texts::Remaining((ban.untilMs - now) / 1000),
                                       ban.failures);
        return;
    }
    if (verb != "lift" || args.size() != 2)
        Fail(admin_texts::kUnknownCommand);
    const std::string& address = args[1];
    const auto found =
        std::find_if(bans.begin(), bans.end(), [&](const Ban& b) { return b.address == address; });
    if (found == bans.end())
        Fail(admin_texts::kNotBanned + address);
    bans.erase(found);
    if (const int error = WriteBanFile(folder, bans); error != 0)
        Fail(admin_texts::kBansNotSaved + stored_file::ErrorText(error));
}
