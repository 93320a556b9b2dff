#pragma once

// Column headers of the item models, as the views show them.
namespace modeltexts {

inline constexpr const char* kConnectionColumns[] = {
    "ID", "User Name", "IP Address", "Action", "File/Location", "Progress", "Speed"};
inline constexpr const char* kRemoteColumns[] = {"Name", "Size", "Modified"};
// The queue's direction column has no title.
inline constexpr const char* kQueueColumns[] = {"Local", "Size", "",      "Remote",
                                                "Size",  "Host", "Status"};

// Units of sizes and rates shown to people.
inline constexpr const char* kSizeUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
inline constexpr const char* kPerSecond = "/s";
inline constexpr const char* kShareOpen = " (";
inline constexpr const char* kShareClose = "%)";
// The tool tip of a size shown with units: the exact count.
inline constexpr const char* kExactBytes = " bytes";
// Follows a finished transfer's progress.
inline constexpr const char* kComplete = " (complete)";

} // namespace modeltexts
