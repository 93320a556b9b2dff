#include "ftpserver/Replies.h"

std::string FormatReply(const char* pattern, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            if (next != args.end())
                out += *next++;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}
