#include "accounts/Admission.h"

#include "accounts/AccountTexts.h"

namespace accounts {

bool IpAdmitted(const std::vector<std::string>& list, IpMode mode, const std::string& address,
                const LogWriter& log) {
    if (list.empty())
        return true;
    bool admitted = mode == IpMode::Deny;
    for (const auto& entry : list) {
        std::string pattern = entry.substr(0, entry.find('*'));
        if (pattern.empty() || address.compare(0, pattern.size(), pattern) != 0)
            continue;
        if (mode == IpMode::Deny) {
            if (log)
                log(logServer, texts::kDeniedMatch, colours::clTeal);
            admitted = false;
        } else {
            if (log)
                log(logServer, texts::kAllowedMatch, colours::clLime);
            admitted = true;
        }
    }
    return admitted;
}

} // namespace accounts
