#pragma once
#include <string>
#include <vector>

// What a server said it supports in its answer to FEAT. A server that does
// not know FEAT (any other answer) supports none of it, and the client then
// speaks exactly the basic command set.
struct FtpFeatureSet {
    bool answered = false; // FEAT was answered with 211
    bool epsv = false;
    bool eprt = false;
    bool mlst = false; // MLST, and with it MLSD
    bool mdtm = false;
    bool mfmt = false;
    bool size = false;
    bool utf8 = false;
    bool restStream = false;
    std::string mlstFacts; // the facts as listed after MLST, "type*;size*;..."

    // Reads the lines of a FEAT reply: the 211- opening line, one feature
    // per line (each starting with a blank), and the closing 211 line.
    static FtpFeatureSet FromReplyLines(const std::vector<std::string>& lines);
};
