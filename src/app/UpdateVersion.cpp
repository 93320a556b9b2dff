#include "app/UpdateVersion.h"

#include "app/AppTexts.h"

#include <cctype>
#include <charconv>

namespace {

// A component as a 32-bit integer; the whole text must be one.
std::optional<int> Component(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [next, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || next != end)
        return std::nullopt;
    return value;
}

} // namespace

std::string OwnVersionNumber(const std::string& versionText) {
    const std::size_t first = versionText.find('2');
    if (first == std::string::npos)
        return {};
    return versionText.substr(first, 15);
}

std::optional<std::string> PublishedVersionNumber(const std::string& page) {
    const std::string mark = apptexts::kBuildMark;
    const std::size_t found = page.find(mark);
    if (found == std::string::npos)
        return std::nullopt;
    // The one character after the mark (a blank) is skipped. The number is
    // not cut at a fixed width, so a four-digit build keeps its last digit.
    std::size_t start = found + mark.size() + 1;
    std::size_t stop = start;
    while (stop < page.size() &&
           (std::isdigit(static_cast<unsigned char>(page[stop])) || page[stop] == '.'))
        ++stop;
    return start < page.size() ? page.substr(start, stop - start) : std::string();
}

std::array<std::string, 4> VersionParts(const std::string& number) {
    std::array<std::string, 4> parts;
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = number.find('.', start);
        if (dot == std::string::npos) {
            parts[i] = number.substr(start);
            return parts;
        }
        parts[i] = number.substr(start, dot - start);
        start = dot + 1;
    }
    parts[3] = number.substr(start);
    return parts;
}

VersionComparison ComparePublishedVersion(const std::string& published, const std::string& own) {
    const auto publishedParts = VersionParts(published);
    const auto ownParts = VersionParts(own);
    int left[4] = {}, right[4] = {};
    VersionComparison result;
    for (int i = 0; i < 4; ++i) {
        for (auto [text, value] :
             {std::pair{&publishedParts[i], &left[i]}, std::pair{&ownParts[i], &right[i]}}) {
            std::optional<int> number = Component(*text);
            if (!number) {
                result.error =
                    apptexts::kInvalidIntegerPrefix + *text + apptexts::kInvalidIntegerSuffix;
                return result;
            }
            *value = *number;
        }
    }
    for (int i = 0; i < 4; ++i)
        if (left[i] != right[i]) {
            result.newer = left[i] > right[i];
            break;
        }
    return result;
}
