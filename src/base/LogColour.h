#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Every log line carries a colour. Modules below the application shell log
// through a LogWriter handed to them by their owner, which routes it to
// WriteLog (the panes, standard output, the log files).
struct TColor {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const TColor&, const TColor&) = default;
};

namespace colours {
inline constexpr TColor clRed{255, 0, 0};      // errors and refusals
inline constexpr TColor clGreen{0, 128, 0};    // success
inline constexpr TColor clPurple{128, 0, 128}; // received lines
inline constexpr TColor clMaroon{128, 0, 0};   // sent lines
inline constexpr TColor clBlue{0, 0, 255};     // server start, clean disconnects
inline constexpr TColor clLime{0, 255, 0};     // IP list: allowed
inline constexpr TColor clTeal{0, 128, 128};   // IP list: denied
inline constexpr TColor clBlack{0, 0, 0};      // start-up banner
inline constexpr TColor clOlive{128, 128, 0};  // update check
inline constexpr TColor clNavy{0, 0, 128};     // client connects and disconnects
} // namespace colours

// Log levels: 1 client log, 2 server log, 3 both.
enum LogLevel : int { logClient = 1, logServer = 2, logBoth = 3 };

using LogWriter = std::function<void(int level, const std::string& text, TColor colour)>;
