#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The remote directory as the client shows it, parsed from a server's
// detailed listing.
enum class RemoteIcon { Folder = 0, File = 2, Link = 3 };

// A time the listing gives none for.
inline constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

struct RemoteItem {
    RemoteIcon Icon = RemoteIcon::File;
    std::string Caption; // the name; a link keeps "name -> target"
    // Bytes; 0 when the line gives none (a DOS folder, a device's numbers).
    std::int64_t Size = 0;
    // The wall-clock time the server wrote, as seconds since 1970 counted
    // as if it were UTC (so times order as the server's clock does);
    // kNoTime when the date could not be read.
    std::int64_t Modified = kNoTime;
    // The size and date fields as the server wrote them ("1,234,567",
    // "1,   3", "Jan 31  2023"): the list shows these, since a date without
    // a year or a device's numbers cannot be written back from the values.
    std::string SizeText;
    std::string DateText;
};

// Which listing layout the server writes: NetWare leaves out the group column.
enum TServerKind { skOtherServer = 0, skVexaServer = 1, skNetWare = 2 };

// Classifies a SYST reply.
TServerKind ServerKindFromSyst(const std::string& systReply);

// Parses one listing line; false for lines that are not shown (" not found"
// lines, "total" lines, "." and "..", lines without enough fields).
bool ParseListingLine(const std::string& line, TServerKind kind, RemoteItem& item);

// Parses a whole listing (lines ending in LF or CR LF).
std::vector<RemoteItem> ParseListing(const std::string& text, TServerKind kind);

// Sorts by column 0 name (case-insensitive text), 1 size (as a number) or
// 2 date (as a time); the name breaks ties.
void SortRemoteItems(std::vector<RemoteItem>& items, int column, bool descending = false);

// Reads a listing's size field: digits, DOS thousands separators allowed;
// 0 for anything else.
std::int64_t ListingSizeValue(const std::string& text);

// Reads a listing's date field ("Mar 07 14:05", "Jan 31  2023",
// "2024-01-31 12:00", "01-31-24  10:15PM"); a date without a year lies in
// the twelve months up to nowWallClock (the local clock now, counted as
// Modified is). kNoTime when the text is none of these.
std::int64_t ListingTimeValue(const std::string& text, std::int64_t nowWallClock);
// The local wall clock now, counted as Modified is.
std::int64_t WallClockNow();

// The part of a link's caption before " -> ".
std::string LinkTargetName(const std::string& caption);

// What a double click on one remote item does: a folder is entered, a file
// is queued as a download, a link whose name does not start with "." is
// followed into the name before " -> " (relative to the current directory).
enum class RemoteOpenAction { Nothing, EnterFolder, QueueDownload };
struct RemoteOpen {
    RemoteOpenAction action = RemoteOpenAction::Nothing;
    std::string folder; // the name to enter, for EnterFolder
};
RemoteOpen OpenActionFor(const RemoteItem& item);
