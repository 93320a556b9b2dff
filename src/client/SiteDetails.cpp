#include "client/SiteDetails.h"

#include "client/SiteStoreTexts.h"

LoginTypeControls ControlsForLoginType(int loginType) {
    LoginTypeControls controls;
    controls.userNameEnabled = loginType != 2;
    controls.keyEditable = loginType == 3;
    controls.mandatoryEnabled = loginType == 3;
    return controls;
}

void ApplyAnonymousLogin(std::string& userName, std::string& password) {
    userName = site_texts::kAnonymousUser;
    if (password.find('@', 1) == std::string::npos)
        password = site_texts::kAnonymousPassword;
}

bool SiteConnectAllowed(const std::string& host, const std::string& port) {
    return !host.empty() && !port.empty();
}
