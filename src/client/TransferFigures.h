#pragma once
#include <cstdint>
#include <string>

// The rate text shown for transfers: the byte count itself when no time has
// passed, "0" below one byte, else kilobytes per second with two decimals.
std::string RateText(double bytes, double seconds);

// A size text as a number; a text that is not a decimal number counts as 0.
std::int64_t SizeTextValue(const std::string& text);

// Elapsed seconds with millisecond precision, as the log lines show them:
// "2", "0.25", "13.407".
std::string SecondsText(double seconds);

// Figures of the progress display for a transfer that started resumeBase
// bytes into the file.
struct TransferFigures {
    std::string Bytes;       // count - resume base
    std::string TotalBytes;  // count
    std::string Speed;       // rate text
    std::string PercentDone; // "0.00" form, empty when the size is unknown
    std::string Remain;      // hh:mm:ss, empty when it cannot be estimated
};

TransferFigures ComputeTransferFigures(long long count, long long resumeBase, long long fileSize,
                                       double elapsedSeconds);
