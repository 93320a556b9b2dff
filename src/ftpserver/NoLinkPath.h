#pragma once
// Acting on the object a rights decision was made for. Every path the engine
// judges is canonical: it holds no symbolic link and no dot step. Reaching it
// again from "/" one component at a time without following any link finds the
// judged object or fails; a link swapped into the path after the decision
// (by another session of the same account) is never followed.
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

// The folder of a canonical path, held open by descriptor, and the path's
// last component. Throws FtpServerException with the system's text when a
// component is missing, is no directory or is a symbolic link.
class TNoLinkEntry {
public:
    explicit TNoLinkEntry(const std::string& canonicalPath);
    ~TNoLinkEntry();
    TNoLinkEntry(const TNoLinkEntry&) = delete;
    TNoLinkEntry& operator=(const TNoLinkEntry&) = delete;

    int Dir() const { return dir_; }
    // Empty for "/".
    const char* Name() const { return name_.c_str(); }

private:
    int dir_ = -1;
    std::string name_;
};

// Opens a canonical path with flags (O_NOFOLLOW is added) without following
// any link on the way; the descriptor, or FtpServerException with the
// system's text.
int OpenNoLinks(const std::string& canonicalPath, int flags, mode_t mode = 0666);

// The lstat data of a canonical path reached as TNoLinkEntry reaches it
// ("/" included); false when that fails.
bool StatNoLinks(const std::string& canonicalPath, struct stat& st);
