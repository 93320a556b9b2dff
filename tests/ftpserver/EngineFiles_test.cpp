// Listings and file-management commands against a raw client.
#include "ServerHarness.h"
#include "ftpserver/DirectoryListing.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::ReadFile;
using testing_support::WriteFile;

class EngineFiles : public LoggedInServer {
protected:
    std::string List(const std::string& command, std::string* closing = nullptr) {
        const int fd = c.OpenPassive();
        EXPECT_EQ(c.Cmd(command), "150 Opening data connection for directory list.");
        const std::string data = ReadAll(fd);
        const std::string end = c.Reply();
        EXPECT_EQ(end, "226 File sent ok");
        if (closing)
            *closing = end;
        return data;
    }
};

TEST_F(EngineFiles, ListingsShowDotsHideDotFilesAndLinks) {
    std::filesystem::create_directory(home + "sub");
    WriteFile(home + "sub/file.txt", "12345");
    WriteFile(home + "sub/.hidden", "h");
    std::filesystem::create_symlink("file.txt", home + "sub/ln");
    fx.Server().PermaLinkTable = {TPermaLinkEntry{"/srv/elsewhere/", "perma"}};
    c.Cmd("CWD sub");
    const std::string list = List("LIST");
    EXPECT_NE(list.find(" .\r\n"), std::string::npos);
    EXPECT_NE(list.find(" ..\r\n"), std::string::npos);
    EXPECT_NE(list.find("-rw-rw-rw-   1 ftp      ftp            5 "), std::string::npos);
    EXPECT_NE(list.find(" ln -> file.txt\r\n"), std::string::npos);
    EXPECT_EQ(list.rfind("lrw-rw-rw-", list.find(" ln -> ")) + 0,
              list.rfind("\n", list.find(" ln -> ")) + 1);
    EXPECT_EQ(list.find(".hidden"), std::string::npos);
    EXPECT_NE(
        list.find(
            "lrw-rw-rw-   1 ftp      ftp          289 Apr 21 08:32 perma -> /srv/elsewhere/\r\n"),
        std::string::npos);
    const std::string names = List("NLST");
    // NLST sends names only, a permanent link's too.
    EXPECT_EQ(names, ".hidden\r\nfile.txt\r\nln\r\nperma\r\n");
    // A missing path is not found, without the permanent links.
    EXPECT_EQ(List("LIST gone"), home + "sub/gone not found\r\n");
    EXPECT_EQ(List("NLST gone"), "");
    fx.Server().PermaLinkTable.clear();
    // A listing of one file, and of another folder by path.
    EXPECT_EQ(List("NLST file.txt"), "file.txt\r\n");
    EXPECT_NE(List("LIST " + home).find(" sub\r\n"), std::string::npos);
    EXPECT_EQ(fx.Owner().Seen["LIST"].back(), home.substr(0, home.size() - 1));
}

