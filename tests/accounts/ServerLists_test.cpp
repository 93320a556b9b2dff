#include "accounts/AccountTexts.h"
#include "accounts/Admission.h"
#include "accounts/ServerLists.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/WriteStops.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace accounts;
using namespace testing_support;

TEST(ServerLists, VirtualMappingIsNormalised) {
    struct Case {
        std::string folder, virt, wantFolder, wantVirt;
    } cases[] = {
        {"/srv/share", "pub", "/srv/share/", "/pub/"},
        {"/srv/share/", "/a/b/", "/srv/share/", "/a/b/"},
        {"\\srv\\win", "\\x\\y", "/srv/win/", "/x/y/"},
    };
    for (const auto& c : cases) {
        ServerLists lists;
        ASSERT_TRUE(lists.AddVirtMap(c.folder, c.virt).ok);
        ASSERT_EQ(lists.VirtMaps.size(), 1u);
        EXPECT_EQ(lists.VirtMaps[0], (ListPair{c.wantFolder, c.wantVirt})) << c.virt;
        EXPECT_EQ(lists.VirtMapTable[0], lists.VirtMaps[0]);
    }
    ServerLists lists;
    ASSERT_TRUE(lists.AddVirtMap("/srv", "").ok);
    EXPECT_TRUE(lists.VirtMaps.empty());
}

TEST(ServerLists, TablesRebuiltAfterEveryChange) {
    ServerLists lists;
    int rebuilt = 0;
    lists.OnTablesChanged = [&] { ++rebuilt; };
    ASSERT_TRUE(lists.AddPermaLink("/srv/a", "a").ok);
    ASSERT_TRUE(lists.AddPermaLink("/srv/b", "b").ok);
    ASSERT_TRUE(lists.AddPermaLink("/srv/c", "c").ok);
    ASSERT_TRUE(lists.DeletePermaLinks({0, 1}).ok);
    EXPECT_EQ(lists.PermaLinkTable, (PairTable{{"/srv/c", "c"}}));
    EXPECT_EQ(rebuilt, 4);
    ScriptedPrompts no;
    no.confirmAnswers = {false};
    EXPECT_FALSE(lists.ClearPermaLinks(no));
    EXPECT_EQ(lists.PermaLinks.size(), 1u);
    EXPECT_EQ(rebuilt, 5); // rebuilt whatever the answer
    ScriptedPrompts yes;
    yes.confirmAnswers = {true};
    EXPECT_TRUE(lists.ClearPermaLinks(yes));
    EXPECT_EQ(yes.askedTexts[0], texts::kClearListQuestion);
    EXPECT_TRUE(lists.PermaLinkTable.empty());
}

TEST(ServerLists, ThreeAdjacentRowsDeletedAndBadRowRefused) {
    ServerLists lists;
    for (const char* ip : {"1.", "2.", "3.", "4.", "5."})
        ASSERT_TRUE(lists.AddIp(ip).ok);
    ASSERT_TRUE(lists.DeleteIp({1, 2, 3}).ok);
    EXPECT_EQ(lists.IpList, (std::vector<std::string>{"1.", "5."}));
    EXPECT_FALSE(lists.DeleteIp({7}).ok);
    EXPECT_EQ(lists.IpList.size(), 2u);
}

TEST(ServerLists, ListFileOf300RowsIsLoadedEnforcedAndWrittenBackWhole) {
    TempDir dir;
    std::string ipFile, pairFile;
    for (int i = 1; i < 300; ++i)
        ipFile += "10.9." + std::to_string(i) + ".\r\n";
    ipFile += "127.0.0.1\r\n"; // the denying row is the 300th
    for (int i = 1; i <= 300; ++i)
        pairFile += "/srv/" + std::to_string(i) + "/\r\n/v" + std::to_string(i) + "/\r\n";
    WriteFile(dir.File(kIpListFile), ipFile);
    WriteFile(dir.File(kVirtMapFile), pairFile);
    WriteFile(dir.File(kPermaLinkFile), pairFile);
    ServerLists lists;
    lists.Load(dir.Path());
    ASSERT_EQ(lists.IpList.size(), 300u);
    EXPECT_FALSE(IpAdmitted(lists.IpList, IpMode::Deny, "127.0.0.1", {}));
    ASSERT_EQ(lists.VirtMapTable.size(), 300u);
    EXPECT_EQ(lists.VirtMapTable.back(), (ListPair{"/srv/300/", "/v300/"}));
    EXPECT_EQ(lists.PermaLinkTable.size(), 300u);
    // More rows can be added, and every row is written back.
    ASSERT_TRUE(lists.AddIp("10.10.").ok);
    ASSERT_TRUE(lists.Save(dir.Path()).empty());
    EXPECT_EQ(ReadFile(dir.File(kIpListFile)), ipFile + "10.10.\r\n");
    EXPECT_EQ(ReadFile(dir.File(kVirtMapFile)), pairFile);
    EXPECT_EQ(ReadFile(dir.File(kPermaLinkFile)), pairFile);
}

