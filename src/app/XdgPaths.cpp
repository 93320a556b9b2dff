#include "app/XdgPaths.h"

#include "base/PathText.h"

#include <cstdlib>

namespace {

std::string BaseFolder(const char* variable, const char* underHome) {
    const char* v = std::getenv(variable);
    if (v && v[0] == '/')
        return WithTrailingSlash(v);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return WithTrailingSlash(home) + underHome;
    return {};
}

} // namespace

std::string XdgDataHome() {
    return BaseFolder("XDG_DATA_HOME", ".local/share/");
}
std::string XdgConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", ".config/");
}
