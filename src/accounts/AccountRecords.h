#pragma once
#include "accounts/ShortText.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace accounts {

// The stored account records. Every member is a byte or a byte array, so the
// structs have alignment 1 and their memory is the exact file layout; the
// static_asserts below pin every offset.

inline constexpr int kAccessEntries = 32;
inline constexpr int kMemberships = 16;

// One directory of an access list. An empty Path marks a free entry.
struct AccessEntry {
    ShortText<80> Path;
    std::uint8_t Read = 0;
    std::uint8_t List = 0;
    std::uint8_t Write = 0;
    std::uint8_t Rename = 0;
    std::uint8_t Delete = 0;
    std::uint8_t Inherit = 0;
    std::uint8_t Create = 0;

    bool Used() const { return !Path.Empty(); }
};

struct UserRecord {
    ShortText<40> Name;
    ShortText<40> Password;
    ShortText<80> EncryptionKey;
    ShortText<80> HomeDirectory;
    AccessEntry Access[kAccessEntries];
    ShortText<40> GroupMembership[kMemberships];
    std::uint8_t SuperUser = 0;
    std::uint8_t Enabled = 0;
};

struct GroupRecord {
    ShortText<40> Name;
    ShortText<80> HomeDirectory;
    AccessEntry Access[kAccessEntries];
    std::uint8_t Enabled = 0;
};

static_assert(sizeof(AccessEntry) == 88 && alignof(AccessEntry) == 1);
static_assert(offsetof(AccessEntry, Read) == 81 && offsetof(AccessEntry, Create) == 87);
static_assert(sizeof(UserRecord) == 3718 && alignof(UserRecord) == 1);
static_assert(offsetof(UserRecord, Password) == 41 && offsetof(UserRecord, EncryptionKey) == 82 &&
              offsetof(UserRecord, HomeDirectory) == 163 && offsetof(UserRecord, Access) == 244 &&
              offsetof(UserRecord, GroupMembership) == 3060 &&
              offsetof(UserRecord, SuperUser) == 3716 && offsetof(UserRecord, Enabled) == 3717);
static_assert(sizeof(GroupRecord) == 2939 && alignof(GroupRecord) == 1);
static_assert(offsetof(GroupRecord, HomeDirectory) == 41 && offsetof(GroupRecord, Access) == 122 &&
              offsetof(GroupRecord, Enabled) == 2938);

// Record bytes as stored, and back.
template <class Record> std::string RecordBytes(const Record& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof(Record));
}
template <class Record> Record RecordFromBytes(const char* data) {
    Record record;
    std::memcpy(static_cast<void*>(&record), data, sizeof(Record));
    return record;
}

// Number of used entries at the front of an access list (the editor keeps
// them without gaps).
inline int UsedAccessCount(const AccessEntry (&access)[kAccessEntries]) {
    int count = 0;
    for (const auto& entry : access)
        if (entry.Used())
            ++count;
    return count;
}

} // namespace accounts
