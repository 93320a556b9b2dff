#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

// One transfer's or the whole queue's figures.
struct FtpProgressFigures {
    std::int64_t done = 0;  // bytes of it that are there now
    std::int64_t total = 0; // its size; 0 or less when unknown
    double rate = 0;        // bytes per second moved in this run
};

// The progress line on standard error: the running file's bytes, percent,
// rate and time left, then the same for everything queued. Redrawn in place
// at most ten times a second; a message first ends it with Break().
class FtpProgressLine {
public:
    explicit FtpProgressLine(std::ostream& err) : err_(err) {}
    // file names the running transfer; a negative all.total leaves out the
    // queue's part (a single transfer).
    void Show(const std::string& name, const FtpProgressFigures& file,
              const FtpProgressFigures& all, bool force = false);
    // Ends a line that is shown, so the next output starts on its own line.
    void Break();

    // "512 B", "1.5 KiB", "3.25 MiB": sizes as the line shows them.
    static std::string SizeText(double bytes);
    // "00:01:05"; "--:--:--" when it cannot be told.
    static std::string TimeLeftText(double bytesLeft, double rate);

private:
    std::ostream& err_;
    bool shown_ = false;
    std::size_t width_ = 0; // of the line shown, to blank what a shorter one leaves
    std::chrono::steady_clock::time_point last_{};
};
