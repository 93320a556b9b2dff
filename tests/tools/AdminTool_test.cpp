// vexa2-admin run as a program on a temporary data folder.
#include "accounts/AccountFiles.h"
#include "accounts/ServerLists.h"
#include "app/DataFolder.h"
#include "client/SiteRecord.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    for (const char* word :
         {"user add", "group", "ip mode allow|deny", "vdir add", "link add", "site add", "site set",
          "site delete", "site list", "--no-save", "--data-dir"})
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

TEST_F(AdminTool, AShortenedWorkingFileNeverReplacesTheSavedOne) {
    for (const char* name : {"ann", "ben", "cat"})
        Ok({"user", "add", name});
    const std::string saved = ReadFile(data.File("vexa2users.dat"));
    const std::string working = data.File("vexa2users.tmp");
    // Cut or emptied behind the program's back, and not written since the save.
    auto shorten = [&](const std::string& bytes) {
        WriteFile(working, bytes);
        std::filesystem::last_write_time(
            working, std::filesystem::last_write_time(data.File("vexa2users.dat")));
    };
    const struct {
        const char* what;
        std::string bytes;
        int records;
    } cases[] = {{"empty", "", 0}, {"cut on a record boundary", saved.substr(0, 3718), 1}};
    for (const auto& c : cases) {
        shorten(c.bytes);
        auto r = Admin({"user", "add", "dave"});
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_EQ(r.err, "vexa2-admin: the working file " + working + " holds " +
                             std::to_string(c.records) +
                             " records, fewer than the 3 of the saved "
                             "file " +
                             data.File("vexa2users.dat") +
                             ", and is not newer than it; nothing was changed. Use --yes to "
                             "replace the saved file with the shorter one\n")
            << c.what;
        EXPECT_TRUE(ReadFile(data.File("vexa2users.dat")) == saved) << c.what;
        EXPECT_TRUE(ReadFile(working) == c.bytes) << c.what;
    }
    // Listing still shows what the working file holds.
    EXPECT_EQ(Admin({"user", "list"}).out, "ann\n");

    // A deliberate shrink, confirmed.
    Ok({"--yes", "user", "add", "dave"});
    accounts::AccountFiles files(data.Path(), {});
    files.StartUp();
    EXPECT_EQ(*files.Users().LoadNames(), (std::vector<std::string>{"ann", "dave"}));

    // The same rule for groups; a delete that shrinks both files is no shrink.
    Ok({"group", "add", "staff"});
    Ok({"group", "add", "admins"});
    Ok({"group", "delete", "admins"});
    WriteFile(data.File("vexa2groups.tmp"), "");
    std::filesystem::last_write_time(
        data.File("vexa2groups.tmp"),
        std::filesystem::last_write_time(data.File("vexa2groups.dat")) - std::chrono::seconds(5));
    EXPECT_EQ(Admin({"group", "add", "ops"}).exitCode, 1);
    EXPECT_EQ(*accounts::GroupFile(data.File("vexa2groups.dat"), {}).LoadNames(),
              (std::vector<std::string>{"staff"}));
}

