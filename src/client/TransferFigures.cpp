#include "client/TransferFigures.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string RateText(double bytes, double seconds) {
    char text[64];
    if (seconds == 0) {
        std::snprintf(text, sizeof text, "%.0f", bytes);
        return text;
    }
    if (bytes < 1)
        return "0";
    std::snprintf(text, sizeof text, "%.2f", bytes / seconds / 1024.0);
    return text;
}

std::int64_t SizeTextValue(const std::string& text) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string SecondsText(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    std::string out = text;
    while (!out.empty() && out.back() == '0')
        out.pop_back();
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out;
}

TransferFigures ComputeTransferFigures(long long count, long long resumeBase, long long fileSize,
                                       double elapsedSeconds) {
    TransferFigures figures;
    long long moved = count - resumeBase;
    figures.Bytes = std::to_string(moved);
    figures.TotalBytes = std::to_string(count);
    figures.Speed = RateText(static_cast<double>(moved), elapsedSeconds);
    if (fileSize != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f",
                      static_cast<double>(count) / static_cast<double>(fileSize) * 100.0);
        figures.PercentDone = text;
        if (moved != 0) {
            double remain =
                static_cast<double>(fileSize - count) / static_cast<double>(moved) * elapsedSeconds;
            long long total = std::llround(remain);
            if (total < 0)
                total = 0;
            std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600,
                          (total / 60) % 60, total % 60);
            figures.Remain = text;
        }
    }
    return figures;
}
