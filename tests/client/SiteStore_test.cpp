#include "Peers.h"
#include "ScriptedPrompts.h"
#include "TempDir.h"
#include "client/SiteStore.h"
#include "support/WriteStops.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using testing_support::ReadFile;
using testing_support::ScriptedPrompts;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
// Writes a length-prefixed text at an offset, as the store keeps it.
void PutShort(std::string& bytes, size_t offset, const std::string& text) {
    bytes[offset] = static_cast<char>(text.size());
    bytes.replace(offset + 1, text.size(), text);
}

// A current record built field by field at the documented offsets.
std::string CurrentRecordFixture(const std::string& name) {
    std::string r(496, '\0');
    PutShort(r, 0, name);
    PutShort(r, 41, "ftp.example.org");
    PutShort(r, 122, "2121");
    PutShort(r, 128, "alice");
    PutShort(r, 169, "secret");
    r[212] = 3; // login type 3, little-endian
    r[216] = 1; // encryption mandatory
    r[217] = 1; // passive
    PutShort(r, 218, "the shared key");
    PutShort(r, 320, "socks.local");
    PutShort(r, 361, "1080");
    PutShort(r, 367, "sockuser");
    PutShort(r, 408, "sockpass");
    PutShort(r, 449, "proxy.local");
    r[491] = 1; // no socks
    r[492] = 1; // no RSA
    return r;
}

std::string OldRecordFixture(const std::string& name) {
    std::string r(320, '\0');
    PutShort(r, 0, name);
    PutShort(r, 41, "old.example.org");
    PutShort(r, 122, "21");
    PutShort(r, 128, "bob");
    PutShort(r, 169, "pw");
    r[212] = 2;
    r[217] = 1;
    PutShort(r, 218, "old key");
    return r;
}
} // namespace

TEST(SiteRecord, ReadsAndWritesTheDocumentedLayout) {
    std::string fixture = CurrentRecordFixture("Home");
    SiteRecord r = SiteRecord::FromBytes(reinterpret_cast<const uint8_t*>(fixture.data()));
    EXPECT_EQ(r.Name, "Home");
    EXPECT_EQ(r.Host, "ftp.example.org");
    EXPECT_EQ(r.Port, "2121");
    EXPECT_EQ(r.UserName, "alice");
    EXPECT_EQ(r.Password, "secret");
    EXPECT_EQ(r.LoginType, 3);
    EXPECT_TRUE(r.EncryptionMandatory);
    EXPECT_TRUE(r.Passive);
    EXPECT_EQ(r.EncryptionKey, "the shared key");
    EXPECT_EQ(r.SocksServer, "socks.local");
    EXPECT_EQ(r.SocksPort, "1080");
    EXPECT_EQ(r.SocksUsername, "sockuser");
    EXPECT_EQ(r.SocksPassword, "sockpass");
    EXPECT_EQ(r.ProxyServer, "proxy.local");
    EXPECT_TRUE(r.NoSocks);
    EXPECT_TRUE(r.NoRSA);
    auto bytes = r.ToBytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), fixture);

    SiteRecord longTexts;
    longTexts.Name = std::string(50, 'n');
    longTexts.Port = "1234567";
    longTexts.EncryptionKey = std::string(90, 'k');
    SiteRecord back = SiteRecord::FromBytes(longTexts.ToBytes().data());
    EXPECT_EQ(back.Name, std::string(40, 'n'));
    EXPECT_EQ(back.Port, "12345");
    EXPECT_EQ(back.EncryptionKey, std::string(80, 'k'));
}

