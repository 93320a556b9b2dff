#pragma once
#include <optional>
#include <string>

// The data folder holds the settings file, the account files, the server
// lists, the site store and the key files. It is "--data-dir DIR" when given
// (relative to the current folder), else $XDG_DATA_HOME/vexa2/; it is never
// the executable's folder. The path always ends in "/".
struct DataFolderResult {
    std::string path;  // absolute, ending in "/"; empty on failure
    std::string error; // the reason when path is empty
};

// Works out the folder and creates it (owner-only) when missing.
DataFolderResult ResolveDataFolder(const std::optional<std::string>& dataDirOption);

// The folder lock "vexa2.lock": a running program holds an exclusive
// advisory lock on it and keeps its process id in it. The kernel drops the
// lock when the process ends in any way, so a lock file left by a dead
// process is simply taken over. A second program on the same folder is
// refused with a message naming the holder's process id.
class DataFolderLock {
public:
    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // folder ends in "/". False with Error() set when another process holds
    // the lock or the lock file cannot be opened.
    bool Acquire(const std::string& folder);
    // Removes the lock file and drops the lock; done by the destructor too.
    void Release();

    bool Held() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }
    // The process id found in a lock file that was taken over from a dead
    // process, if there was one.
    std::optional<long> TakenOverFrom() const { return takenOverFrom_; }

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
    std::optional<long> takenOverFrom_;
};

// The process id written in a folder's lock file, if the file holds one.
std::optional<long> ReadLockOwner(const std::string& folder);
