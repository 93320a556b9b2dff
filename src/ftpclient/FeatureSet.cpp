#include "ftpclient/FeatureSet.h"

#include <cctype>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

FtpFeatureSet FtpFeatureSet::FromReplyLines(const std::vector<std::string>& lines) {
    FtpFeatureSet set;
    if (lines.empty() || lines.back().rfind("211", 0) != 0)
        return set;
    set.answered = true;
    for (const std::string& raw : lines) {
        // Feature lines start with a blank; the coded lines around them
        // ("211-Features:", "211 End") name none.
        if (raw.empty() || raw[0] != ' ')
            continue;
        std::string line = raw;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        line = line.substr(start);
        const std::size_t blank = line.find(' ');
        const std::string name = Upper(line.substr(0, blank));
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (name == "EPSV")
            set.epsv = true;
        else if (name == "EPRT")
            set.eprt = true;
        else if (name == "MLST") {
            set.mlst = true;
            set.mlstFacts = rest;
        } else if (name == "MDTM")
            set.mdtm = true;
        else if (name == "MFMT")
            set.mfmt = true;
        else if (name == "SIZE")
            set.size = true;
        else if (name == "UTF8")
            set.utf8 = true;
        else if (name == "REST" && Upper(rest).rfind("STREAM", 0) == 0)
            set.restStream = true;
    }
    return set;
}
