#pragma once
// The POSIX path model of the server: client names use "/" ("\" is turned
// into "/"), directories always end in "/", and every path is made canonical
// before anyone judges it.
#include "base/PathText.h"
#include "ftpserver/ServerTables.h"
#include <string>

// The engine's home directory before the owner sets one.
inline constexpr const char* kDefaultHomeDir = "/tmp/";

// "\" becomes "/".
std::string ClientName(const std::string& raw);

// Replaces a leading virtual path (matched case-insensitively, first entry
// wins) by its local folder. Names that match no entry come back unchanged.
std::string ApplyVirtMap(const TVirtMapTable& table, const std::string& name);

// The inverse for display: a local path that starts with an entry's folder
// (case-sensitively) shows that entry's virtual path instead.
std::string ShowVirtMap(const TVirtMapTable& table, const std::string& path);

// Joins a client name (already in "/" form) to the current directory: an
// absolute name stands for itself.
std::string BuildFilePath(const std::string& directory, const std::string& name);

// A client name (already in "/" form) after the virtual paths: an absolute
// name that begins with a virtual path, or a relative one that leads into a
// virtual path from the folder the client sees (PWD), becomes the local path;
// any other name comes back unchanged.
std::string ResolveVirtualName(const TVirtMapTable& table, const std::string& directory,
                               const std::string& name);

// The one mapping every path-taking command uses: "\" to "/", the virtual
// paths, then the current directory. The result is absolute, not canonical.
std::string MapClientPath(const TVirtMapTable& table, const std::string& directory,
                          const std::string& params);

// SECURITY: makes a path canonical so rights are judged on what is really
// reached: "." and ".." removed, symbolic links resolved for the part that
// exists. With followFinal false the last component is kept as named (the
// entry itself, for commands that act on an entry, never on its target).
// No trailing "/" except for the root.
std::string CanonicalPath(const std::string& path, bool followFinal);

// An absolute path with "." and ".." steps removed and no link resolved:
// the path as the client named it, for replies that quote it. No trailing
// "/" except for the root.
std::string LexicalPath(const std::string& path);

// The current directory after CWD: ".." goes up one level (the root stays),
// "." and "" keep it, dot steps inside a longer path are refused with
// replies::kDotNotation, anything else is taken relative to the current
// directory or as absolute. The result is canonical and ends in "/".
std::string SetDirectoryPath(const std::string& current, const std::string& arg);
