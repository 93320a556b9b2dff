#pragma once
#include "accounts/AccountRecords.h"

#include <array>
#include <string>
#include <vector>

namespace accounts {

inline constexpr int kLoginSlots = 128;
inline constexpr int kSlotAccessEntries = 128;

// One logged-in connection: its effective access list (the user's entries,
// then each group's in membership order, at most 128) and what the
// connection list shows for it.
struct LoginSlot {
    std::string Id; // the connection's socket handle in decimal
    bool InUse = false;
    bool SuperUser = false;
    std::string Address;  // peer address ":" peer port
    std::string UserName; // at most 40 characters
    std::string Action;
    std::string Location;
    std::string Result;
    std::vector<AccessEntry> Access; // used entries only, at most 128
};

// Slots numbered 1 to 128; number 0 means "no slot".
class LoginTable {
public:
    LoginSlot& operator[](int number) { return slots_.at(static_cast<std::size_t>(number - 1)); }
    const LoginSlot& operator[](int number) const {
        return slots_.at(static_cast<std::size_t>(number - 1));
    }
    static bool Valid(int number) { return number >= 1 && number <= kLoginSlots; }
    int FreeCount() const {
        int n = 0;
        for (const auto& s : slots_)
            n += s.InUse ? 0 : 1;
        return n;
    }
    void Clear(int number) {
        if (Valid(number))
            (*this)[number] = LoginSlot{};
    }

private:
    std::array<LoginSlot, kLoginSlots> slots_{};
};

} // namespace accounts
