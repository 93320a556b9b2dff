#include "accounts/BanFile.h"

#include "base/ControlBytes.h"
#include "base/StoredFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <sstream>

namespace accounts {

std::string FormatBans(const std::vector<Ban>& bans) {
    std::string text;
    for (const Ban& ban : bans)
        text += ban.address + " " + std::to_string(ban.untilMs) + " " +
                std::to_string(ban.failures) + "\n";
    return text;
}

std::vector<Ban> ParseBans(const std::string& text) {
    std::vector<Ban> bans;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Ban ban;
        std::string rest;
        if (!(fields >> ban.address >> ban.untilMs >> ban.failures) || (fields >> rest))
            continue;
        if (HoldsControlByte(ban.address) || ban.failures < 0)
            continue;
        bans.push_back(ban);
    }
    return bans;
}

namespace {
std::string PathIn(const std::string& folder) {
    return folder + (folder.empty() || folder.back() == '/' ? "" : "/") + kBanFile;
}
} // namespace

int ReadBanFile(const std::string& folder, std::vector<Ban>& bans) {
    std::string bytes;
    const int error = stored_file::ReadWhole(PathIn(folder), bytes);
    if (error == ENOENT) {
        bans.clear();
        return 0;
    }
    if (error != 0)
        return error;
    bans = ParseBans(bytes);
    return 0;
}

int WriteBanFile(const std::string& folder, const std::vector<Ban>& bans) {
    return stored_file::WriteWhole(PathIn(folder), FormatBans(bans), 0600);
}

std::string BanFileStamp(const std::string& folder) {
    struct stat st {};
    if (::stat(PathIn(folder).c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

} // namespace accounts