TEST(SiteStore, ConvertsOldLayoutAndKeepsTwentyCurrentRecords) {
    TempDir dir;
    ScriptedPrompts prompts;
    {
        WriteFile(dir.File("vexa2sites.dat"), OldRecordFixture("One") + OldRecordFixture("Two"));
        SiteStore store(dir.Path(), prompts);
        EXPECT_EQ(store.Load(), (std::vector<std::string>{"One", "Two"}));
        EXPECT_EQ(ReadFile(dir.File("vexa2sites.dat")).size(), 2u * 496);
        EXPECT_EQ(ReadFile(dir.File("vexa2sites.old")).size(), 2u * 320);
        auto two = store.Find("Two");
        ASSERT_TRUE(two);
        EXPECT_EQ(two->Host, "old.example.org");
        EXPECT_EQ(two->LoginType, 2);
        EXPECT_TRUE(two->Passive);
        EXPECT_EQ(two->EncryptionKey, "old key");
        EXPECT_TRUE(two->SocksServer.empty());
    }
    {
        // 20 current records are 9,920 bytes, a multiple of 320 too.
        std::string twenty;
        for (int i = 0; i < 20; ++i)
            twenty += CurrentRecordFixture("Site" + std::to_string(i));
        ASSERT_EQ(twenty.size(), 9920u);
        TempDir other;
        WriteFile(other.File("vexa2sites.dat"), twenty);
        SiteStore store(other.Path(), prompts);
        EXPECT_EQ(store.Load().size(), 20u);
        EXPECT_EQ(ReadFile(other.File("vexa2sites.dat")), twenty);
        EXPECT_FALSE(std::filesystem::exists(other.File("vexa2sites.old")));
    }
    {
        // 31 old records are 9,920 bytes as well, and are converted.
        std::string old;
        for (int i = 0; i < 31; ++i)
            old += OldRecordFixture("Old" + std::to_string(i));
        TempDir other;
        WriteFile(other.File("vexa2sites.dat"), old);
        SiteStore store(other.Path(), prompts);
        EXPECT_EQ(store.Load().size(), 31u);
        EXPECT_EQ(ReadFile(other.File("vexa2sites.dat")).size(), 31u * 496);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(SiteStore, EmptyStoreConvertsToEmptyAndMissingStoreIsCreated) {
    TempDir dir;
    ScriptedPrompts prompts;
    WriteFile(dir.File("vexa2sites.dat"), "");
    SiteStore store(dir.Path(), prompts);
    EXPECT_TRUE(store.Load().empty());
    EXPECT_TRUE(std::filesystem::exists(dir.File("vexa2sites.old")));
    EXPECT_EQ(std::filesystem::file_size(dir.File("vexa2sites.dat")), 0u);

    TempDir fresh;
    SiteStore created(fresh.Path(), prompts);
    EXPECT_TRUE(created.Load().empty());
    EXPECT_TRUE(std::filesystem::exists(fresh.File("vexa2sites.dat")));
}

TEST(SiteStore, DamagedStoreIsReportedAndNeverReadPastItsEnd) {
    TempDir dir;
    ScriptedPrompts prompts;
    WriteFile(dir.File("vexa2sites.dat"), CurrentRecordFixture("Whole") + std::string(100, '\x05'));
    SiteStore store(dir.Path(), prompts);
    EXPECT_EQ(store.Load(), std::vector<std::string>{"Whole"});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "FATAL ERROR - file " + dir.Path() +
                                       "vexa2sites.dat corrupt - Program may not work properly.");
}

TEST(SiteStore, NewCloneRenameDeleteWithUniqueCaseSensitiveNames) {
    TempDir dir;
    ScriptedPrompts prompts;
    SiteStore store(dir.Path(), prompts);
    store.Load();

    prompts.textAnswers = {std::string("Work")};
    EXPECT_EQ(store.New(nullptr), "Work");
    prompts.textAnswers = {std::string("work")}; // another case is another name
    EXPECT_EQ(store.New(nullptr), "work");

    // A taken name asks again after OK, and stops on Cancel.
    prompts.textAnswers = {std::string("Work"), std::string("Home")};
    prompts.confirmAnswers = {true};
    EXPECT_EQ(store.New(nullptr), "Home");
    EXPECT_EQ(prompts.asked.back(), "Add a Site: Enter Site Name");
    prompts.textAnswers = {std::string("Home")};
    prompts.confirmAnswers = {false};
    EXPECT_EQ(store.New(nullptr), std::nullopt);
    prompts.textAnswers = {std::string("")};
    EXPECT_EQ(store.New(nullptr), std::nullopt);

    // Details are saved over the record of the same name.
    SiteRecord shown = *store.Find("Work");
    EXPECT_EQ(shown.LoginType, 0);
    shown.Host = "work.example.org";
    shown.Port = "21";
    shown.LoginType = 1;
    EXPECT_TRUE(store.SaveDetails(shown));
    EXPECT_EQ(store.Find("Work")->Host, "work.example.org");
    EXPECT_EQ(store.Find("work")->Host, "");
    EXPECT_TRUE(store.Find("work")->Passive); // a new site is passive

    prompts.textAnswers = {std::string("Work copy")};
    EXPECT_EQ(store.Clone(shown), "Work copy");
    EXPECT_EQ(store.Find("Work copy")->Host, "work.example.org");

    prompts.textAnswers = {std::string("Office")};
    EXPECT_EQ(store.Rename(shown), "Office");
    EXPECT_EQ(shown.Name, "Office");
    EXPECT_FALSE(store.Find("Work"));
    EXPECT_EQ(store.Find("Office")->Host, "work.example.org");
    EXPECT_EQ(store.Names(), (std::vector<std::string>{"Office", "work", "Home", "Work copy"}));

    SiteStore reloaded(dir.Path(), prompts);
    EXPECT_EQ(reloaded.Load(), store.Names());

    for (const auto& name : std::vector<std::string>{"Office", "work", "Home"})
        store.Delete(name, nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.File("vexa2ites.dat.tmp")));
    EXPECT_EQ(ReadFile(dir.File("vexa2sites.dat")).size(), 496u);
    store.Delete("Work copy", nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir.File("vexa2sites.dat")));
    EXPECT_TRUE(store.Names().empty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(SiteStore, EveryWriteOfTheStoreIsAllOrNothing) {
    struct Case {
        const char* what;
        std::function<void(SiteStore&, ScriptedPrompts&)> run;
    };
    const Case cases[] = {
        {"save details",
         [](SiteStore& store, ScriptedPrompts&) {
             SiteRecord shown = *store.Find("A");
             shown.Host = "changed.example.org";
             store.SaveDetails(shown);
         }},
        {"new",
         [](SiteStore& store, ScriptedPrompts& prompts) {
             prompts.textAnswers = {std::string("C")};
             store.New(nullptr);
         }},
        {"clone",
         [](SiteStore& store, ScriptedPrompts& prompts) {
             prompts.textAnswers = {std::string("C")};
             store.Clone(*store.Find("A"));
         }},
        {"rename",
         [](SiteStore& store, ScriptedPrompts& prompts) {
             SiteRecord shown = *store.Find("A");
             prompts.textAnswers = {std::string("C")};
             store.Rename(shown);
         }},
        {"delete", [](SiteStore& store, ScriptedPrompts&) { store.Delete("A", nullptr); }},
        {"add with details",
         [](SiteStore& store, ScriptedPrompts& prompts) {
             SiteRecord site;
             site.Host = "ftp.example.org";
             prompts.textAnswers = {std::string("C")};
             store.Add(site);
         }},
    };
    for (const Case& c : cases) {
        for (auto step : testing_support::kWriteSteps) {
            TempDir dir;
            ScriptedPrompts prompts;
            SiteStore store(dir.Path(), prompts);
            store.Load();
            prompts.textAnswers = {std::string("A"), std::string("B")};
            ASSERT_TRUE(store.New(nullptr));
            ASSERT_TRUE(store.New(nullptr));
            const std::string before = ReadFile(dir.File("vexa2sites.dat"));
            {
                testing_support::StopWritesAt stop(step);
                c.run(store, prompts);
                EXPECT_GE(stop.stops, 1) << c.what << ", " << testing_support::StepName(step);
            }
            EXPECT_TRUE(ReadFile(dir.File("vexa2sites.dat")) == before)
                << c.what << ", " << testing_support::StepName(step);
            SiteStore restarted(dir.Path(), prompts);
            EXPECT_EQ(restarted.Load(), (std::vector<std::string>{"A", "B"})) << c.what;
            for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
                EXPECT_EQ(entry.path().filename().string().find(".saving."), std::string::npos)
                    << c.what << ": leftover " << entry.path();
        }
    }
}

// A site added with its details (as vexa2-admin's "site add" does) reaches
// the store in one write: a kill lands before it or after it, so no site is
// ever stored with its name alone.
TEST(SiteStore, AddStoresTheWholeSiteInOneWrite) {
    TempDir dir;
    ScriptedPrompts prompts;
    SiteStore store(dir.Path(), prompts);
    store.Load();
    int writes = 0;
    stored_file::SetStepHook([&](stored_file::WriteStep step, const std::string&) {
        writes += step == stored_file::WriteStep::BeforeRename;
        return true;
    });
    SiteRecord site;
    site.Host = "ftp.example.org";
    site.Port = "2121";
    site.Password = "pw";
    site.Passive = true;
    prompts.textAnswers = {std::string("home")};
    const auto name = store.Add(site);
    stored_file::SetStepHook(nullptr);
    ASSERT_EQ(name, std::optional<std::string>("home"));
    EXPECT_EQ(writes, 1);
    const auto stored = store.Find("home");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Host, "ftp.example.org");
    EXPECT_EQ(stored->Port, "2121");
    EXPECT_EQ(stored->Password, "pw");
    EXPECT_TRUE(stored->Passive);
}
