#pragma once
#include <array>
#include <optional>
#include <string>

// Version numbers of the update check: four components separated by dots,
// compared as integers.

// The program's own number: the 15 characters from the first "2" of its
// version text ("Vexa Version 2.0.6.323" gives "2.0.6.323").
std::string OwnVersionNumber(const std::string& versionText);

// The number published in an update page: after the build mark and the one
// character that follows it, every digit and dot up to the first other
// character. Empty optional when the page has no build mark.
std::optional<std::string> PublishedVersionNumber(const std::string& page);

// The four parts of a number split at its dots; the fourth is the rest of the
// text after the third dot. Missing parts are empty.
std::array<std::string, 4> VersionParts(const std::string& number);

struct VersionComparison {
    bool newer = false; // published is greater than own
    std::string error;  // a part that is not a number, in the conversion error's words
};

// Compares the components in order; the first that differs decides.
[[nodiscard]] VersionComparison ComparePublishedVersion(const std::string& published,
                                                        const std::string& own);
