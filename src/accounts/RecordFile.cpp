#include "accounts/RecordFile.h"

#include "accounts/AccountTexts.h"
#include "accounts/FileCopy.h"
#include "base/FileIo.h"
#include "base/StoredFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

template <class Record> typename RecordFile<Record>::Shape RecordFile<Record>::Inspect() const {
    Shape shape;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
        return shape;
    shape.exists = true;
    const long size = static_cast<long>(st.st_size);
    shape.records = size / static_cast<long>(sizeof(Record));
    shape.tailBytes = size % static_cast<long>(sizeof(Record));
    return shape;
}

template <class Record>
bool RecordFile<Record>::WriteAll(const std::vector<Record>& records) const {
    std::string bytes;
    bytes.reserve(records.size() * sizeof(Record));
    for (const auto& r : records)
        bytes.append(reinterpret_cast<const char*>(&r), sizeof(Record));
    return stored_file::WritePrivate(path_, bytes) == 0;
}

template <class Record> bool RecordFile<Record>::WriteBack(const Record& record) const {
    if (record.Name.Empty())
        return false;
    auto records = ReadAll();
    if (!records)
        return false;
    for (auto& r : *records)
        if (r.Name.Equals(record.Name.Get())) {
            r = record;
            return WriteAll(*records);
        }
    return false;
}

template <class Record> bool RecordFile<Record>::Append(const Record& record) const {
    // A missing file is created; an incomplete tail of a damaged file is
    // dropped, so the new record and every later one stay aligned.
    std::vector<Record> records;
    if (FileExists(path_)) {
        auto existing = ReadAll();
        if (!existing)
            return false;
        records = std::move(*existing);
    }
    records.push_back(record);
    return WriteAll(records);
}

template <class Record>
bool RecordFile<Record>::RenameFirst(const std::string& oldName, const std::string& newName) const {
    auto records = ReadAll();
    if (!records)
        return false;
    for (auto& r : *records)
        if (r.Name.Equals(oldName)) {
            r.Name.Set(newName);
            return WriteAll(*records);
        }
    return false;
}

template <class Record> bool RecordFile<Record>::DeleteByName(const std::string& name) const {
    auto records = ReadAll();
    if (!records)
        return false;
    std::erase_if(*records, [&](const Record& r) { return r.Name.Equals(name); });
    return WriteAll(*records);
}

template class RecordFile<UserRecord>;
template class RecordFile<GroupRecord>;

} // namespace accounts
