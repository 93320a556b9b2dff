#pragma once
#include "accounts/AccessList.h"
#include "accounts/PathRights.h"

#include <string>

namespace testing_support {

// An enabled account whose home is the given folder, with every right on it.
inline accounts::UserRecord EveryRightAccount(const std::string& name, const std::string& password,
                                              const std::string& keyText, const std::string& home) {
    accounts::UserRecord u{};
    u.Name.Set(name);
    u.Password.Set(password);
    u.EncryptionKey.Set(keyText);
    u.HomeDirectory.Set(home);
    u.Enabled = 1;
    const int place = accounts::AddAccessEntry(u.Access, CanonicalPath(home, true));
    for (accounts::Right r : accounts::kAllRights)
        accounts::RightFlag(u.Access[place - 1], r) = 1;
    return u;
}

} // namespace testing_support
