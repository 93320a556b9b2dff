#pragma once
#include "Loopback.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program to completion (at most timeoutMs) without a shell. With
// xdgHome, the program's XDG_DATA_HOME and XDG_CONFIG_HOME are that folder,
// so no settings of the machine take part.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         int timeoutMs = 60000, const std::string& input = {},
                         const std::string& xdgHome = {});
// The same while the event loop keeps running, for programs that talk to a
// server in this process.
CommandResult RunCommandServing(const std::string& program, const std::vector<std::string>& args,
                                int timeoutMs = 60000, const std::string& input = {},
                                const std::string& xdgHome = {});

// Deterministic pseudo-random content for transfer checks.
std::string PatternBytes(std::size_t size, std::uint32_t seed = 1);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// Path of a program built by this project (bin/ of the build tree).
std::string ProgramPath(const std::string& name);

} // namespace testing_support
