#include "tools/FtpProgressLine.h"

#include "tools/FtpTexts.h"

#include <cmath>
#include <cstdio>

using namespace ftptool_texts;

std::string FtpProgressLine::SizeText(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%.0f %s", bytes, units[unit]);
    else
        std::snprintf(text, sizeof text, "%.*f %s", bytes < 10 ? 2 : 1, bytes, units[unit]);
    return text;
}

std::string FtpProgressLine::TimeLeftText(double bytesLeft, double rate) {
    if (rate <= 0 || bytesLeft < 0 || !std::isfinite(bytesLeft / rate))
        return "--:--:--";
    const long long seconds = std::llround(bytesLeft / rate);
    if (seconds > 99LL * 3600 + 59 * 60 + 59)
        return "--:--:--";
    char text[32]; // room for any long long, though the check above keeps it short
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

namespace {
// "1.5 MiB/4.0 MiB  37%  512.0 KiB/s  00:00:05 left"; without a size only
// the bytes and the rate.
std::string Part(const FtpProgressFigures& f) {
    std::string text = FtpProgressLine::SizeText(static_cast<double>(f.done));
    if (f.total > 0) {
        const double percent =
            std::min(100.0, 100.0 * static_cast<double>(f.done) / static_cast<double>(f.total));
        char p[16];
        std::snprintf(p, sizeof p, "  %3.0f%%", percent);
        text += "/" + FtpProgressLine::SizeText(static_cast<double>(f.total)) + p;
    }
    text += "  " + FtpProgressLine::SizeText(f.rate) + "/s";
    if (f.total > 0)
        text += "  " +
                FtpProgressLine::TimeLeftText(static_cast<double>(f.total - f.done), f.rate) +
                kProgressLeft;
    return text;
}
} // namespace

void FtpProgressLine::Show(const std::string& name, const FtpProgressFigures& file,
                           const FtpProgressFigures& all, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    // The end of a long name says more than its start.
    std::string shown = name.size() > 28 ? "..." + name.substr(name.size() - 25) : name;
    std::string line = shown + "  " + Part(file);
    if (all.total >= 0)
        line += kProgressQueue + Part(all);
    const std::size_t width = line.size();
    if (width < width_)
        line += std::string(width_ - width, ' ');
    width_ = width;
    err_ << "\r" << line << std::flush;
    shown_ = true;
}

void FtpProgressLine::Break() {
    if (shown_)
        err_ << "\n" << std::flush;
    shown_ = false;
    width_ = 0;
}