TEST_F(EngineFiles, PatternsAndOptionWords) {
    for (const char* f : {"a.txt", "b.txt", "c.log", ".dot", "q1.txt", "q[1].txt", "-x"})
        WriteFile(home + f, "1");
    std::filesystem::create_directory(home + "d1");
    WriteFile(home + "d1/x.txt", "1");
    WriteFile(home + "d1/y.log", "1");
    fx.Server().PermaLinkTable = {TPermaLinkEntry{"/srv/elsewhere/", "pub"}};
    struct Case {
        std::string command;
        std::string names; // NLST: the names; LIST: one line or "" for a long listing
    } cases[] = {
        {"NLST *", "-x a.txt b.txt c.log d1 q1.txt q[1].txt pub"},
        {"NLST *.txt", "a.txt b.txt q1.txt q[1].txt"},
        {"NLST ?.txt", "a.txt b.txt"},
        {"NLST [ab].*", "a.txt b.txt"},
        {"NLST .*", ".dot"},
        {"NLST p*", "pub"},
        {"NLST d1/*.txt", "x.txt"},
        {"NLST " + home + "d1/*", "x.txt y.log pub"},
        {"NLST q[1].txt", "q[1].txt pub"}, // the name as written exists
        {"NLST z*", ""},
        {"NLST nosuch/*", ""},
        {"NLST -a", "-x .dot a.txt b.txt c.log d1 q1.txt q[1].txt pub"},
        {"NLST -l d1", "x.txt y.log pub"},
        {"NLST -a -l d1/*.log", "y.log"},
        {"NLST -x", "-x pub"}, // an entry of that name is a name
    };
    for (const auto& c : cases) {
        std::string got;
        for (const char ch : List(c.command))
            if (ch != '\r')
                got += ch == '\n' ? ' ' : ch;
        if (!got.empty())
            got.pop_back();
        EXPECT_EQ(got, c.names) << c.command;
    }
    EXPECT_EQ(List("LIST z*"), home + "z* not found\r\n");
    const std::string all = List("LIST -la");
    EXPECT_NE(all.find(" a.txt\r\n"), std::string::npos);
    EXPECT_NE(all.find(" pub -> /srv/elsewhere/\r\n"), std::string::npos);
    const std::string logs = List("LIST -l *.log");
    EXPECT_NE(logs.find(" c.log\r\n"), std::string::npos);
    EXPECT_EQ(logs.find("a.txt"), std::string::npos);
    // The owner judges the folder a pattern lists.
    EXPECT_EQ(fx.Owner().Seen["LIST"].back(), home.substr(0, home.size() - 1));
    List("NLST d1/*.txt");
    EXPECT_EQ(fx.Owner().Seen["LIST"].back(), home + "d1");
}

TEST_F(EngineFiles, ListingLineOfThisYearAndAnother) {
    WriteFile(home + "now.txt", "abc");
    WriteFile(home + "old.txt", "abcdef");
    ::chmod((home + "old.txt").c_str(), 0755);
    const int year = CurrentYear();
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = 1;
    tm.tm_mday = 3;
    tm.tm_hour = 4;
    tm.tm_min = 5;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    timespec times[2] = {{t, 0}, {t, 0}};
    ::utimensat(AT_FDCWD, (home + "now.txt").c_str(), times, 0);
    tm.tm_year = 2001 - 1900;
    tm.tm_isdst = -1;
    t = std::mktime(&tm);
    timespec old[2] = {{t, 0}, {t, 0}};
    ::utimensat(AT_FDCWD, (home + "old.txt").c_str(), old, 0);
    const std::string list = List("LIST");
    EXPECT_NE(list.find("\r\n-rw-rw-rw-   1 ftp      ftp            3 Feb 03 04:05 now.txt\r\n"),
              std::string::npos)
        << list;
    EXPECT_NE(list.find("\r\n-rwxrwxrwx   1 ftp      ftp            6 Feb 03  2001 old.txt\r\n"),
              std::string::npos)
        << list;
}

