#include "accounts/ServerLists.h"

#include "accounts/AccountTexts.h"
#include "base/PathText.h"
#include "base/StoredFile.h"

#include <algorithm>
#include <fstream>

namespace accounts {

namespace {

std::string Slashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

template <class T> AdminResult DeleteRows(std::vector<T>& list, const std::set<int>& rows) {
    for (int row : rows)
        if (row < 0 || row >= static_cast<int>(list.size()))
            return AdminResult::Fail(texts::kNoSuchRow);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        list.erase(list.begin() + *it);
    return AdminResult::Ok();
}

std::vector<std::string> ReadLines(const std::string& path, bool& exists) {
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<ListPair> ReadPairs(const std::string& path) {
    bool exists = false;
    auto lines = ReadLines(path, exists);
    std::vector<ListPair> pairs;
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        ListPair pair{lines[i], i + 1 < lines.size() ? lines[i + 1] : std::string()};
        if (!pair.folder.empty())
            pairs.push_back(pair);
    }
    return pairs;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines,
                std::vector<std::string>& failures) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    if (int error = stored_file::WriteWhole(path, text))
        failures.push_back(texts::ListNotWritten(path, stored_file::ErrorText(error)));
}

std::vector<std::string> PairLines(const std::vector<ListPair>& pairs) {
    std::vector<std::string> lines;
    for (const auto& pair : pairs) {
        lines.push_back(pair.folder);
        lines.push_back(pair.name);
    }
    return lines;
}

} // namespace

AdminResult ServerLists::AddIp(const std::string& text) {
    IpList.push_back(text);
    return AdminResult::Ok();
}

AdminResult ServerLists::AddVirtMap(const std::string& folder, const std::string& virtualPath) {
    if (folder.empty() || virtualPath.empty())
        return AdminResult::Ok();
    std::string local = WithTrailingSlash(Slashes(folder));
    std::string virt = Slashes(virtualPath);
    if (virt.front() != '/')
        virt = "/" + virt;
    virt = WithTrailingSlash(virt);
    VirtMaps.push_back({local, virt});
    RebuildTables();
    return AdminResult::Ok();
}

AdminResult ServerLists::AddPermaLink(const std::string& folder, const std::string& linkName) {
    if (folder.empty() || linkName.empty())
        return AdminResult::Ok();
    PermaLinks.push_back({folder, linkName});
    RebuildTables();
    return AdminResult::Ok();
}

AdminResult ServerLists::DeleteIp(const std::set<int>& rows) {
    return DeleteRows(IpList, rows);
}

AdminResult ServerLists::DeleteVirtMaps(const std::set<int>& rows) {
    AdminResult result = DeleteRows(VirtMaps, rows);
    RebuildTables();
    return result;
}

AdminResult ServerLists::DeletePermaLinks(const std::set<int>& rows) {
    AdminResult result = DeleteRows(PermaLinks, rows);
    RebuildTables();
    return result;
}

bool ServerLists::ClearIp(Prompts& prompts) {
    if (IpList.empty() || !prompts.Confirm({}, texts::kClearListQuestion))
        return false;
    IpList.clear();
    return true;
}

bool ServerLists::ClearVirtMaps(Prompts& prompts) {
    bool cleared = !VirtMaps.empty() && prompts.Confirm({}, texts::kClearListQuestion);
    if (cleared)
        VirtMaps.clear();
    RebuildTables();
    return cleared;
}

bool ServerLists::ClearPermaLinks(Prompts& prompts) {
    bool cleared = !PermaLinks.empty() && prompts.Confirm({}, texts::kClearListQuestion);
    if (cleared)
        PermaLinks.clear();
    RebuildTables();
    return cleared;
}

void ServerLists::RebuildTables() {
    VirtMapTable = VirtMaps;
    PermaLinkTable = PermaLinks;
    if (OnTablesChanged)
        OnTablesChanged();
}

void ServerLists::LoadIpAndVirtMaps(const std::string& programDir) {
    bool exists = false;
    IpList.clear();
    for (auto& line : ReadLines(programDir + kIpListFile, exists))
        if (!line.empty())
            IpList.push_back(line);
    VirtMaps = ReadPairs(programDir + kVirtMapFile);
}

void ServerLists::LoadPermaLinks(const std::string& programDir) {
    PermaLinks = ReadPairs(programDir + kPermaLinkFile);
}

void ServerLists::Load(const std::string& programDir) {
    for (const char* file : {kIpListFile, kVirtMapFile, kPermaLinkFile})
        stored_file::RemoveLeftovers(programDir + file);
    LoadIpAndVirtMaps(programDir);
    LoadPermaLinks(programDir);
    RebuildTables();
}

std::vector<std::string> ServerLists::Save(const std::string& programDir) const {
    std::vector<std::string> failures;
    WriteLines(programDir + kIpListFile, IpList, failures);
    WriteLines(programDir + kVirtMapFile, PairLines(VirtMaps), failures);
    WriteLines(programDir + kPermaLinkFile, PairLines(PermaLinks), failures);
    return failures;
}

} // namespace accounts
