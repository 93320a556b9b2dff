#include "accounts/RecordFile.h"

#include "accounts/AccountTexts.h"
#include "accounts/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace accounts {

namespace {

// Small RAII wrapper so every path through an operation closes the file.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    bool Ok() const { return fd >= 0; }
};

bool ReadExactly(int fd, char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAt(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

long FileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    return static_cast<long>(st.st_size);
}

} // namespace

template <class Record> void RecordFile<Record>::ReportDamage(long size) const {
    if (reportedSize_ == size)
        return;
    reportedSize_ = size;
    if (log_)
        log_(logServer, texts::DamagedRecordFile(path_, size % static_cast<long>(sizeof(Record))),
             colours::clRed);
}

template <class Record> std::optional<std::vector<Record>> RecordFile<Record>::ReadAll() const {
    Fd f(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!f.Ok())
        return std::nullopt;
    long size = FileSize(f.fd);
    if (size < 0)
        return std::nullopt;
    std::vector<Record> records;
    long whole = size / static_cast<long>(sizeof(Record));
    if (size % static_cast<long>(sizeof(Record)) != 0)
        ReportDamage(size);
    else
        reportedSize_ = -1;
    records.reserve(static_cast<std::size_t>(whole));
    char buffer[sizeof(Record)];
    for (long i = 0; i < whole; ++i) {
        // SECURITY: the count comes from the size checked above; a file that
        // shrinks meanwhile ends the read instead of running past its end.
        if (!ReadExactly(f.fd, buffer, sizeof buffer))
            break;
        records.push_back(RecordFromBytes<Record>(buffer));
    }
    return records;
}

template <class Record>
std::optional<std::vector<std::string>> RecordFile<Record>::LoadNames() const {
    auto records = ReadAll();
    if (!records)
        return std::nullopt;
    std::vector<std::string> names;
    names.reserve(records->size());
    for (const auto& r : *records)
        names.push_back(r.Name.Get());
    return names;
}

template <class Record>
std::optional<Record> RecordFile<Record>::Find(const std::string& name) const {
    auto records = ReadAll();
    if (!records)
        return std::nullopt;
    for (const auto& r : *records)
        if (r.Name.Equals(name))
            return r;
    return std::nullopt;
}

template <class Record> long RecordFile<Record>::FindOffset(const std::string& name) const {
    auto records = ReadAll();
    if (!records)
        return -1;
    for (std::size_t i = 0; i < records->size(); ++i)
        if ((*records)[i].Name.Equals(name))
            return static_cast<long>(i * sizeof(Record));
    return -1;
}

template <class Record> bool RecordFile<Record>::WriteBack(const Record& record) const {
    if (record.Name.Empty())
        return false;
    long offset = FindOffset(record.Name.Get());
    if (offset < 0)
        return false;
    Fd f(::open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    if (!f.Ok())
        return false;
    return WriteAt(f.fd, reinterpret_cast<const char*>(&record), sizeof(Record), offset);
}

template <class Record> bool RecordFile<Record>::Append(const Record& record) const {
    Fd f(::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!f.Ok())
        return false;
    long size = FileSize(f.fd);
    if (size < 0)
        return false;
    // After the last whole record: an incomplete tail of a damaged file is
    // dropped, so the new record and every later one stay aligned.
    long offset = size - size % static_cast<long>(sizeof(Record));
    if (offset != size && ::ftruncate(f.fd, offset) != 0)
        return false;
    return WriteAt(f.fd, reinterpret_cast<const char*>(&record), sizeof(Record), offset);
}

template <class Record>
bool RecordFile<Record>::RenameFirst(const std::string& oldName, const std::string& newName) const {
    auto record = Find(oldName);
    long offset = FindOffset(oldName);
    if (!record || offset < 0)
        return false;
    record->Name.Set(newName);
    Fd f(::open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    if (!f.Ok())
        return false;
    return WriteAt(f.fd, reinterpret_cast<const char*>(&record->Name), sizeof(record->Name),
                   offset);
}

template <class Record> bool RecordFile<Record>::DeleteByName(const std::string& name) const {
    const std::string companion = path_ + ".tmp";
    if (!CopyFile(path_, companion))
        return false;
    RecordFile<Record> copy(companion, {});
    auto records = copy.ReadAll();
    bool ok = records.has_value();
    if (ok) {
        Fd f(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        ok = f.Ok();
        off_t offset = 0;
        for (const auto& r : *records) {
            if (!ok)
                break;
            if (r.Name.Equals(name))
                continue;
            ok = WriteAt(f.fd, reinterpret_cast<const char*>(&r), sizeof(Record), offset);
            offset += static_cast<off_t>(sizeof(Record));
        }
    }
    std::remove(companion.c_str());
    return ok;
}

template class RecordFile<UserRecord>;
template class RecordFile<GroupRecord>;

} // namespace accounts
