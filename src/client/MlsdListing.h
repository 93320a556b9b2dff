#pragma once
#include "client/RemoteListing.h"

#include <string>
#include <vector>

// Parses one machine-readable listing line ("type=file;size=12;modify=
// 20240131101500; name"): the type gives the icon (a link is
// "type=OS.unix=symlink" or "type=OS.unix=slink:target"), the size is the
// exact byte count, and the date is the modification time, given in UTC,
// shown in local time to the second ("2024-01-31 11:15:00"). False for the
// folder itself and its parent (cdir, pdir) and for lines without a name.
bool ParseMlsdLine(const std::string& line, RemoteItem& item);

// Parses a whole machine-readable listing (lines ending in LF or CR LF).
std::vector<RemoteItem> ParseMlsdListing(const std::string& text);

// The local-time text of an MLSD "modify" value (YYYYMMDDHHMMSS, optionally
// with fractions of a second, in UTC); empty when it is not one.
std::string MlsdTimeText(const std::string& modify);

// Seconds since the epoch of an MLSD "modify" value; false when it is not one.
bool MlsdTimeValue(const std::string& modify, long long& seconds);
