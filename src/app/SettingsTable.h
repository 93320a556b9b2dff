#pragma once
#include <string>
#include <vector>

enum class OptionType { Bool, String, Integer };

// One option of the settings file. initial is the window's initial value,
// which a new file is written with; missingDefault is what an existing file
// that lacks the key loads as, or nullptr for "keep the current value".
struct OptionInfo {
    const char* section;
    const char* key;
    OptionType type;
    const char* initial;
    const char* missingDefault;
};

// Every option, in the order the settings file is written.
const std::vector<OptionInfo>& SettingsTable();
// The same keys in the order they are read.
const std::vector<const char*>& SettingsReadOrder();
// The values an integer option may hold; a value outside is brought to the
// nearest end.
struct IntegerRange {
    int minimum = -2147483647 - 1;
    int maximum = 2147483647;
};
IntegerRange RangeOf(const std::string& key);

// The option of a key, or nullptr.
const OptionInfo* FindOption(const std::string& key);
