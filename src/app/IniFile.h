#pragma once
#include <optional>
#include <string>
#include <vector>

// An INI text in the format of the Windows private-profile functions:
// "[Section]" headers, "key=value" lines, ";" comments, CR LF or LF line
// ends. Sections and keys match case-insensitively, blanks around keys and
// values are ignored when reading, and the first of duplicate keys wins.
// Writing a key edits the text in place: an existing line is replaced only
// when its value changes, a new key goes after the last entry of its
// section, a new section at the end. Everything else (comments, unknown
// keys, blank lines, line-end style) is kept byte for byte.
class IniFile {
public:
    IniFile() = default;

    // Parses a text. Never fails: lines it cannot understand are kept and ignored.
    static IniFile FromText(const std::string& text);

    // Reads a file. An absent file gives an empty INI with exists() false;
    // a file that exists but cannot be read, or is not text, gives an error text.
    struct LoadResult;
    static LoadResult Load(const std::string& path);

    bool exists() const { return exists_; }
    std::string ToText() const;

    std::optional<std::string> Read(const std::string& section, const std::string& key) const;
    void Write(const std::string& section, const std::string& key, const std::string& value);
    bool HasSection(const std::string& section) const;

    // Writes the text to path through a temporary file and a rename, so a
    // failure never leaves a half-written file. A new file is readable by its
    // owner only (it holds the private key); an existing one keeps its mode.
    // Returns an empty string on success, else the reason.
    std::string Save(const std::string& path) const;

private:
    struct Line {
        std::string raw;     // the line without its line end
        std::string section; // for a header: its name, else empty
        std::string key;     // for an entry: its trimmed key, else empty
        std::string value;   // for an entry: its trimmed value
        bool isHeader = false;
        bool isEntry = false;
    };
    static Line Parse(const std::string& raw);
    // Index range [first, last) of the lines belonging to a section (after its header).
    bool FindSection(const std::string& section, std::size_t& header, std::size_t& end) const;

    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
    bool finalEol_ = true;
    bool exists_ = false;
};

struct IniFile::LoadResult {
    IniFile ini;
    std::string error; // empty when the file was read or is absent
};
