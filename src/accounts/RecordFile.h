#pragma once
#include "accounts/AccountRecords.h"
#include "base/LogColour.h"

#include <optional>
#include <string>
#include <vector>

namespace accounts {

// A headerless file of fixed-size records (UserRecord or GroupRecord). Every
// operation opens the file, does its work and closes it again, so nothing is
// held open between events. A file whose size is not a whole number of
// records is damaged: its incomplete last record is not a record, it is never
// read past, and it is reported once in the server log. Every change
// rewrites the whole file all-or-nothing, so a crash leaves the old records
// or the new ones.
template <class Record> class RecordFile {
public:
    RecordFile(std::string path, LogWriter log) : path_(std::move(path)), log_(std::move(log)) {}

    const std::string& Path() const { return path_; }

    // Every record in file order; empty optional when the file cannot be opened.
    std::optional<std::vector<Record>> ReadAll() const;
    // The Name of every record in file order; empty optional when the file cannot be opened.
    std::optional<std::vector<std::string>> LoadNames() const;
    // The first record whose Name equals name exactly (length and bytes).
    std::optional<Record> Find(const std::string& name) const;
    bool Contains(const std::string& name) const { return Find(name).has_value(); }
    // Overwrites the first record of record.Name in place; false when the name
    // is empty, absent or the file cannot be written.
    bool WriteBack(const Record& record) const;
    // Writes a record after the last whole one, creating the file when missing.
    bool Append(const Record& record) const;
    // Gives the first record of oldName the name newName (cut to 40).
    bool RenameFirst(const std::string& oldName, const std::string& newName) const;
    // Removes every record of the name.
    bool DeleteByName(const std::string& name) const;
    // Counts of a file as it stands: whether it exists, its whole records and
    // the bytes of an incomplete last record (0 in a sound file).
    struct Shape {
        bool exists = false;
        long records = 0;
        long tailBytes = 0;
    };
    Shape Inspect() const;

private:
    bool WriteAll(const std::vector<Record>& records) const;
    void ReportDamage(long size) const;

    std::string path_;
    LogWriter log_;
    mutable long reportedSize_ = -1; // size of the damaged file already reported
};

extern template class RecordFile<UserRecord>;
extern template class RecordFile<GroupRecord>;

using UserFile = RecordFile<UserRecord>;
using GroupFile = RecordFile<GroupRecord>;

} // namespace accounts
