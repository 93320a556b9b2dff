#pragma once
// Listing lines in the style of "ls -l" with a fixed owner and group, and
// the listing of a directory or a single entry with the permanent links.
#include "ftpserver/ServerTables.h"

#include <sys/stat.h>

#include <string>
#include <vector>

// One detailed line (ending in CR LF) for an entry with its lstat data; a
// symbolic link shows "name -> target". Hidden entries (a name starting with
// "." other than "." and "..") give an empty text.
std::string FormatListLine(const std::string& name, const struct stat& st,
                           const std::string& linkTarget, int currentYear);

// The permanent-link line for a link name and its shown target.
std::string FormatPermaLinkLine(const std::string& linkName, const std::string& target);

// What a listing is narrowed to: a pattern for the names of the listed
// folder ("*", "?", "[...]"; a leading "." only when the pattern has one),
// and for a folder a client may only pass through, the only names it shows.
struct TListingScope {
    std::string Pattern;
    bool WayOnly = false;
    std::vector<std::string> WayNames;
};

// The listing of a canonical path: the contents of a directory ("." and ".."
// included for LIST, never for NLST) with the folders mounted in it through
// virtual paths, or the one entry a file path names, then the permanent
// links except the one pointing at the listed folder. Detailed lines for
// LIST, bare names for NLST (permanent links by name too). A missing path,
// or a pattern that matches nothing, gives the line path + " not found" for
// LIST and an empty listing for NLST. A way-only folder shows only its named
// child folders, without permanent links. Built whole here; the server
// sends the same text a slice at a time (TListingProducer).
std::string BuildDirectoryList(const std::string& path, bool detailed, const TPermaLinkTable& links,
                               const TVirtMapTable& maps, const TListingScope& scope = {});

// True when the text holds a character that makes it a name pattern.
bool IsNamePattern(const std::string& text);

// Modification time in UTC as "YYYYMMDDHHMMSS.mmm".
std::string FormatMdtmTime(const struct stat& st);

// The local calendar year now.
int CurrentYear();
