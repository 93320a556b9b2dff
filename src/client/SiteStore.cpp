#include "client/SiteStore.h"

#include "base/PathText.h"
#include "base/StoredFile.h"
#include "client/SiteStoreTexts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

using namespace site_texts;
namespace fs = std::filesystem;

namespace {
// Reads whole records from a file; a trailing partial record is reported
// through truncated and never read.
std::vector<SiteRecord::Bytes> ReadAll(const std::string& path, bool& opened, bool& truncated) {
    std::vector<SiteRecord::Bytes> records;
    std::ifstream in(path, std::ios::binary);
    opened = static_cast<bool>(in);
    truncated = false;
    if (!opened)
        return records;
    SiteRecord::Bytes bytes{};
    while (in.read(reinterpret_cast<char*>(bytes.data()), SiteRecord::kSize))
        records.push_back(bytes);
    truncated = in.gcount() != 0;
    return records;
}

// Writes the whole store all-or-nothing: a crash leaves the old store or the
// new one, never a shortened one.
bool WriteAll(const std::string& path, const std::vector<SiteRecord::Bytes>& records) {
    std::string bytes;
    bytes.reserve(records.size() * SiteRecord::kSize);
    for (const auto& record : records)
        bytes.append(reinterpret_cast<const char*>(record.data()), SiteRecord::kSize);
    return stored_file::WritePrivate(path, bytes) == 0;
}

bool AllLookLikeCurrentRecords(const std::string& path, std::uintmax_t size) {
    if (size == 0 || size % SiteRecord::kSize != 0)
        return false;
    bool opened = false, truncated = false;
    auto records = ReadAll(path, opened, truncated);
    return opened && !truncated && std::all_of(records.begin(), records.end(), [](const auto& b) {
               return SiteRecord::LooksValid(b.data()) && b[0] != 0;
           });
}
} // namespace

SiteStore::SiteStore(std::string programDirectory, Prompts& prompts)
    : directory_(std::move(programDirectory)), prompts_(prompts) {
    if (!directory_.empty())
        directory_ = WithTrailingSlash(directory_);
}

std::string SiteStore::StorePath() const {
    return directory_ + kStoreFile;
}

void SiteStore::Fail(const std::string& text) {
    prompts_.Inform(kErrorTitle, text);
}

bool SiteStore::ConvertOldStore() {
    std::error_code ec;
    const std::string path = StorePath();
    if (!fs::exists(path, ec))
        return false;
    std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size % SiteRecord::kOldSize != 0)
        return false;
    // 9,920 bytes is both 31 old and 20 current records: keep a store whose
    // records all read as current ones.
    if (AllLookLikeCurrentRecords(path, size))
        return false;
    const std::string oldPath = directory_ + kOldStoreFile;
    if (stored_file::CopyPrivate(path, oldPath) != 0) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return false;
    }
    std::ifstream in(oldPath, std::ios::binary);
    std::vector<SiteRecord::Bytes> converted;
    std::array<std::uint8_t, SiteRecord::kOldSize> old{};
    while (in.read(reinterpret_cast<char*>(old.data()), SiteRecord::kOldSize))
        converted.push_back(SiteRecord::FromOldBytes(old.data()).ToBytes());
    if (!WriteAll(path, converted)) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return false;
    }
    return true;
}

const std::vector<std::string>& SiteStore::Load() {
    names_.clear();
    for (const std::string& path :
         {StorePath(), directory_ + kOldStoreFile, directory_ + kDeleteCopyFile})
        stored_file::RemoveLeftovers(path);
    ConvertOldStore();
    const std::string path = StorePath();
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (!WriteAll(path, {})) {
            Fail(kCouldNotCreatePrefix + path + kCouldNotCreateListSuffix);
            return names_;
        }
    }
    bool opened = false, truncated = false;
    auto records = ReadAll(path, opened, truncated);
    for (const auto& bytes : records)
        names_.push_back(SiteRecord::FromBytes(bytes.data()).Name);
    if (!opened || truncated)
        Fail(kCorruptPrefix + path + kCorruptSuffix);
    return names_;
}

std::optional<SiteRecord> SiteStore::Find(const std::string& name) const {
    // A store still in the old layout is read as it is, converted in
    // memory: looking a site up never writes.
    const std::string path = StorePath();
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size % SiteRecord::kOldSize == 0 && !AllLookLikeCurrentRecords(path, size)) {
        std::ifstream in(path, std::ios::binary);
        std::array<std::uint8_t, SiteRecord::kOldSize> old{};
        while (in.read(reinterpret_cast<char*>(old.data()), SiteRecord::kOldSize)) {
            SiteRecord record = SiteRecord::FromOldBytes(old.data());
            if (record.Name == name)
                return record;
        }
        return std::nullopt;
    }
    bool opened = false, truncated = false;
    for (const auto& bytes : ReadAll(path, opened, truncated)) {
        SiteRecord record = SiteRecord::FromBytes(bytes.data());
        if (record.Name == name)
            return record;
    }
    return std::nullopt;
}

