#pragma once
#include "base/Prompts.h"
#include "client/SiteRecord.h"

#include <optional>
#include <string>
#include <vector>

// A new site: passive data connections, which work behind NAT and
// firewalls where active ones fail; every other field empty.
inline SiteRecord NewSite() {
    SiteRecord site;
    site.Passive = true;
    return site;
}

// The client's list of known sites, kept in "vexa2sites.dat" in the program
// directory as a headerless sequence of SiteRecords in the order they were
// added. Every operation opens and closes the file; failures are shown
// through Prompts with the store's error texts.
class SiteStore {
public:
    SiteStore(std::string programDirectory, Prompts& prompts);

    std::string StorePath() const;

    // Converts an old-layout store, creates a missing one, and reads the names.
    const std::vector<std::string>& Load();
    const std::vector<std::string>& Names() const { return names_; }

    // The first stored record with exactly this name (an old-layout store
    // is read in memory, never converted here).
    std::optional<SiteRecord> Find(const std::string& name) const;

    // Writes the details over the stored record of the same name; a name not
    // in the store writes nothing. Returns whether a record was written.
    bool SaveDetails(const SiteRecord& details);

    // Each operation first saves the details of the site shown (when given),
    // then asks for a name; they return the new name, or nothing when
    // cancelled or failed.
    std::optional<std::string> New(const SiteRecord* shown);
    // Adds a site with every field of record under the name asked for, in
    // one write: the store never holds the name without the details.
    std::optional<std::string> Add(SiteRecord record);
    std::optional<std::string> Clone(const SiteRecord& shown);
    std::optional<std::string> Rename(SiteRecord& shown);
    // Removes every record of this name; the last one removes the file.
    void Delete(const std::string& name, const SiteRecord* shown);

    // When the store's size fits the old 320-byte layout, rewrites it as
    // current records (keeping the old file as "vexa2sites.old").
    // A store of current records that happens to have such a size stays.
    bool ConvertOldStore();

private:
    std::optional<std::string> AskUniqueName(const char* title, const char* prompt);
    bool AppendRecord(const SiteRecord& record);
    void Fail(const std::string& text);

    std::string directory_;
    Prompts& prompts_;
    std::vector<std::string> names_;
};
