#include "accounts/Admission.h"

#include "accounts/AccountTexts.h"

namespace accounts {

bool IpAdmitted(const std::vector<std::string>& list, IpMode mode, const std::string& address,
                const LogWriter& log) {
    if (list.empty())
        return true;
    bool admitted = mode == IpMode::Deny;
    // SECURITY: an entry matches addresses of its own family only: an IPv4
    // entry never matches the text of an IPv6 address ("1" would be a prefix
    // of "1::5"), so an IPv6 client that no IPv6 entry names is refused
    // where an allow list is in force.
    const bool v6 = address.find(':') != std::string::npos;
    bool familyListed = false;
    for (const auto& entry : list) {
        std::string pattern = entry.substr(0, entry.find('*'));
        if (pattern.empty() || (pattern.find(':') != std::string::npos) != v6)
            continue;
        familyListed = true;
        if (address.compare(0, pattern.size(), pattern) != 0)
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
    if (v6 && !familyListed && mode == IpMode::Allow && log)
        log(logServer, texts::IPv6NotListed(address), colours::clRed);
    return admitted;
}

} // namespace accounts
