#pragma once
#include "accounts/LoginTable.h"

#include <string>
#include <vector>

namespace accounts {

// The operations the server asks about before it touches the file system.
enum class Operation { Get, Put, Dele, RnFr, RnTo, Cwd, Mkd, Size, Time };

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

// Where a connection stands, for the folders it may pass through without
// rights: its current and home directories, and the local folders of the
// server's virtual paths.
struct TraverseScope {
    std::string current;
    std::string home;
    std::vector<std::string> virtualFolders;
};

// Decides one operation for a logged-in connection from its slot (superuser
// flag and effective access list) and records the decision in the slot.
// Paths are local paths built by the engine; they are made canonical here
// before they are judged. A change of directory needs no right into the
// current or the home directory, into "/" or into a folder above a granted
// directory or a virtual folder (see scope).
Verdict Validate(LoginSlot& slot, Operation op, const std::string& path, bool encryptedOnlyClients,
                 bool encryptionActive, const TraverseScope& scope = {});

// "/" and the folders above a granted directory or a virtual folder: a client
// may enter them to reach its grants, and see only the way there.
bool IsWayFolder(const LoginSlot& slot, const std::string& folder,
                 const std::vector<std::string>& virtualFolders);

// The children of a way folder that lead to a grant or a virtual folder.
std::vector<std::string> WayNames(const LoginSlot& slot, const std::string& folder,
                                  const std::vector<std::string>& virtualFolders);

// How a listing of listedPath (a folder, or a named entry) may be built:
// whole with List on its folder, or for the current directory; only the way
// to the grants in a way folder (other than home, which lists as before);
// otherwise not at all. The encrypted-only gate is applied by the caller.
enum class ListingKind { Full, WayOnly, Refused };
struct ListingDecision {
    ListingKind kind = ListingKind::Refused;
    std::vector<std::string> wayNames;
};
ListingDecision DecideListing(const LoginSlot& slot, const std::string& listedPath,
                              const TraverseScope& scope);

// What the slot may do in folder, as TFolderRight bits of the engine (for
// the "perm" facts of machine listings); nothing is recorded.
unsigned FolderRightsOf(const LoginSlot& slot, const std::string& folder,
                        const TraverseScope& scope);

} // namespace accounts
