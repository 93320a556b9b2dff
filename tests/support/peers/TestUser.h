#pragma once
#include "support/Peers.h"

#include <string>

// The system user that vsftpd (through PAM) and dante (user-name method)
// authenticate. Several test programs may race to create it; whoever comes
// second simply finds it there.
namespace test_user {

inline const char* Name() {
    return "vexaftp";
}
inline const char* Password() {
    return "vexa-test-pass";
}

inline void Ensure() {
    using namespace testing_support;
    if (RunCommand("/usr/bin/id", {Name()}).exitCode == 0)
        return;
    RunCommand("/usr/sbin/useradd", {"-M", "-d", "/tmp", "-s", "/bin/bash", Name()});
    RunCommand("/usr/sbin/chpasswd", {}, 10000, std::string(Name()) + ":" + Password() + "\n");
}

} // namespace test_user