bool SiteStore::SaveDetails(const SiteRecord& details) {
    const std::string path = StorePath();
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false;
    bool opened = false, truncated = false;
    auto records = ReadAll(path, opened, truncated);
    if (!opened) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return false;
    }
    for (auto& bytes : records) {
        if (SiteRecord::FromBytes(bytes.data()).Name == details.Name) {
            bytes = details.ToBytes();
            if (WriteAll(path, records))
                return true;
            Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
            return false;
        }
    }
    return false;
}

std::optional<std::string> SiteStore::AskUniqueName(const char* title, const char* prompt) {
    for (;;) {
        auto answer = prompts_.AskText(title, prompt, "");
        if (!answer || answer->empty())
            return std::nullopt;
        std::string name = answer->substr(0, site_layout::kName.capacity);
        if (std::find(names_.begin(), names_.end(), name) == names_.end())
            return name;
        if (!prompts_.Confirm(kErrorTitle, kNameNotUnique))
            return std::nullopt;
    }
}

bool SiteStore::AppendRecord(const SiteRecord& record) {
    bool opened = false, truncated = false;
    auto records = ReadAll(StorePath(), opened, truncated);
    if (!opened) {
        Fail(kCouldNotOpenPrefix + StorePath() + kCannotAddSuffix);
        return false;
    }
    records.push_back(record.ToBytes());
    if (!WriteAll(StorePath(), records)) {
        Fail(kCouldNotOpenPrefix + StorePath() + kCannotAddSuffix);
        return false;
    }
    names_.push_back(record.Name);
    return true;
}

std::optional<std::string> SiteStore::New(const SiteRecord* shown) {
    if (shown)
        SaveDetails(*shown);
    return Add(NewSite());
}

std::optional<std::string> SiteStore::Add(SiteRecord record) {
    auto name = AskUniqueName(kAddTitle, kAddPrompt);
    if (!name)
        return std::nullopt;
    std::error_code ec;
    if (!fs::exists(StorePath(), ec)) {
        if (!WriteAll(StorePath(), {})) {
            Fail(kCouldNotCreatePrefix + StorePath() + kCannotAddSuffix);
            return std::nullopt;
        }
    }
    record.Name = *name;
    if (!AppendRecord(record))
        return std::nullopt;
    return name;
}

std::optional<std::string> SiteStore::Clone(const SiteRecord& shown) {
    SaveDetails(shown);
    auto name = AskUniqueName(kCloneTitle, kNewNamePrompt);
    if (!name)
        return std::nullopt;
    SiteRecord copy = shown;
    copy.Name = *name;
    if (!AppendRecord(copy))
        return std::nullopt;
    return name;
}

std::optional<std::string> SiteStore::Rename(SiteRecord& shown) {
    SaveDetails(shown);
    auto name = AskUniqueName(kRenameTitle, kNewNamePrompt);
    if (!name)
        return std::nullopt;
    const std::string oldName = shown.Name;
    SiteRecord renamed = shown;
    renamed.Name = *name;
    // Rewrite the stored record of the old name under the new one.
    const std::string path = StorePath();
    bool opened = false, truncated = false;
    auto records = ReadAll(path, opened, truncated);
    if (!opened) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return std::nullopt;
    }
    for (auto& bytes : records) {
        if (SiteRecord::FromBytes(bytes.data()).Name == oldName) {
            bytes = renamed.ToBytes();
            break;
        }
    }
    if (!WriteAll(path, records)) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return std::nullopt;
    }
    std::replace(names_.begin(), names_.end(), oldName, *name);
    shown = renamed;
    return name;
}

void SiteStore::Delete(const std::string& name, const SiteRecord* shown) {
    if (shown)
        SaveDetails(*shown);
    const std::string path = StorePath();
    const std::string copyPath = directory_ + kDeleteCopyFile;
    if (stored_file::CopyPrivate(path, copyPath) != 0) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return;
    }
    bool opened = false, truncated = false;
    std::vector<SiteRecord::Bytes> kept;
    for (const auto& bytes : ReadAll(copyPath, opened, truncated))
        if (SiteRecord::FromBytes(bytes.data()).Name != name)
            kept.push_back(bytes);
    std::error_code ec;
    if (kept.empty()) {
        fs::remove(path, ec);
    } else if (!WriteAll(path, kept)) {
        Fail(kCouldNotOpenPrefix + path + kChangesNotWrittenSuffix);
        return;
    }
    names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
}
