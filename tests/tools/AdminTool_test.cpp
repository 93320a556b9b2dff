// vexa2-admin run as a program on a temporary data folder.
#include "accounts/AccountFiles.h"
#include "accounts/ServerLists.h"
#include "app/DataFolder.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace testing_support;

namespace {

struct AdminTool : ::testing::Test {
    TempDir data, config, xdgData;
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", xdgData.Path().c_str(), 1);
    }
    CommandResult Admin(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", data.Path()});
        return RunCommand(ProgramPath("vexa2-admin"), args);
    }
    void Ok(const std::vector<std::string>& args) {
        auto r = Admin(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
};

} // namespace

TEST_F(AdminTool, HelpDocumentsEveryArea) {
    auto r = RunCommand(ProgramPath("vexa2-admin"), {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"user add", "group", "ip mode allow|deny", "vdir add", "link add",
                             "--no-save", "--data-dir"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

TEST_F(AdminTool, UserAndGroupChangesReachTheSavedFiles) {
    Ok({"group", "add", "staff"});
    Ok({"group", "set", "staff", "home", "/srv/staff"});
    Ok({"group", "access", "staff", "add", "/srv/shared", "read,list,inherit"});
    Ok({"user", "add", "bob"});
    Ok({"user", "set", "bob", "password", "pw"});
    Ok({"user", "set", "bob", "enabled", "on"});
    Ok({"user", "access", "bob", "add", "/srv/bob", "read,write"});
    Ok({"user", "access", "bob", "rights", "/srv/bob", "read,create,write"});
    Ok({"user", "member", "bob", "add", "staff"});
    Ok({"user", "clone", "bob", "carol"});
    accounts::AccountFiles files(data.Path(), {});
    files.StartUp(); // what the server does at start: the saved files hold it all
    auto bob = files.Users().Find("bob");
    ASSERT_TRUE(bob);
    EXPECT_EQ(bob->Password.Get(), "pw");
    EXPECT_TRUE(bob->Enabled);
    EXPECT_EQ(bob->Access[0].Path.Get(), "/srv/bob");
    EXPECT_TRUE(bob->Access[0].Read && bob->Access[0].Create && bob->Access[0].Write);
    EXPECT_FALSE(bob->Access[0].List);
    EXPECT_EQ(bob->GroupMembership[0].Get(), "staff");
    auto carol = files.Users().Find("carol");
    ASSERT_TRUE(carol);
    EXPECT_TRUE(carol->Password.Empty());
    EXPECT_FALSE(carol->Enabled);
    auto staff = files.Groups().Find("staff");
    ASSERT_TRUE(staff);
    EXPECT_EQ(staff->HomeDirectory.Get(), "/srv/staff");
    EXPECT_TRUE(staff->Access[0].Inherit);
    auto show = Admin({"user", "show", "bob"});
    EXPECT_NE(show.out.find("access 1: /srv/bob R-W---C"), std::string::npos) << show.out;
}

TEST_F(AdminTool, RefusalsGiveOneLineAndStatusOne) {
    Ok({"user", "add", "bob"});
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"user", "add", "bob"}, "Sorry, name must be unique."},
        {{"user", "clone", "bob", "bob"}, "Name already exists - try again."},
        {{"user", "set", "nobody", "password", "x"}, "No such user."},
        {{"user", "add", "ANONYMOUS"}, "answered No"},
        {{"user", "set", "bob", "superuser", "on"}, "answered No"},
        {{"user", "access", "bob", "add", "/x", "fly"}, "unknown right"},
        {{"frobnicate"}, "unknown command"},
        {{"ip", "delete", "3"}, "no such row"},
    };
    for (const auto& c : cases) {
        auto r = Admin(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0];
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    Ok({"--yes", "user", "add", "ANONYMOUS"});
    Ok({"--yes", "user", "set", "bob", "superuser", "on"});
}

TEST_F(AdminTool, NoSaveChangesOnlyTheWorkingFile) {
    Ok({"user", "add", "bob"});
    Ok({"--no-save", "user", "set", "bob", "password", "working"});
    accounts::AccountFiles files(data.Path(), {});
    EXPECT_EQ(files.Users().Find("bob")->Password.Get(), "working");
    files.StartUp();
    EXPECT_EQ(files.Users().Find("bob")->Password.Get(), "");
}

TEST_F(AdminTool, AMissingWorkingFileIsTakenFromTheSavedOne) {
    for (const char* name : {"ann", "ben", "cat"})
        Ok({"user", "add", name});
    Ok({"group", "add", "staff"});
    // A stop with "Delete Temporary Files on exit" removes the working files.
    std::filesystem::remove(data.File("vexa2users.tmp"));
    std::filesystem::remove(data.File("vexa2groups.tmp"));
    EXPECT_EQ(Admin({"user", "list"}).out, "ann\nben\ncat\n");
    std::filesystem::remove(data.File("vexa2users.tmp"));
    Ok({"user", "add", "carol"});
    Ok({"group", "add", "admins"});
    accounts::AccountFiles files(data.Path(), {});
    files.StartUp();
    EXPECT_EQ(*files.Users().LoadNames(), (std::vector<std::string>{"ann", "ben", "cat", "carol"}));
    EXPECT_EQ(*files.Groups().LoadNames(), (std::vector<std::string>{"staff", "admins"}));
}

TEST_F(AdminTool, ADamagedAccountFileIsRefusedAndNothingIsWritten) {
    for (const char* name : {"ann", "ben", "cat"})
        Ok({"user", "add", name});
    const std::string saved = ReadFile(data.File("vexa2users.dat"));
    for (const char* damaged : {"vexa2users.tmp", "vexa2users.dat"}) {
        const std::string whole = ReadFile(data.File(damaged));
        // A kill during an older program's write: one record and part of the next.
        WriteFile(data.File(damaged), whole.substr(0, 3718 + 100));
        auto r = Admin({"user", "add", "dave"});
        EXPECT_EQ(r.exitCode, 1) << damaged;
        EXPECT_EQ(r.err, "vexa2-admin: the account file " + data.File(damaged) +
                             " is damaged (1 whole records and an incomplete one of 100 bytes); "
                             "nothing was changed, so no record is lost. Repair or remove the "
                             "file first\n");
        EXPECT_TRUE(ReadFile(data.File(damaged)) == whole.substr(0, 3718 + 100)) << damaged;
        WriteFile(data.File(damaged), whole);
    }
    EXPECT_TRUE(ReadFile(data.File("vexa2users.dat")) == saved);
    // Looking is still allowed.
    WriteFile(data.File("vexa2users.tmp"), saved.substr(0, 3718 + 100));
    EXPECT_EQ(Admin({"user", "list"}).out, "ann\n");
}

TEST_F(AdminTool, ListsAreWrittenAndRefusedWhileFolderIsHeld) {
    Ok({"ip", "add", "10.0.0.*"});
    Ok({"vdir", "add", "/srv/pub", "pub"});
    Ok({"link", "add", "/srv/pub", "Public"});
    Ok({"ip", "mode", "allow"});
    EXPECT_EQ(ReadFile(data.File("ipdenials.dat")), "10.0.0.*\r\n");
    EXPECT_EQ(ReadFile(data.File("virtmaps.dat")), "/srv/pub/\r\n/pub/\r\n");
    EXPECT_NE(ReadFile(data.File("vexa2.ini")).find("Allow=1"), std::string::npos);
    auto list = Admin({"vdir", "list"});
    EXPECT_EQ(list.out, "1: /srv/pub/ /pub/\n");

    DataFolderLock held; // a running program on the folder
    ASSERT_TRUE(held.Acquire(data.Path()));
    auto refused = Admin({"ip", "add", "192.168.*"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("another program"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(data.File("ipdenials.dat")), "10.0.0.*\r\n");
    Ok({"user", "add", "live"}); // accounts still change
    Ok({"ip", "list"});
    held.Release();
    Ok({"ip", "delete", "1"});
    EXPECT_EQ(ReadFile(data.File("ipdenials.dat")), "");
}
