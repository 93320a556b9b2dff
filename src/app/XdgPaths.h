#pragma once
#include <string>

// The per-user base folders of the XDG convention, each ending in "/".
// A variable that is unset, empty or relative is ignored, as the convention
// asks; the fallback lies under $HOME. Empty when neither is available.
std::string XdgDataHome();   // $XDG_DATA_HOME or ~/.local/share/
std::string XdgConfigHome(); // $XDG_CONFIG_HOME or ~/.config/
