#pragma once
// Reading and splitting command lines of the control connection.
#include <string>
#include <vector>

// Longest command line accepted, without its line end (LF or CR LF).
inline constexpr std::size_t kMaxCommandLine = 2047;

// Collects received bytes into lines. A line split over several reads is
// put back together; a line longer than kMaxCommandLine is dropped and
// reported once, when its LF arrives. Memory held stays below one line.
class TLineAssembler {
public:
    struct Item {
        bool TooLong = false;
        std::string Line; // without LF; a CR before the LF is removed
    };
    std::vector<Item> Feed(const char* data, std::size_t len);
    void Clear();

private:
    std::string pending_;
    bool discarding_ = false;
};

// A line is plain (a command, not ciphertext) when its first three bytes are
// capitals A-Z and its fourth a space or a capital.
bool IsPlainLine(const std::string& line);

// Telnet sequences: 255 255 gives one 255; 255 and any other byte drop both.
std::string RemoveTelnetSequences(const std::string& line);

// Keyword (letters and digits, upper-cased, after any leading spaces and
// tabs) and parameters: everything after the one space or tab that follows
// the keyword, unchanged (leading and trailing blanks included).
void SplitCommand(const std::string& line, std::string& keyword, std::string& params);

// Six decimal numbers separated by commas, with optional spaces or tabs
// around each. Throws FtpServerException("unexpected char") otherwise, and
// for numbers above 255.
struct TPortArgument {
    std::string Address; // "a.b.c.d"
    int Port = 0;
};
TPortArgument ParsePortArgument(const std::string& params);

// Strict decimal integer for REST; throws FtpServerException with the
// conversion message.
long long ParseRestOffset(const std::string& params);

std::string Trim(const std::string& text);
std::string UpperCase(const std::string& text);
