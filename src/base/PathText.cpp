#include "base/PathText.h"

#include <climits>
#include <unistd.h>

std::string CurrentFolder() {
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf))
        return std::string(buf) + "/";
    return "/";
}
