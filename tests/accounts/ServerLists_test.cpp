#include "ScriptedPrompts.h"
#include "accounts/AccountTexts.h"
#include "accounts/ServerLists.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
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
    EXPECT_EQ(lists.PermaLinkTable[0], (ListPair{"/srv/c", "c"}));
    EXPECT_TRUE(lists.PermaLinkTable[1].folder.empty());
    EXPECT_EQ(rebuilt, 4);
    ScriptedPrompts no;
    no.confirmAnswers = {false};
    EXPECT_FALSE(lists.ClearPermaLinks(no));
    EXPECT_EQ(lists.PermaLinks.size(), 1u);
    EXPECT_EQ(rebuilt, 5); // rebuilt whatever the answer
    ScriptedPrompts yes;
    yes.confirmAnswers = {true};
    EXPECT_TRUE(lists.ClearPermaLinks(yes));
    EXPECT_EQ(yes.asked[0], texts::kClearListQuestion);
    EXPECT_TRUE(lists.PermaLinkTable[0].folder.empty());
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

TEST(ServerLists, AtMost128RowsPerList) {
    ServerLists lists;
    for (int i = 0; i < kListRows; ++i) {
        ASSERT_TRUE(lists.AddIp("10." + std::to_string(i)).ok);
        ASSERT_TRUE(lists.AddVirtMap("/srv/" + std::to_string(i), "v" + std::to_string(i)).ok);
        ASSERT_TRUE(lists.AddPermaLink("/srv/" + std::to_string(i), "l" + std::to_string(i)).ok);
    }
    EXPECT_EQ(lists.AddIp("x").message, texts::kListFull);
    EXPECT_EQ(lists.AddVirtMap("/x", "x").message, texts::kListFull);
    EXPECT_EQ(lists.AddPermaLink("/x", "x").message, texts::kListFull);
    EXPECT_EQ(lists.VirtMapTable[127].name, "/v127/");
}

TEST(ServerLists, FilesRoundTripWithCrLf) {
    TempDir dir;
    ServerLists lists;
    ASSERT_TRUE(lists.AddIp("10.0.0.*").ok);
    ASSERT_TRUE(lists.AddVirtMap("/srv/pub", "pub").ok);
    ASSERT_TRUE(lists.AddPermaLink("/srv/pub", "Public").ok);
    ASSERT_TRUE(lists.Save(dir.Path()));
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
    EXPECT_FALSE(lists.Save(dir.Path()));
    EXPECT_EQ(ReadFile(dir.File(kIpListFile)), "1.\r\n");
    EXPECT_EQ(ReadFile(dir.File(kPermaLinkFile)), "");
}
