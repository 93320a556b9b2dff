#pragma once
#include <string>
#include <vector>

// The remote directory as the client shows it, parsed from a server's
// detailed listing.
enum class RemoteIcon { Folder = 0, File = 2, Link = 3 };

struct RemoteItem {
    RemoteIcon Icon = RemoteIcon::File;
    std::string Caption; // the name; a link keeps "name -> target"
    std::string Size;    // as the server wrote it
    std::string Date;    // the 12 characters after the size
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

// Sorts case-insensitively as text by the clicked column: 0 name, 1 size,
// 2 date (so sizes and dates sort as text, "100" before "20").
// Sorts by column 0 name, 1 size (as a number) or 2 date (as a date).
void SortRemoteItems(std::vector<RemoteItem>& items, int column, bool descending = false);

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