TEST_F(EngineFiles, DeleteRenameAndDirectories) {
    std::filesystem::create_directory(home + "dir");
    WriteFile(home + "dir/inside", "x");
    WriteFile(home + "a.txt", "a");
    WriteFile(home + "b.txt", "b");
    EXPECT_EQ(c.Cmd("DELE dir"), "550 '" + home + "dir': no such file or directory.");
    EXPECT_EQ(c.Cmd("RNFR dir"), "550 '" + home + "dir': no such file or directory.");
    EXPECT_EQ(c.Cmd("RNFR a.txt"), "350 File exists, ready for destination name.");
    EXPECT_EQ(c.Cmd("RNTO b.txt"), "553 '" + home + "b.txt': file already exists.");
    EXPECT_EQ(ReadFile(home + "b.txt"), "b");
    EXPECT_EQ(c.Cmd("RNTO c.txt"), "250 File '" + home + "a.txt' renamed to '" + home + "c.txt'.");
    EXPECT_EQ(c.Cmd("RNTO d.txt"), "550 '" + home + "a.txt': no such file or directory.");
    EXPECT_EQ(c.Cmd("RMD dir"), "550 '" + home + "dir': can't remove directory.");
    EXPECT_EQ(c.Cmd("MKD dir"), "550 'dir': can't create directory.");
    EXPECT_EQ(c.Cmd("MKD c.txt"), "550 'c.txt': file or directory already exists.");
    EXPECT_EQ(c.Cmd("RMD nothing"), "550 '" + home + "nothing': no such directory.");
    EXPECT_EQ(c.Cmd("DELE dir/inside"), "250 File '" + home + "dir/inside' deleted.");
    EXPECT_EQ(c.Cmd("RMD dir"), "250 '" + home + "dir': directory removed.");
    EXPECT_EQ(c.Cmd("DELE"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("RNFR"), "501 Syntax error is parameter.");
    EXPECT_EQ(c.Cmd("RNTO"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("MKD"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("RMD"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("SIZE"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("MDTM"), "501 Syntax error in MDTM parameter.");
    fx.Owner().AllowAll = false;
    // A missing name is a syntax fault before any rights question.
    EXPECT_EQ(c.Cmd("DELE"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("RNFR"), "501 Syntax error is parameter.");
    EXPECT_EQ(c.Cmd("RNTO"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("RMD"), "501 Syntax error in parameter.");
    EXPECT_EQ(c.Cmd("DELE b.txt"), "500 Cannot DELE - Insufficient Rights.");
    EXPECT_EQ(c.Cmd("RNFR b.txt"), "500 Cannot RNFR - Insufficient Rights.");
    EXPECT_EQ(c.Cmd("RNTO x"), "500 Cannot RNTO - Insufficient Rights.");
    EXPECT_EQ(c.Cmd("RMD x"), "500 Cannot RMD - Insufficient Rights.");
    EXPECT_EQ(c.Cmd("MKD x"), "550 'x': can't create directory.");
    EXPECT_EQ(c.Cmd("SIZE b.txt"), "550 Command failed: File not found.");
    EXPECT_EQ(c.Cmd("MDTM b.txt"), "550 '" + home + "b.txt': no such file or directory.");
}

TEST_F(EngineFiles, SizeAndMdtm) {
    WriteFile(home + "f", std::string(1234, 'x'));
    std::filesystem::create_directory(home + "d");
    timespec times[2] = {{1700000000, 250000000}, {1700000000, 250000000}};
    ::utimensat(AT_FDCWD, (home + "f").c_str(), times, 0);
    EXPECT_EQ(c.Cmd("SIZE f"), "213 1234");
    EXPECT_EQ(c.Cmd("SIZE d"), "550 Command failed: File not found.");
    EXPECT_EQ(c.Cmd("SIZE missing"), "550 Command failed: File not found.");
    EXPECT_EQ(c.Cmd("MDTM f"), "213 20231114221320.250");
    EXPECT_EQ(c.Cmd("MDTM missing"), "550 '" + home + "missing': no such file or directory.");
    EXPECT_EQ(fx.Owner().Seen["SIZE"].front(), home + "f");
}

TEST_F(EngineFiles, DeleOfALinkRemovesTheLinkOnly) {
    WriteFile(home + "target", "keep");
    std::filesystem::create_symlink(home + "target", home + "link");
    EXPECT_EQ(c.Cmd("DELE link"), "250 File '" + home + "link' deleted.");
    EXPECT_EQ(fx.Owner().Seen["DELE"].back(), home + "link");
    EXPECT_FALSE(std::filesystem::is_symlink(home + "link"));
    EXPECT_EQ(ReadFile(home + "target"), "keep");
}

} // namespace

namespace {

// Reads one file over a passive data connection; the closing reply in end.
std::string Retr(RawClient& c, const std::string& name, std::string* end) {
    const int fd = c.OpenPassive();
    const std::string opening = c.Cmd("RETR " + name);
    if (opening.rfind("150", 0) != 0) {
        ::close(fd);
        *end = opening;
        return {};
    }
    const std::string data = ReadAll(fd);
    *end = c.Reply();
    return data;
}

std::string Store(RawClient& c, const std::string& command, const std::string& data) {
    const int fd = c.OpenPassive();
    const std::string opening = c.Cmd(command);
    if (opening.rfind("150", 0) != 0) {
        ::close(fd);
        return opening;
    }
    WriteAllAndClose(fd, data);
    return c.Reply();
}

} // namespace

TEST_F(EngineFiles, ArgumentsKeepTheirBlanks) {
    WriteFile(home + "a.txt", "plain name");
    for (const std::string name : {" a.txt", "a.txt ", "  two  "}) {
        SCOPED_TRACE("[" + name + "]");
        EXPECT_EQ(Store(c, "STOR " + name, "first"), "226 File received ok");
        EXPECT_EQ(ReadFile(home + name), "first");
        EXPECT_EQ(Store(c, "APPE " + name, "+more"), "226 File received ok");
        std::string end;
        EXPECT_EQ(Retr(c, name, &end), "first+more");
        EXPECT_EQ(end, "226 File sent ok");
        EXPECT_EQ(c.Cmd("SIZE " + name), "213 10");
        EXPECT_EQ(c.Cmd("MDTM " + name).substr(0, 4), "213 ");
        EXPECT_EQ(List("NLST " + name), name + "\r\n");
        EXPECT_EQ(c.Cmd("RNFR " + name), "350 File exists, ready for destination name.");
        EXPECT_EQ(c.Cmd("RNTO " + name + "x"),
                  "250 File '" + home + name + "' renamed to '" + home + name + "x'.");
        EXPECT_EQ(c.Cmd("DELE " + name + "x"), "250 File '" + home + name + "x' deleted.");
        EXPECT_EQ(c.Cmd("MKD " + name), "257 '" + name + "': directory created.");
        EXPECT_TRUE(std::filesystem::is_directory(home + name));
        EXPECT_EQ(c.Cmd("CWD " + name),
                  "250 CWD command successful. \"" + name + "\" is current directory.");
        EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + name + "/\" is current directory.");
        EXPECT_EQ(c.Cmd("CDUP").substr(0, 4), "250 ");
        EXPECT_EQ(c.Cmd("RMD " + name), "250 '" + home + name + "': directory removed.");
    }
    // Every one of them was its own file: the plain name was never touched.
    EXPECT_EQ(ReadFile(home + "a.txt"), "plain name");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home),
                            std::filesystem::directory_iterator()),
              1);
    // Numbers and keywords may still carry blanks around them.
    EXPECT_EQ(c.Cmd("TYPE  I "), "200 Type set to  I .");
    EXPECT_EQ(c.Cmd("REST  5 "), "350 REST supported. Ready to resume at byte offset 5.");
}

TEST_F(EngineFiles, LftpMirrorKeepsLeadingBlanks) {
    testing_support::TempDir localDir;
    const std::string local = std::filesystem::canonical(localDir.Path()).string() + "/";
    std::filesystem::create_directories(local + "tree/ lead dir");
    WriteFile(local + "tree/ lead space.txt", "leading");
    WriteFile(local + "tree/lead space.txt", "no blank");
    WriteFile(local + "tree/trail.txt ", "trailing");
    WriteFile(local + "tree/ lead dir/  two.bin", testing_support::PatternBytes(70000, 5));
    const std::string script =
        "set cmd:fail-exit yes; set ftp:ssl-allow no; set net:max-retries 1; "
        "mirror -R " +
        local + "tree up; mirror up " + local + "back; quit";
    const PeerResult r = RunPeer(
        "lftp", {"-u", "bob,secret", "-p", std::to_string(fx.Port()), "-e", script, "127.0.0.1"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    for (const char* rel :
         {" lead space.txt", "lead space.txt", "trail.txt ", " lead dir/  two.bin"}) {
        EXPECT_TRUE(SameBytes(ReadFile(home + "up/" + rel), ReadFile(local + "tree/" + rel)))
            << rel;
        EXPECT_TRUE(SameBytes(ReadFile(local + "back/" + rel), ReadFile(local + "tree/" + rel)))
            << rel;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home + "up"),
                            std::filesystem::directory_iterator()),
              4);
}
