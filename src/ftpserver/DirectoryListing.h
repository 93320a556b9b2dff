#pragma once
// Listing lines in the style of "ls -l" with a fixed owner and group, and
// the listing of a directory or a single entry with the permanent links.
#include "ftpserver/ServerTables.h"

#include <sys/stat.h>

#include <string>

// One detailed line (ending in CR LF) for an entry with its lstat data; a
// symbolic link shows "name -> target". Hidden entries (a name starting with
// "." other than "." and "..") give an empty text.
std::string FormatListLine(const std::string& name, const struct stat& st,
                           const std::string& linkTarget, int currentYear);

// The permanent-link line for a link name and its shown target.
std::string FormatPermaLinkLine(const std::string& linkName, const std::string& target);

// The listing of a canonical path: the contents of a directory ("." and ".."
// included), or the one entry a file path names; then the permanent links
// except the one pointing at the listed folder; " not found" when nothing at
// all was written. Detailed lines for LIST, bare names for NLST.
std::string BuildDirectoryList(const std::string& path, bool detailed, const TPermaLinkTable& links,
                               const TVirtMapTable& maps);

// Modification time in UTC as "YYYYMMDDHHMMSS.mmm".
std::string FormatMdtmTime(const struct stat& st);

// The local calendar year now.
int CurrentYear();
