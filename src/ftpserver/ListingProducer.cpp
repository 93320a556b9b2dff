#include "ftpserver/ListingProducer.h"
#include "ftpserver/NoLinkPath.h"
#include "ftpserver/PathModel.h"
#include "ftpserver/Replies.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsDot(const std::string& name) {
    return name == "." || name == "..";
}

std::string ReadLinkAt(int dirFd, const std::string& name) {
    char buf[4096];
    const ssize_t n = ::readlinkat(dirFd, name.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

std::vector<TVirtualChild> VirtualChildren(const TVirtMapTable& maps, const std::string& folder) {
    const std::string shown = WithTrailingSlash(ShowVirtMap(maps, WithTrailingSlash(folder)));
    std::vector<TVirtualChild> children;
    for (const auto& entry : maps) {
        if (entry.DirPath.empty() || entry.VirtMap.empty())
            continue;
        const std::string virt = WithTrailingSlash(ClientName(entry.VirtMap));
        if (virt.size() <= shown.size() + 1 || !SameNoCase(virt.substr(0, shown.size()), shown))
            continue;
        const std::string name = virt.substr(shown.size(), virt.size() - shown.size() - 1);
        if (name.find('/') != std::string::npos || IsDot(name))
            continue;
        const bool known = std::any_of(children.begin(), children.end(),
                                       [&](const auto& c) { return SameNoCase(c.Name, name); });
        if (!known)
            children.push_back({name, entry.DirPath});
    }
    return children;
}

TListingProducer::TListingProducer(const std::string& path, bool detailed,
                                   const TPermaLinkTable& links, const TVirtMapTable& maps,
                                   TListingScope scope, std::vector<TVirtualChild> virtuals)
    : path_(path), detailed_(detailed), links_(links), maps_(maps), scope_(std::move(scope)),
      virtuals_(std::move(virtuals)), year_(CurrentYear()) {
    phase_ = Phase::Links;
    int folderFd = -1;
    try {
        if (path_ == "/") {
            folderFd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else {
            // SECURITY: reached one component at a time without following a
            // link, so what is listed is the folder that was judged.
            TNoLinkEntry entry(path_);
            struct stat st {};
            if (::fstatat(entry.Dir(), entry.Name(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISDIR(st.st_mode)) {
                    folderFd = ::openat(entry.Dir(), entry.Name(),
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                } else {
                    found_ = true;
                    entryName_ = entry.Name();
                    parentFd_ = ::dup(entry.Dir());
                    if (parentFd_ < 0)
                        found_ = false;
                }
            }
        }
    } catch (const std::exception&) {
        // Not reachable without a link, or missing: listed as missing.
    }
    if (folderFd >= 0) {
        dir_ = ::fdopendir(folderFd);
        if (dir_ == nullptr)
            ::close(folderFd);
    }
    if (dir_ != nullptr) {
        found_ = true;
        isFolder_ = true;
        StartPass();
    }
}

TListingProducer::~TListingProducer() {
    if (dir_ != nullptr)
        ::closedir(dir_);
    if (parentFd_ >= 0)
        ::close(parentFd_);
}

const TVirtualChild* TListingProducer::VirtualNamed(const std::string& name) const {
    for (const auto& v : virtuals_)
        if (SameNoCase(v.Name, name))
            return &v;
    return nullptr;
}

bool TListingProducer::IsWayChild(const std::string& name) const {
    const auto& names = scope_.WayNames;
    if (std::find(names.begin(), names.end(), name) == names.end())
        return false;
    struct stat st {};
    return ::fstatat(::dirfd(dir_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

void TListingProducer::SetMachineLines(TEntryLineMaker entry, TLinkLineMaker link) {
    machineEntry_ = std::move(entry);
    machineLink_ = std::move(link);
    if (dir_ != nullptr)
        StartPass();
}

bool TListingProducer::Shown(const std::string& name) const {
    if (machineEntry_)
        return true;
    if (!scope_.Pattern.empty() && ::fnmatch(scope_.Pattern.c_str(), name.c_str(), FNM_PERIOD) != 0)
        return false;
    // NLST names entries only; LIST shows "." and ".." but no hidden entry.
    if (!detailed_ && IsDot(name))
        return false;
    if (detailed_ && !name.empty() && name[0] == '.' && !IsDot(name))
        return false;
    return true;
}

void TListingProducer::StartPass() {
    phase_ = Phase::Select;
    heap_.clear();
    candidates_ = 0;
    ::rewinddir(dir_);
    // Folders mounted here are shown as folders, sorted in with the others.
    for (const auto& v : virtuals_)
        if (Shown(v.Name))
            Consider(v.Name);
}

void TListingProducer::Consider(const std::string& name) {
    if (haveLast_ && !(last_ < name))
        return;
    ++candidates_;
    if (heap_.size() < batchLimit_) {
        heap_.push_back(name);
        std::push_heap(heap_.begin(), heap_.end());
    } else if (name < heap_.front()) {
        std::pop_heap(heap_.begin(), heap_.end());
        heap_.back() = name;
        std::push_heap(heap_.begin(), heap_.end());
    }
}

void TListingProducer::SelectSlice() {
    for (int i = 0; i < kEntriesPerSlice; ++i) {
        const dirent* e = ::readdir(dir_);
        if (e == nullptr) {
            std::sort_heap(heap_.begin(), heap_.end());
            batch_.swap(heap_);
            heap_.clear();
            batchPos_ = 0;
            lastPass_ = candidates_ <= batchLimit_;
            phase_ = batch_.empty() ? Phase::Links : Phase::Emit;
            if (!batch_.empty()) {
                last_ = batch_.back();
                haveLast_ = true;
            }
            return;
        }
        const std::string name = e->d_name;
        if (!Shown(name) || VirtualNamed(name) != nullptr)
            continue;
        // SECURITY: a folder passed through without rights shows only the
        // real folders on the way to a grant.
        if (scope_.WayOnly && !IsWayChild(name))
            continue;
        Consider(name);
    }
}

std::string TListingProducer::EntryLine(const std::string& name) const {
    if (const TVirtualChild* v = VirtualNamed(name)) {
        struct stat st {};
        if (::stat(v->LocalFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return {};
        if (machineEntry_)
            return machineEntry_(name, st);
        return detailed_ ? FormatListLine(name, st, "", year_) : name + "\r\n";
    }
    if (!detailed_ && !machineEntry_)
        return name + "\r\n";
    struct stat st {};
    if (::fstatat(::dirfd(dir_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    if (machineEntry_)
        return machineEntry_(name, st);
    const std::string target = S_ISLNK(st.st_mode) ? ReadLinkAt(::dirfd(dir_), name) : "";
    return FormatListLine(name, st, target, year_);
}

void TListingProducer::EmitSlice() {
    for (int i = 0; i < kLinesPerSlice && batchPos_ < batch_.size(); ++i)
        Write(EntryLine(batch_[batchPos_++]));
    if (batchPos_ < batch_.size())
        return;
    batch_.clear();
    if (lastPass_)
        phase_ = Phase::Links;
    else
        StartPass();
}

void TListingProducer::AddLinks() {
    if (scope_.WayOnly)
        return;
    const auto shown = [&](const std::string& name) {
        return scope_.Pattern.empty() ||
               ::fnmatch(scope_.Pattern.c_str(), name.c_str(), FNM_PERIOD) == 0;
    };
    for (const auto& link : links_) {
        if (link.DirPath.empty() || !shown(link.LinkName))
            continue;
        if (isFolder_ && WithTrailingSlash(link.DirPath) == WithTrailingSlash(path_))
            continue;
        if (machineLink_) {
            Write(machineLink_(link.LinkName, link.DirPath));
            continue;
        }
        Write(detailed_ ? FormatPermaLinkLine(link.LinkName, ShowVirtMap(maps_, link.DirPath))
                        : link.LinkName + "\r\n");
    }
}

std::string TListingProducer::NotFound() const {
    // Nothing of that name: NLST and MLSD send no name, LIST says so.
    if (!detailed_ || machineEntry_)
        return {};
    const std::string searched =
        scope_.Pattern.empty() ? path_ : WithTrailingSlash(path_) + scope_.Pattern;
    return searched + replies::kNotFoundSuffix + "\r\n";
}

void TListingProducer::Write(const std::string& text) {
    if (text.empty())
        return;
    wroteAny_ = true;
    pending_ += text;
}

bool TListingProducer::Produce(std::string& out) {
    switch (phase_) {
    case Phase::Select:
        SelectSlice();
        break;
    case Phase::Emit:
        EmitSlice();
        break;
    case Phase::Links:
        if (!found_) {
            if (!scope_.WayOnly)
                Write(NotFound());
            phase_ = Phase::Done;
            break;
        }
        if (!isFolder_ && !scope_.WayOnly && !machineEntry_) {
            const std::string name = entryName_;
            if (!detailed_) {
                Write(name + "\r\n");
            } else {
                struct stat st {};
                if (::fstatat(parentFd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                    Write(FormatListLine(
                        name, st, S_ISLNK(st.st_mode) ? ReadLinkAt(parentFd_, name) : "", year_));
            }
        }
        AddLinks();
        phase_ = Phase::Finish;
        break;
    case Phase::Finish:
        if (!wroteAny_ && !scope_.WayOnly)
            Write(NotFound());
        phase_ = Phase::Done;
        break;
    case Phase::Done:
        break;
    }
    if (phase_ == Phase::Done) {
        out += pending_;
        pending_.clear();
        return true;
    }
    const std::size_t whole = pending_.size() / kBlock * kBlock;
    if (whole > 0) {
        out.append(pending_, 0, whole);
        pending_.erase(0, whole);
    }
    return false;
}