TEST_F(AdminTool, AccountAndSiteFilesAreOwnerOnly) {
    Ok({"user", "add", "bob"});
    Ok({"user", "set", "bob", "password", "pw"});
    Ok({"group", "add", "staff"});
    Ok({"site", "add", "home", "host", "h", "password", "pw"});
    const char* files[] = {"vexa2users.dat", "vexa2users.tmp", "vexa2groups.dat", "vexa2groups.tmp",
                           "vexa2sites.dat"};
    auto mode = [&](const char* name) {
        return std::filesystem::status(data.File(name)).permissions();
    };
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    for (const char* name : files)
        EXPECT_EQ(mode(name), ownerOnly) << name;
    // Left readable by an older version: the next rewrite closes them.
    for (const char* name : files)
        std::filesystem::permissions(data.File(name), ownerOnly |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
    Ok({"user", "set", "bob", "password", "new"});
    Ok({"group", "set", "staff", "home", "/srv"});
    Ok({"site", "set", "home", "password", "new"});
    for (const char* name : files)
        EXPECT_EQ(mode(name), ownerOnly) << name;
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

TEST_F(AdminTool, SitesAreStoredAsTheSiteManagerStoresThem) {
    Ok({"site",
        "add",
        "office",
        "host",
        "ftp.example.org",
        "port",
        "2121",
        "user",
        "bob",
        "password",
        "pw",
        "login",
        "encrypted",
        "key",
        "the key text",
        "mandatory",
        "on",
        "passive",
        "on",
        "socks-server",
        "proxy.example.org",
        "socks-port",
        "1080",
        "socks-user",
        "sam",
        "socks-password",
        "sp",
        "no-socks",
        "on",
        "no-rsa",
        "on"});
    Ok({"site", "add", "Office"}); // letter case makes a different name
    Ok({"site", "add", "anon", "host", "h", "login", "anonymous"});
    SiteRecord office;
    office.Name = "office";
    office.Host = "ftp.example.org";
    office.Port = "2121";
    office.UserName = "bob";
    office.Password = "pw";
    office.LoginType = 3;
    office.EncryptionKey = "the key text";
    office.EncryptionMandatory = office.Passive = office.NoSocks = office.NoRSA = true;
    office.SocksServer = "proxy.example.org";
    office.SocksPort = "1080";
    office.SocksUsername = "sam";
    office.SocksPassword = "sp";
    SiteRecord bare; // a new site is passive, with its name and nothing else
    bare.Name = "Office";
    bare.Passive = true;
    SiteRecord anon;
    anon.Name = "anon";
    anon.Passive = true;
    anon.Host = "h";
    anon.LoginType = 2;
    anon.UserName = "anonymous";
    anon.Password = "vexa2@";
    auto bytes = [](const std::vector<SiteRecord>& sites) {
        std::string all;
        for (const auto& s : sites) {
            const auto b = s.ToBytes();
            all.append(reinterpret_cast<const char*>(b.data()), b.size());
        }
        return all;
    };
    EXPECT_TRUE(ReadFile(data.File("vexa2sites.dat")) == bytes({office, bare, anon}));
    EXPECT_EQ(Admin({"site", "list"}).out, "office\nOffice\nanon\n");

    // Anonymous keeps a password that already is an address.
    Ok({"site", "set", "anon", "password", "me@example.org", "login", "anonymous"});
    Ok({"site", "set", "office", "login", "normal", "passive", "off", "port", ""});
    office.LoginType = 1;
    office.Passive = false;
    office.Port = "";
    anon.Password = "me@example.org";
    EXPECT_TRUE(ReadFile(data.File("vexa2sites.dat")) == bytes({office, bare, anon}));
    auto show = Admin({"site", "show", "office"});
    EXPECT_EQ(show.out, "name: office\nlogin: normal\nhost: ftp.example.org\nport: \nuser: bob\n"
                        "password: (set)\nkey: (set)\nsocks-server: proxy.example.org\n"
                        "socks-port: 1080\nsocks-user: sam\nsocks-password: (set)\n"
                        "mandatory: on\npassive: off\nno-socks: on\nno-rsa: on\n");

    Ok({"site", "delete", "Office"});
    EXPECT_TRUE(ReadFile(data.File("vexa2sites.dat")) == bytes({office, anon}));
    Ok({"site", "delete", "office"});
    Ok({"site", "delete", "anon"});
    // Deleting the last site removes the store.
    EXPECT_FALSE(std::filesystem::exists(data.File("vexa2sites.dat")));
    EXPECT_EQ(Admin({"site", "list"}).out, "");
}

TEST_F(AdminTool, SiteRefusalsChangeNothing) {
    Ok({"site", "add", "office", "host", "h", "password", "pw"});
    const std::string stored = ReadFile(data.File("vexa2sites.dat"));
    const std::string name41(41, 'n');
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"site", "add", "office"},
         "Invalid Name - it already exists in the list.  The name must be unique."},
        {{"site", "add", "x", "port", "0"}, "a port is a number from 1 to 65535"},
        {{"site", "add", "x", "port", "65536"}, "a port is a number from 1 to 65535"},
        {{"site", "set", "office", "socks-port", "80a"}, "a port is a number from 1 to 65535"},
        {{"site", "add", name41}, "name takes at most 40 characters"},
        {{"site", "add", ""}, "a site needs a name"},
        {{"site", "set", "office", "host", std::string(81, 'h')},
         "host takes at most 80 characters"},
        {{"site", "set", "office", "password", std::string(41, 'p')},
         "password takes at most 40 characters"},
        {{"site", "set", "office", "login", "secret"},
         "login must be normal, anonymous or encrypted"},
        {{"site", "set", "office", "passive", "yes"}, "expected on or off"},
        {{"site", "set", "office", "colour", "red"}, "unknown site field"},
        // A bad field late in the list: the good ones before it are not
        // written either.
        {{"site", "set", "office", "host", "other", "port"}, "missing argument"},
        {{"site", "add", "y", "host", "other", "mandatory", "maybe"}, "expected on or off"},
        {{"site", "set", "nowhere", "host", "h"}, "no site named nowhere"},
        {{"site", "show", "Office"}, "no site named Office"},
        {{"site", "delete", "nowhere"}, "no site named nowhere"},
        {{"site", "rename", "office", "x"}, "unknown command"},
        {{"site"}, "missing argument"},
    };
    for (const auto& c : cases) {
        auto r = Admin(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[1];
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(ReadFile(data.File("vexa2sites.dat")) == stored) << c.args[1];
    }

    // A damaged store (a record cut short) is reported, and left as it is.
    WriteFile(data.File("vexa2sites.dat"), stored + std::string(100, '\0'));
    auto add = Admin({"site", "add", "new"});
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_EQ(add.err, "vexa2-admin: FATAL ERROR - file " + data.File("vexa2sites.dat") +
                           " corrupt - Program may not work properly.\n");
    auto list = Admin({"site", "list"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(list.out, "office\n");
    EXPECT_TRUE(ReadFile(data.File("vexa2sites.dat")) == stored + std::string(100, '\0'));
}
