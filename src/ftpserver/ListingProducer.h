#pragma once
// A listing produced a slice at a time, so that one large folder never holds
// the loop or the memory of the server: the folder is read a slice of entries
// per call, and the text goes out in blocks as the data connection takes it.
//
// Lines come in name order (byte order), as a listing built whole would give
// them. Memory stays bounded whatever the folder's size: a folder of more
// names than one batch holds is read in several passes, each taking the next
// batch of names in order (the names after the last one sent).
#include "ftpserver/DirectoryListing.h"

#include <dirent.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A folder mounted into the listed one under a virtual path: the name it is
// shown by and its local folder.
struct TVirtualChild {
    std::string Name;
    std::string LocalFolder;
};

class TListingProducer {
public:
    // Opens the canonical path now, without following any symbolic link on
    // the way (a link swapped into a judged path is never listed through).
    // A path that cannot be reached lists as missing.
    TListingProducer(const std::string& path, bool detailed, const TPermaLinkTable& links,
                     const TVirtMapTable& maps, TListingScope scope,
                     std::vector<TVirtualChild> virtuals);
    ~TListingProducer();
    TListingProducer(const TListingProducer&) = delete;
    TListingProducer& operator=(const TListingProducer&) = delete;

    // Text is handed out in whole blocks of this size (only the last one is
    // shorter), so a cipher that works block by block sees the same blocks.
    static constexpr std::size_t kBlock = 2048;
    // Names held per pass, entries read per slice and lines made per slice.
    static constexpr std::size_t kDefaultBatch = 4096;
    static constexpr int kEntriesPerSlice = 4096;
    static constexpr int kLinesPerSlice = 512;

    // Does one slice of work and moves the finished whole blocks into out
    // (appended). True once everything has been moved out.
    bool Produce(std::string& out);
    // Makes this a machine listing (MLSD): every entry of the folder, hidden
    // ones and "." and ".." included, written by entry (with its lstat
    // data; a virtual folder with that of its local folder), then each
    // permanent link written by link (name, local folder). A path that is
    // not a folder lists nothing. Call before the first Produce.
    using TEntryLineMaker = std::function<std::string(const std::string& name, const struct stat&)>;
    using TLinkLineMaker =
        std::function<std::string(const std::string& linkName, const std::string& folder)>;
    void SetMachineLines(TEntryLineMaker entry, TLinkLineMaker link);
    // Smaller batches, to test folders read in many passes.
    void SetBatchLimit(std::size_t names) { batchLimit_ = names == 0 ? 1 : names; }

private:
    enum class Phase { Select, Emit, Links, Finish, Done };
    void StartPass();
    void SelectSlice();
    void EmitSlice();
    void Consider(const std::string& name);
    bool Shown(const std::string& name) const;
    bool IsWayChild(const std::string& name) const;
    const TVirtualChild* VirtualNamed(const std::string& name) const;
    std::string EntryLine(const std::string& name) const;
    void AddLinks();
    std::string NotFound() const;
    void Write(const std::string& text);

    std::string path_;
    bool detailed_;
    TPermaLinkTable links_;
    TVirtMapTable maps_;
    TListingScope scope_;
    std::vector<TVirtualChild> virtuals_;
    int year_;
    TEntryLineMaker machineEntry_;
    TLinkLineMaker machineLink_;

    bool found_ = false; // the path was reached
    bool isFolder_ = false;
    int parentFd_ = -1; // the folder holding a single listed entry
    std::string entryName_;
    DIR* dir_ = nullptr;

    Phase phase_ = Phase::Done;
    std::size_t batchLimit_ = kDefaultBatch;
    std::vector<std::string> heap_;  // the smallest names of this pass (max-heap)
    std::size_t candidates_ = 0;     // names this pass considered
    std::vector<std::string> batch_; // the names being written, in order
    std::size_t batchPos_ = 0;
    bool lastPass_ = false;
    bool haveLast_ = false;
    std::string last_; // the last name written
    bool wroteAny_ = false;
    std::string pending_;
};

// The folders mounted directly in the local folder through the virtual
// paths of maps (matched case-insensitively, first entry of a name wins);
// a virtual path whose local folder is missing is not shown.
std::vector<TVirtualChild> VirtualChildren(const TVirtMapTable& maps, const std::string& folder);