TEST(ServerLists, AnInterruptedSaveLeavesEveryFileOldAndTheNextSaveWritesTheNew) {
    TempDir dir;
    ServerLists old;
    ASSERT_TRUE(old.AddIp("10.0.0.*").ok);
    ASSERT_TRUE(old.AddVirtMap("/srv/old", "old").ok);
    ASSERT_TRUE(old.AddPermaLink("/srv/old", "Old").ok);
    ASSERT_TRUE(old.Save(dir.Path()).empty());
    const std::string files[] = {kIpListFile, kVirtMapFile, kPermaLinkFile};
    std::map<std::string, std::string> before;
    for (const auto& f : files)
        before[f] = ReadFile(dir.File(f));
    ServerLists changed = old;
    ASSERT_TRUE(changed.AddIp("192.168.*").ok);
    ASSERT_TRUE(changed.AddVirtMap("/srv/new", "new").ok);
    ASSERT_TRUE(changed.AddPermaLink("/srv/new", "New").ok);
    for (auto step : kWriteSteps) {
        {
            StopWritesAt stop(step);
            EXPECT_EQ(changed.Save(dir.Path()).size(), 3u) << StepName(step);
            EXPECT_EQ(stop.stops, 3) << StepName(step);
        }
        for (const auto& f : files)
            EXPECT_EQ(ReadFile(dir.File(f)), before[f]) << f << ", " << StepName(step);
        ServerLists loaded; // the next start also clears what the stop left behind
        loaded.Load(dir.Path());
        EXPECT_EQ(loaded.IpList, old.IpList);
        EXPECT_EQ(loaded.VirtMaps, old.VirtMaps);
        EXPECT_EQ(loaded.PermaLinks, old.PermaLinks);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  3)
            << "leftovers after " << StepName(step);
    }
    ASSERT_TRUE(changed.Save(dir.Path()).empty());
    ServerLists loaded;
    loaded.Load(dir.Path());
    EXPECT_EQ(loaded.IpList, changed.IpList);
    EXPECT_EQ(loaded.VirtMaps, changed.VirtMaps);
    EXPECT_EQ(loaded.PermaLinks, changed.PermaLinks);
}

TEST(ServerLists, FilesRoundTripWithCrLf) {
    TempDir dir;
    ServerLists lists;
    ASSERT_TRUE(lists.AddIp("10.0.0.*").ok);
    ASSERT_TRUE(lists.AddVirtMap("/srv/pub", "pub").ok);
    ASSERT_TRUE(lists.AddPermaLink("/srv/pub", "Public").ok);
    ASSERT_TRUE(lists.Save(dir.Path()).empty());
    EXPECT_EQ(ReadFile(dir.File(kIpListFile)), "10.0.0.*\r\n");
    EXPECT_EQ(ReadFile(dir.File(kVirtMapFile)), "/srv/pub/\r\n/pub/\r\n");
    EXPECT_EQ(ReadFile(dir.File(kPermaLinkFile)), "/srv/pub\r\nPublic\r\n");
    ServerLists loaded;
    loaded.Load(dir.Path());
    EXPECT_EQ(loaded.IpList, lists.IpList);
    EXPECT_EQ(loaded.VirtMaps, lists.VirtMaps);
    EXPECT_EQ(loaded.PermaLinks, lists.PermaLinks);
    EXPECT_EQ(loaded.PermaLinkTable[0], (ListPair{"/srv/pub", "Public"}));
}

TEST(ServerLists, LoadSkipsBlankIpLinesAndKeepsEmptyVirtualPath) {
    TempDir dir;
    WriteFile(dir.File(kIpListFile), "1.2.3.4\r\n\r\n\r\n5.6.\n");
    WriteFile(dir.File(kVirtMapFile), "/a/\r\n\r\n\r\n/ignored/\r\n/b/\r\n");
    ServerLists lists;
    lists.Load(dir.Path());
    EXPECT_EQ(lists.IpList, (std::vector<std::string>{"1.2.3.4", "5.6."}));
    // pairs: (/a/, ""), ("", /ignored/) dropped, (/b/, missing second line)
    EXPECT_EQ(lists.VirtMaps, (std::vector<ListPair>{{"/a/", ""}, {"/b/", ""}}));
}

TEST(ServerLists, MissingFilesLeaveListsEmptyAndUnwritableFileIsSkipped) {
    TempDir dir;
    ServerLists lists;
    lists.Load(dir.Path());
    EXPECT_TRUE(lists.IpList.empty() && lists.VirtMaps.empty() && lists.PermaLinks.empty());
    ASSERT_TRUE(lists.AddIp("1.").ok);
    ASSERT_EQ(::mkdir(dir.File(kVirtMapFile).c_str(), 0755), 0); // a folder in the way
    EXPECT_EQ(lists.Save(dir.Path()).size(), 1u);
    EXPECT_EQ(ReadFile(dir.File(kIpListFile)), "1.\r\n");
    EXPECT_EQ(ReadFile(dir.File(kPermaLinkFile)), "");
}
