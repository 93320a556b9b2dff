#pragma once
#include <cstdint>
#include <string>

// The icon of a queue entry.
enum class QueueIcon { Directory = 1, File = 2 };

// One row of the transfer queue; the queue's model writes the texts.
// Entries are never stored.
struct QueueEntry {
    int Id = 0; // unique within the queue, for views that follow rows
    QueueIcon Icon = QueueIcon::File;
    std::string Local;           // local path; empty for delete requests
    std::int64_t LocalSize = 0;  // bytes; 0 when missing (not shown for delete requests)
    std::string Direction;       // "<-", "->" or "del"
    std::string Remote;          // remote path
    std::int64_t RemoteSize = 0; // bytes as the remote list showed them; 0 when not there
    std::string Host;            // the site's name
    std::string Status;          // "queued", then "downloading", "uploading" or "deleting"
    // Downloads that follow links: the entry came from a link (tried as a
    // folder first, then as a file), and the folder the remote path really
    // names (a link's target resolved), to enter no folder twice.
    bool Link = false;
    std::string Canonical;
};

// The queue's figures: the number of entries, the sum of their sizes (local
// for uploads, remote otherwise), the kind of the running entry ("File" when
// none) with its path, and the size of the file being transferred. All empty
// when the connection has closed.
struct QueueTotals {
    std::string Count;
    std::string Bytes;
    std::string Kind;
    std::string Path;
    std::string FileSize;
};

// An item of the local panel as uploads take it.
struct LocalItem {
    std::string Name;
    std::int64_t Size = 0;
    bool Folder = false;
};
