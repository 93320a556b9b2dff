#pragma once

// Every text of the transfer queue.
namespace queue_texts {
// Directions and states of an entry.
inline constexpr const char* kDownload = "<-";
inline constexpr const char* kUpload = "->";
inline constexpr const char* kDelete = "del";
inline constexpr const char* kQueued = "queued";
inline constexpr const char* kDownloading = "downloading";
inline constexpr const char* kUploading = "uploading";
inline constexpr const char* kDeleting = "deleting";

// Kind labels of the totals.
inline constexpr const char* kKindFile = "File";
inline constexpr const char* kKindDirectoryDown = "Directory <-";
inline constexpr const char* kKindFileDown = "File <-";
inline constexpr const char* kKindFileUp = "File ->";

// Log lines.
inline constexpr const char* kDownloaded = "Downloaded ";
inline constexpr const char* kUploaded = "Uploaded ";
inline constexpr const char* kBytesIn = " bytes) in ";
inline constexpr const char* kSecondsOpen = " seconds (";
inline constexpr const char* kKbPerSec = " Kb/sec).";
inline constexpr const char* kReceivedDirectory = "Received Directory ";
inline constexpr const char* kIn = " in ";
inline constexpr const char* kSkipped = "Skipped ";
inline constexpr const char* kFailedDownload = "Failed to download ";
inline constexpr const char* kFailedUpload = "Failed to upload ";
inline constexpr const char* kDirectoryError = "ERROR creating/changing into directory ";
inline constexpr const char* kDeleted = "Deleted ";
inline constexpr const char* kFailedDelete = "Failed to delete ";
inline constexpr const char* kRemovedDirectory = "Removed directory ";
inline constexpr const char* kFailedRemoveDirectory = "Failed to remove directory ";
inline constexpr const char* kUnsafeName = "Not queued, unsafe name: ";
inline constexpr const char* kLocalReadFailed = "Failed to read local directory ";
inline constexpr const char* kNotEnteredAgain = "Not entered again (a link to a folder already "
                                                "entered): ";
} // namespace queue_texts
