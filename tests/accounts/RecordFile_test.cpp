#include "accounts/AccountFiles.h"
#include "accounts/FileCopy.h"
#include "support/Peers.h"
#include "support/TempDir.h"
#include "support/WriteStops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace accounts;
using namespace testing_support;

namespace {
UserRecord User(const std::string& name, const std::string& password = {}) {
    UserRecord r{};
    r.Name.Set(name);
    r.Password.Set(password);
    return r;
}
} // namespace

TEST(RecordFile, MissingAndEmptyFilesHoldNoRecords) {
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    EXPECT_FALSE(files.Users().LoadNames());
    EXPECT_FALSE(files.Users().Find("x"));
    WriteFile(dir.File(kUsersWorking), "");
    EXPECT_TRUE(files.Users().LoadNames()->empty());
    EXPECT_FALSE(files.Users().Find("x"));
}

TEST(RecordFile, WriteBackOverwritesFirstRecordOfTheName) {
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    ASSERT_TRUE(files.Users().Append(User("a", "1")));
    ASSERT_TRUE(files.Users().Append(User("b", "2")));
    ASSERT_TRUE(files.Users().Append(User("b", "3")));
    EXPECT_TRUE(files.Users().WriteBack(User("b", "changed")));
    auto all = *files.Users().ReadAll();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].Password.Get(), "changed");
    EXPECT_EQ(all[2].Password.Get(), "3");
    EXPECT_FALSE(files.Users().WriteBack(User("nobody")));
    EXPECT_FALSE(files.Users().WriteBack(User("")));
}

TEST(RecordFile, DeleteByNameRemovesEveryRecordOfTheName) {
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    for (const char* n : {"a", "b", "c", "b"})
        ASSERT_TRUE(files.Users().Append(User(n)));
    EXPECT_TRUE(files.Users().DeleteByName("b"));
    EXPECT_EQ(*files.Users().LoadNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_FALSE(FileExists(dir.File("vexa2users.tmp.tmp")));
}

TEST(RecordFile, CopyFileLeavesDestinationWhenSourceMissing) {
    TempDir dir;
    WriteFile(dir.File("dst"), "keep");
    EXPECT_FALSE(CopyFile(dir.File("missing"), dir.File("dst")));
    EXPECT_EQ(ReadFile(dir.File("dst")), "keep");
    std::string big = PatternBytes(200000, 3); // several 64 KiB blocks
    WriteFile(dir.File("src"), big);
    EXPECT_TRUE(CopyFile(dir.File("src"), dir.File("dst")));
    EXPECT_EQ(ReadFile(dir.File("dst")), big);
}

TEST(RecordFile, StartUpCopiesSavedOverWorkingAndUnsavedEditsAreGone) {
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    ASSERT_TRUE(files.Users().Append(User("saved")));
    ASSERT_TRUE(files.SaveUsers());
    ASSERT_TRUE(files.Users().Append(User("unsaved")));
    files.StartUp();
    EXPECT_EQ(*files.Users().LoadNames(), std::vector<std::string>{"saved"});
}

TEST(RecordFile, StartUpWithoutSavedFileKeepsOldWorkingFile) {
    TempDir dir;
    AccountFiles files(dir.Path(), {});
    ASSERT_TRUE(files.Groups().Append(GroupRecord{}));
    GroupRecord g{};
    g.Name.Set("old");
    ASSERT_TRUE(files.Groups().Append(g));
    files.StartUp();
    EXPECT_EQ(files.Groups().LoadNames()->size(), 2u);
}

TEST(RecordFile, EveryWriteOfAnAccountFileIsAllOrNothing) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        bool savedFile; // the operation writes the saved file, else the working file
        std::function<bool(const AccountFiles&)> run;
        Names after;
    };
    const Case cases[] = {
        {"append",
         false,
         [](const AccountFiles& f) { return f.Users().Append(User("c")); },
         {"a", "b", "w", "c"}},
        {"write back",
         false,
         [](const AccountFiles& f) { return f.Users().WriteBack(User("b", "new")); },
         {"a", "b", "w"}},
        {"rename",
         false,
         [](const AccountFiles& f) { return f.Users().RenameFirst("a", "z"); },
         {"z", "b", "w"}},
        {"delete",
         false,
         [](const AccountFiles& f) { return f.Users().DeleteByName("a"); },
         {"b", "w"}},
        {"save", true, [](const AccountFiles& f) { return f.SaveUsers(); }, {"a", "b", "w"}},
        {"discard", false, [](const AccountFiles& f) { return f.DiscardUsers(); }, {"a", "b", "s"}},
    };
    for (const Case& c : cases) {
        for (auto step : kWriteSteps) {
            TempDir dir;
            AccountFiles files(dir.Path(), {});
            // Saved: a, b, s. Working: a, b, w.
            for (const char* n : {"a", "b", "s"})
                ASSERT_TRUE(files.Users().Append(User(n, "old")));
            ASSERT_TRUE(files.SaveUsers());
            ASSERT_TRUE(files.Users().DeleteByName("s"));
            ASSERT_TRUE(files.Users().Append(User("w", "old")));
            const std::string target = c.savedFile ? files.SavedUsersPath() : files.Users().Path();
            const std::string before = ReadFile(target);
            {
                StopWritesAt stop(step);
                EXPECT_FALSE(c.run(files)) << c.what << ", " << StepName(step);
                EXPECT_EQ(stop.stops, 1) << c.what << ", " << StepName(step);
            }
            EXPECT_TRUE(ReadFile(target) == before) << c.what << ", " << StepName(step);
            // Run again without a stop: the new content, whole.
            ASSERT_TRUE(c.run(files)) << c.what;
            EXPECT_EQ(*UserFile(target, {}).LoadNames(), c.after) << c.what;
            // The next start removes what the stopped write left behind.
            files.StartUp();
            int entries = 0;
            for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
                ++entries;
            EXPECT_EQ(entries, 2) << c.what << ": leftovers after " << StepName(step);
        }
    }
}
