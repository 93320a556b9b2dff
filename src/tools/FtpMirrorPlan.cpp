#include "tools/FtpMirrorPlan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kDay = 24 * 60 * 60;

int MonthIndex(const std::string& name) {
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < 12; ++i)
        if (lower == months[i])
            return i;
    return -1;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

std::int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&tm));
}

} // namespace

MirrorVerdict CompareForMirror(const MirrorFile& source, const std::optional<MirrorFile>& target) {
    if (!target || target->size != source.size)
        return MirrorVerdict::Copy;
    if (!source.time.Known() || !target->time.Known())
        return MirrorVerdict::Same;
    const std::int64_t difference = source.time.seconds - target->time.seconds;
    const std::int64_t tolerance = source.time.precision + target->time.precision;
    if (difference > tolerance)
        return MirrorVerdict::Copy;
    if (tolerance > 2 && difference >= -tolerance)
        return MirrorVerdict::Unsure;
    return MirrorVerdict::Same;
}

MirrorPlan PlanMirror(const MirrorTree& source, const MirrorTree& target, bool withDeletes,
                      bool resumeShorter) {
    MirrorPlan plan;
    const std::set<std::string> targetFolders(target.folders.begin(), target.folders.end());
    const std::set<std::string> sourceFolders(source.folders.begin(), source.folders.end());
    for (const std::string& folder : source.folders)
        if (!targetFolders.count(folder))
            plan.newFolders.push_back(folder);
    for (const auto& [path, file] : source.files) {
        std::optional<MirrorFile> there;
        if (auto it = target.files.find(path); it != target.files.end())
            there = it->second;
        const MirrorVerdict verdict = CompareForMirror(file, there);
        if (verdict == MirrorVerdict::Unsure)
            plan.unsure.push_back(path);
        if (verdict != MirrorVerdict::Copy)
            continue;
        MirrorCopy copy{path, file, false, 0};
        // A copy cut short is smaller and was written after the source's
        // time: it is continued, not sent again.
        if (resumeShorter && there && there->size > 0 && there->size < file.size &&
            file.time.Known() && there->time.Known() &&
            there->time.seconds + file.time.precision >= file.time.seconds) {
            copy.resume = true;
            copy.targetSize = there->size;
        }
        plan.copies.push_back(copy);
    }
    if (!withDeletes)
        return plan;
    for (const auto& [path, file] : target.files)
        if (!source.files.count(path) && !sourceFolders.count(path))
            plan.deleteFiles.push_back(path);
    for (auto it = target.folders.rbegin(); it != target.folders.rend(); ++it)
        if (!sourceFolders.count(*it))
            plan.deleteFolders.push_back(*it);
    return plan;
}

MirrorTime ListingTime(const std::string& date, std::time_t now) {
    std::istringstream in(date);
    std::string monthName, dayText, last;
    if (!(in >> monthName >> dayText >> last))
        return {};
    const int month = MonthIndex(monthName);
    if (month < 0 || !AllDigits(dayText))
        return {};
    const int day = std::atoi(dayText.c_str());
    if (AllDigits(last) && last.size() == 4 && std::atoi(last.c_str()) >= 1970)
        return {Utc(std::atoi(last.c_str()), month, day, 0, 0, 0), kDay};
    const std::size_t colon = last.find(':');
    if (colon == std::string::npos || !AllDigits(last.substr(0, colon)) ||
        !AllDigits(last.substr(colon + 1)))
        return {};
    const int hour = std::atoi(last.substr(0, colon).c_str());
    const int minute = std::atoi(last.substr(colon + 1).c_str());
    std::tm nowTm{};
    ::gmtime_r(&now, &nowTm);
    int year = nowTm.tm_year + 1900;
    std::int64_t t = Utc(year, month, day, hour, minute, 0);
    if (t > static_cast<std::int64_t>(now) + kDay)
        t = Utc(year - 1, month, day, hour, minute, 0);
    return {t, kMinute};
}

MirrorTime MdtmTime(const std::string& reply) {
    if (reply.rfind("213 ", 0) != 0 || reply.size() < 18)
        return {};
    const std::string digits = reply.substr(4, 14);
    if (!AllDigits(digits))
        return {};
    auto part = [&](std::size_t at, std::size_t n) {
        return std::atoi(digits.substr(at, n).c_str());
    };
    return {Utc(part(0, 4), part(4, 2) - 1, part(6, 2), part(8, 2), part(10, 2), part(12, 2)), 1};
}
