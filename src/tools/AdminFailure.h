#pragma once
#include "tools/AdminTexts.h"

#include <string>

// How vexa2-admin's commands refuse: they throw the one-line reason, which
// the program prints before it exits with status 1.
namespace admin_tool {

struct Failure {
    std::string reason;
};

[[noreturn]] inline void Fail(const std::string& reason) {
    throw Failure{reason};
}

// "on" or "off"; any other word is refused.
inline bool OnOff(const std::string& word) {
    if (word == "on")
        return true;
    if (word == "off")
        return false;
    Fail(admin_texts::kBadOnOff);
}

} // namespace admin_tool
