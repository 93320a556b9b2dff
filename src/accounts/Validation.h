#pragma once
#include "accounts/LoginTable.h"

#include <string>

namespace accounts {

// The operations the server asks about before it touches the file system.
enum class Operation { Get, Put, Dele, RnFr, RnTo, Cwd, Mkd, Size };

struct [[nodiscard]] Verdict {
    bool allowed = false;
    // Encrypted-only gate: the connection is to be sent gateReply and closed.
    bool closeConnection = false;
    std::string gateReply;
    // The slot's Action/Location/Result changed: the connection list must be refreshed.
    bool recorded = false;
};

// The encrypted-only gate: true when a plain connection must be turned away.
inline bool EncryptedOnlyGate(bool encryptedOnlyClients, bool encryptionActive) {
    return encryptedOnlyClients && !encryptionActive;
}

// Decides one operation for a logged-in connection from its slot (superuser
// flag and effective access list) and records the decision in the slot.
// Paths are local paths built by the engine; they are made canonical here
// before they are judged.
Verdict Validate(LoginSlot& slot, Operation op, const std::string& path, bool encryptedOnlyClients,
                 bool encryptionActive);

// Whether a listing of listedPath may be built: the current directory lists
// freely; any other directory needs List on it (for a named file, on its
// folder). The encrypted-only gate is applied by the caller.
bool ListingAllowed(const LoginSlot& slot, const std::string& listedPath,
                    const std::string& currentDir);

} // namespace accounts
