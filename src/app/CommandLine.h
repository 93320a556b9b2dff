#pragma once
#include <optional>
#include <string>
#include <vector>

// The arguments shared by every front end: "--data-dir DIR" (or
// "--data-dir=DIR") and the non-option arguments (the settings file). Other
// "--" options are handed back for the front end to interpret.
struct CommandLine {
    std::optional<std::string> dataDir;
    std::vector<std::string> options;    // other arguments starting with "--", in order
    std::vector<std::string> positional; // everything else
    std::string error;                   // non-empty when the line is malformed
};

// args excludes the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
