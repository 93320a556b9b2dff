#include "ftpserver/FtpServerException.h"
#include "ftpserver/PathModel.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using testing_support::TempDir;

// The temp folder itself may sit behind a link (/tmp on some systems).
std::string Real(const std::string& p) {
    return std::filesystem::canonical(p).string();
}

TEST(PathModel, BackslashesAndCurrentDirectory) {
    EXPECT_EQ(BuildFilePath("/srv/", "a\\b.txt"), "/srv/a/b.txt");
    EXPECT_EQ(BuildFilePath("/srv/", "/etc/x"), "/etc/x");
    EXPECT_EQ(BuildFilePath("/srv", "x"), "/srv/x");
}

TEST(PathModel, VirtualPathsMatchCaseInsensitively) {
    TVirtMapTable t(3);
    t[1] = {"/data/pub/", "/pub/"};
    t[2] = {"/other", "/pub"};
    EXPECT_EQ(ApplyVirtMap(t, "/PUB/x.txt"), "/data/pub/x.txt");
    EXPECT_EQ(ApplyVirtMap(t, "/pub"), "/data/pub/");
    EXPECT_EQ(ApplyVirtMap(t, "/public/x"), "/public/x");
    EXPECT_EQ(ApplyVirtMap(t, "pub/x"), "pub/x");
    EXPECT_EQ(MapClientPath(t, "/home/u/", "\\pub\\a"), "/data/pub/a");
    EXPECT_EQ(ShowVirtMap(t, "/data/pub/sub/"), "/pub/sub/");
    EXPECT_EQ(ShowVirtMap(t, "/data/pub"), "/pub/");
    EXPECT_EQ(ShowVirtMap(t, "/data/public/"), "/data/public/");
}

TEST(PathModel, CanonicalRemovesDotsAndResolvesLinks) {
    TempDir tmp;
    const std::string root = Real(tmp.Path());
    std::filesystem::create_directories(root + "/a/b");
    std::filesystem::create_directory_symlink(root + "/a/b", root + "/link");
    std::filesystem::create_symlink("/etc/passwd", root + "/pw");
    std::filesystem::create_symlink(root + "/nowhere", root + "/dangling");

    EXPECT_EQ(CanonicalPath(root + "/a/./b/../b", true), root + "/a/b");
    EXPECT_EQ(CanonicalPath(root + "/link/new.txt", true), root + "/a/b/new.txt");
    EXPECT_EQ(CanonicalPath(root + "/a/missing/../x", true), root + "/a/x");
    EXPECT_EQ(CanonicalPath(root + "/pw", true), "/etc/passwd");
    EXPECT_EQ(CanonicalPath(root + "/pw", false), root + "/pw");
    EXPECT_EQ(CanonicalPath(root + "/link/../../x", true), root + "/x");
    EXPECT_EQ(CanonicalPath(root + "/dangling", false), root + "/dangling");
    EXPECT_EQ(CanonicalPath("/../../..", true), "/");
    EXPECT_EQ(CanonicalPath(root + "/a/b/../../../..", true), Real(root + "/../.."));
}

TEST(PathModel, SetDirectoryRules) {
    TempDir tmp;
    const std::string root = Real(tmp.Path());
    std::filesystem::create_directories(root + "/a/b");
    std::filesystem::create_directory_symlink(root + "/a/b", root + "/ln");
    const std::string cur = root + "/a/";

    EXPECT_EQ(SetDirectoryPath(cur, "b"), root + "/a/b/");
    EXPECT_EQ(SetDirectoryPath(cur, ".."), root + "/");
    EXPECT_EQ(SetDirectoryPath("/", ".."), "/");
    EXPECT_EQ(SetDirectoryPath(cur, "."), cur);
    EXPECT_EQ(SetDirectoryPath(cur, ""), cur);
    EXPECT_EQ(SetDirectoryPath(cur, "/etc"), "/etc/");
    EXPECT_EQ(SetDirectoryPath(cur, root + "/ln"), root + "/a/b/");
    EXPECT_EQ(SetDirectoryPath(cur, "b\\"), root + "/a/b/");
    for (const char* bad : {"../..", "./b", "b/../..", "/etc/../root"}) {
        try {
            SetDirectoryPath(cur, bad);
            FAIL() << bad;
        } catch (const FtpServerException& e) {
            EXPECT_STREQ(e.what(), "Cannot accept relative path using dot notation");
        }
    }
}

} // namespace
