#pragma once
#include "accounts/AccessList.h"
#include "accounts/LoginTable.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace accounts {

// "\" turned into "/" and a trailing "/" added when missing. Letter case is
// kept: file names are case-sensitive here.
std::string NormalizePath(const std::string& path);

// The canonical form of a local path: absolute, "." and ".." steps removed,
// symbolic links resolved for the part that exists; the part that does not
// exist yet is appended as written. A relative path is taken from "/".
// Directories keep no trailing "/" here except the root.
std::string CanonicalPath(const std::string& path);

// True when path (a folder, written with or without its trailing "/") is
// still reached without any symbolic link or dot step on the way, as the
// engine records a folder it has judged.
bool StillCanonical(const std::string& path);

// The directory part of a file path: everything up to and including its last "/".
std::string DirectoryPart(const std::string& path);

// Where a command that acts on a directory entry itself (DELE, RNFR, RNTO,
// RMD, MKD) acts: the canonical parent folder (ending in "/") and the entry's
// name, without following a final link.
std::pair<std::string, std::string> EntryLocation(const std::string& path);

// Whether any used entry of the access list grants every right of rights for
// the directory dir: an entry for dir itself, or an entry for a folder above
// it that also has Inherit. Both sides are made canonical and compared
// case-sensitively, so an entry for /data covers /data/sub (with Inherit) but
// never /database, and no "..", absolute path or link reaches outside it.
bool RightsCheck(const std::vector<AccessEntry>& access, const std::string& dir,
                 std::initializer_list<Right> rights);

} // namespace accounts
