#pragma once

// Column headers of the item models, as the views show them.
namespace modeltexts {

inline constexpr const char* kConnectionColumns[] = {
    "ID", "User Name", "IP Address", "Action", "File/Location", "Progress", "Speed"};
inline constexpr const char* kRemoteColumns[] = {"Name", "Size", "Modified"};
// The queue's direction column has no title.
inline constexpr const char* kQueueColumns[] = {"Local", "Size", "",      "Remote",
                                                "Size",  "Host", "Status"};

} // namespace modeltexts
