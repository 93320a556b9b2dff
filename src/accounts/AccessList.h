#pragma once
#include "accounts/AccountRecords.h"

#include <optional>
#include <string>
#include <string_view>

namespace accounts {

// The seven rights of an access entry, in record order.
enum class Right { Read, List, Write, Rename, Delete, Inherit, Create };
inline constexpr Right kAllRights[] = {Right::Read,   Right::List,    Right::Write, Right::Rename,
                                       Right::Delete, Right::Inherit, Right::Create};

std::uint8_t& RightFlag(AccessEntry& entry, Right right);
bool HasRight(const AccessEntry& entry, Right right);
// "read", "list", ... (any letter case) to a right; "inheritable" is accepted too.
std::optional<Right> ParseRight(std::string_view name);
const char* RightName(Right right);
// The rights of an entry as a short text, "RLWNDIC" with "-" for a missing one.
std::string RightsText(const AccessEntry& entry);

// Adds an entry with no rights at the first free place; returns its 1-based
// place, or 0 when all 32 places are used.
int AddAccessEntry(AccessEntry (&access)[kAccessEntries], const std::string& path);
// Removes the entry at a 1-based place; later entries move up one place and
// the last used place is cleared. False for a place that is not used.
bool RemoveAccessEntry(AccessEntry (&access)[kAccessEntries], int place);
// The 1-based place of the first entry whose Path equals path, or 0.
int FindAccessEntry(const AccessEntry (&access)[kAccessEntries], const std::string& path);

} // namespace accounts
