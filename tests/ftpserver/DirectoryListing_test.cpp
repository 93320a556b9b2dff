#include "ftpserver/DirectoryListing.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>
#include <filesystem>

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

void SetLocalTime(const std::string& path, int year, int mon, int day, int hour, int min) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = mon - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::lutimes(path.c_str(), tv), 0);
}

struct stat LStat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    return st;
}

TEST(DirectoryListing, LinesCharacterForCharacter) {
    TempDir tmp;
    const int year = CurrentYear();
    const std::string f = tmp.File("report.txt");
    WriteFile(f, std::string(1234, 'x'));
    ::chmod(f.c_str(), 0644);
    SetLocalTime(f, year, 3, 7, 14, 5);
    EXPECT_EQ(FormatListLine("report.txt", LStat(f), "", year),
              "-rw-rw-rw-   1 ftp      ftp         1234 Mar 07 14:05 report.txt\r\n");

    const std::string old = tmp.File("tool");
    WriteFile(old, "ab");
    ::chmod(old.c_str(), 0555);
    SetLocalTime(old, 2019, 1, 31, 9, 0);
    EXPECT_EQ(FormatListLine("tool", LStat(old), "", year),
              "-r-xr-xr-x   1 ftp      ftp            2 Jan 31  2019 tool\r\n");

    const std::string dir = tmp.File("sub");
    std::filesystem::create_directory(dir);
    SetLocalTime(dir, year, 12, 1, 0, 59);
    const auto dst = LStat(dir);
    const std::string size = std::to_string(dst.st_size);
    EXPECT_EQ(FormatListLine("sub", dst, "", year), "drw-rw-rw-   1 ftp      ftp  " +
                                                        std::string(11 - size.size(), ' ') + size +
                                                        " Dec 01 00:59 sub\r\n");

    std::filesystem::create_symlink("/etc/hosts", tmp.File("hosts"));
    SetLocalTime(tmp.File("hosts"), 2020, 6, 2, 1, 1);
    EXPECT_EQ(FormatListLine("hosts", LStat(tmp.File("hosts")), "/etc/hosts", year),
              "lrw-rw-rw-   1 ftp      ftp           10 Jun 02  2020 hosts -> /etc/hosts\r\n");
    EXPECT_EQ(FormatListLine(".hidden", LStat(f), "", year), "");
}

TEST(DirectoryListing, ListsDotsHidesDotFilesAndAppendsLinks) {
    TempDir tmp;
    const std::string root = std::filesystem::canonical(tmp.Path()).string();
    WriteFile(root + "/b.txt", "1");
    WriteFile(root + "/.secret", "1");
    TPermaLinkTable links(2);
    TVirtMapTable maps(1);
    links[0] = {"/data/pub/", "pub"};
    links[1] = {root + "/", "self"};
    maps[0] = {"/data/", "/v/"};

    const std::string list = BuildDirectoryList(root, true, links, maps);
    EXPECT_NE(list.find(" .\r\n"), std::string::npos);
    EXPECT_NE(list.find(" ..\r\n"), std::string::npos);
    EXPECT_NE(list.find(" b.txt\r\n"), std::string::npos);
    EXPECT_EQ(list.find(".secret"), std::string::npos);
    EXPECT_NE(list.find("lrw-rw-rw-   1 ftp      ftp          289 Apr 21 08:32 pub -> /v/pub/\r\n"),
              std::string::npos);
    EXPECT_EQ(list.find("self"), std::string::npos);

    const std::string names = BuildDirectoryList(root, false, TPermaLinkTable{}, maps);
    EXPECT_EQ(names, ".secret\r\nb.txt\r\n");
    EXPECT_EQ(BuildDirectoryList(root + "/b.txt", false, TPermaLinkTable{}, maps), "b.txt\r\n");
    EXPECT_EQ(BuildDirectoryList(root + "/-la", true, TPermaLinkTable{}, maps),
              root + "/-la not found\r\n");
}

TEST(DirectoryListing, MdtmIsUtcWithMilliseconds) {
    struct stat st {};
    st.st_mtim.tv_sec = 1700000000; // 2023-11-14 22:13:20 UTC
    st.st_mtim.tv_nsec = 123456789;
    EXPECT_EQ(FormatMdtmTime(st), "20231114221320.123");
}

} // namespace
