#include "app/IniFile.h"

#include "app/AppTexts.h"
#include "base/FileIo.h"
#include "base/StoredFile.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Settings files are small; a larger one is refused rather than read whole.
constexpr off_t kMaxIniSize = 16 * 1024 * 1024;

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x < 128 && y < 128 ? std::tolower(x) != std::tolower(y) : x != y)
            return false;
    }
    return true;
}

// A value is one line: line breaks in it would start new entries.
std::string OneLine(const std::string& v) {
    std::string out;
    out.reserve(v.size());
    for (char c : v)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

} // namespace

IniFile::Line IniFile::Parse(const std::string& raw) {
    Line line;
    line.raw = raw;
    std::string t = Trim(raw);
    if (t.empty() || t[0] == ';')
        return line;
    if (t[0] == '[') {
        std::size_t close = t.find(']');
        line.isHeader = true;
        line.section =
            Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string::npos)
        return line;
    line.isEntry = true;
    line.key = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
    return line;
}

IniFile IniFile::FromText(const std::string& textIn) {
    IniFile ini;
    ini.exists_ = true;
    std::string text = textIn;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) // a UTF-8 byte-order mark is not part of the first line
        text.erase(0, 3);
    bool sawCrLf = false, sawLf = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (nl != std::string::npos) {
            if (!raw.empty() && raw.back() == '\r')
                sawCrLf = true;
            else
                sawLf = true;
        }
        // A file saved once more on another system may end its lines in
        // CR CR LF: every CR before the line end belongs to the line end.
        while (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        ini.lines_.push_back(Parse(raw));
        if (nl == std::string::npos) {
            ini.finalEol_ = false;
            break;
        }
        pos = nl + 1;
    }
    if (sawLf && !sawCrLf)
        ini.eol_ = "\n";
    return ini;
}

IniFile::LoadResult IniFile::Load(const std::string& path) {
    LoadResult result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            result.error = ErrnoText(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxIniSize) {
        result.error = S_ISDIR(st.st_mode) ? ErrnoText(EISDIR) : "not a regular settings file";
        ::close(fd);
        return result;
    }
    std::string text;
    const int readError = ReadToEnd(fd, text, static_cast<std::size_t>(kMaxIniSize));
    ::close(fd);
    if (readError != 0) {
        result.error = readError == EFBIG ? "file too large" : ErrnoText(readError);
        return result;
    }
    // A settings file never holds NUL bytes: such a file is some other file,
    // and is neither read nor written over.
    if (text.find('\0') != std::string::npos) {
        result.error = apptexts::kSettingsNotText;
        return result;
    }
    result.ini = FromText(text);
    return result;
}

std::string IniFile::ToText() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].raw;
        if (i + 1 < lines_.size() || finalEol_)
            out += eol_;
    }
    return out;
}

bool IniFile::FindSection(const std::string& section, std::size_t& header, std::size_t& end) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].isHeader && SameName(lines_[i].section, section)) {
            header = i;
            end = i + 1;
            while (end < lines_.size() && !lines_[end].isHeader)
                ++end;
            return true;
        }
    }
    return false;
}

bool IniFile::HasSection(const std::string& section) const {
    std::size_t h, e;
    return FindSection(section, h, e);
}

std::optional<std::string> IniFile::Read(const std::string& section, const std::string& key) const {
    std::size_t header, end;
    if (!FindSection(section, header, end))
        return std::nullopt;
    for (std::size_t i = header + 1; i < end; ++i)
        if (lines_[i].isEntry && SameName(lines_[i].key, key))
            return lines_[i].value;
    return std::nullopt;
}

void IniFile::Write(const std::string& section, const std::string& key,
                    const std::string& valueIn) {
    const std::string value = OneLine(valueIn);
    std::size_t header, end;
    if (!FindSection(section, header, end)) {
        lines_.push_back(Parse("[" + section + "]"));
        lines_.push_back(Parse(key + "=" + value));
        finalEol_ = true;
        return;
    }
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].isEntry && SameName(lines_[i].key, key)) {
            if (lines_[i].value != value)
                lines_[i] = Parse(key + "=" + value);
            return;
        }
        if (!Trim(lines_[i].raw).empty())
            insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Parse(key + "=" + value));
    if (insertAt == lines_.size() - 1)
        finalEol_ = true;
}

std::string IniFile::Save(const std::string& path) const {
    const std::string text = ToText();
    // A new settings file is readable by its owner only: it holds the private key.
    const int error = stored_file::WriteWhole(path, text, S_IRUSR | S_IWUSR);
    if (error == 0)
        return {};
    // A file we may write in a folder we may not: rewrite it in place.
    if (error != EACCES || ::access(path.c_str(), W_OK) != 0)
        return ErrnoText(error);
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return ErrnoText(errno);
    const int writeError = WriteAll(fd, text);
    if (::close(fd) != 0 && writeError == 0)
        return ErrnoText(errno);
    return writeError == 0 ? std::string() : ErrnoText(writeError);
}
