#include "window/LaunchRefusal.h"

#include "app/AppTexts.h"
#include "base/Prompts.h"
#include "window/WindowTexts.h"

#include <cstdio>

void ShowLaunchRefusal(const std::string& reason, Prompts& prompts) {
    std::fprintf(stderr, "%s%s\n", apptexts::kErrorPrefix, reason.c_str());
    prompts.Inform(wintexts::kLaunchRefusedTitle, reason);
}
