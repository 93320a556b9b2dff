#include "tools/FtpCommandLine.h"

#include <gtest/gtest.h>

TEST(FtpCommandLine, Urls) {
    struct Case {
        const char* text;
        bool ok;
        const char* user;
        const char* password;
        const char* host;
        const char* port;
        const char* path;
    } cases[] = {
        {"ftp://host", true, "", "", "host", "21", ""},
        {"ftp://host/", true, "", "", "host", "21", ""},
        {"ftp://u:p@127.0.0.1:2121/pub/dir", true, "u", "p", "127.0.0.1", "2121", "pub/dir"},
        {"ftp://u%40x:p%3Aw@h/", true, "u@x", "p:w", "h", "21", ""},
        {"ftp://a@b@h/", true, "a@b", "", "h", "21", ""},
        {"http://h/", false, "", "", "", "", ""},
        {"ftp://", false, "", "", "", "", ""},
        {"ftp://h:/", false, "", "", "", "", ""},
        {"ftp://h:21x/", false, "", "", "", "", ""},
        {"ftp://u:p@/x", false, "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        auto url = ParseFtpUrl(c.text);
        ASSERT_EQ(url.has_value(), c.ok) << c.text;
        if (!url)
            continue;
        EXPECT_EQ(url->user, c.user) << c.text;
        EXPECT_EQ(url->password, c.password) << c.text;
        EXPECT_EQ(url->host, c.host) << c.text;
        EXPECT_EQ(url->port, c.port) << c.text;
        EXPECT_EQ(url->path, c.path) << c.text;
    }
}

TEST(FtpCommandLine, OptionsAndSeveralCommands) {
    auto o = ParseFtpToolArgs({"--active",
                               "--verbose",
                               "--socks",
                               "127.0.0.1:1080",
                               "--socks-level",
                               "4a",
                               "--socks-user=me",
                               "--data-dir",
                               "/tmp/d",
                               "ftp://h/",
                               "ls",
                               "get",
                               "a",
                               "ls",
                               "put",
                               "x",
                               "y",
                               "mv",
                               "a",
                               "b",
                               "quote",
                               "NOOP",
                               "pwd"});
    ASSERT_EQ(o.error, "");
    EXPECT_FALSE(o.passive);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.socksHost, "127.0.0.1");
    EXPECT_EQ(o.socksPort, "1080");
    EXPECT_EQ(o.socksLevel, "4A");
    EXPECT_EQ(o.socksUser, "me");
    EXPECT_EQ(*o.dataDir, "/tmp/d");
    EXPECT_EQ(o.url.user, "anonymous");
    ASSERT_EQ(o.commands.size(), 7u);
    EXPECT_EQ(o.commands[0].name, "ls");
    EXPECT_TRUE(o.commands[0].args.empty());
    // "ls" after "get a" is the next command, not the local name.
    EXPECT_EQ(o.commands[1].args, std::vector<std::string>{"a"});
    EXPECT_EQ(o.commands[3].args, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(o.commands[4].args, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(o.commands[5].args, std::vector<std::string>{"NOOP"});
    EXPECT_EQ(o.commands[6].name, "pwd");
}

TEST(FtpCommandLine, Errors) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{}, "missing ftp:// address"},
        {{"--bogus", "ftp://h/", "ls"}, "unknown option: --bogus"},
        {{"ftp://h/"}, "no command given"},
        {{"ftp://h/", "fetch"}, "unknown command: fetch"},
        {{"ftp://h/", "get"}, "missing argument for get"},
        {{"ftp://h/", "mv", "a"}, "missing argument for mv"},
        {{"--socks", "nohostport", "ftp://h/", "ls"}, "--socks needs HOST:PORT"},
        {{"--socks-level", "6", "ftp://h/", "ls"}, "--socks-level must be 4, 4A or 5"},
        {{"--socks-user"}, "option needs a value: --socks-user"},
        {{"--site", "", "ls"}, "--site needs a site name"},
        {{"--key=", "ftp://h/", "ls"}, "--key needs a key text"},
        {{"--key", "k", "ls"},
         "not an ftp:// address: ls"}, // no stored site: the address is required
        {{"--site", "office", "ftp://h/"}, "no command given"},
        {{"--site", "office", "get"}, "missing argument for get"},
        {{"h", "ls"}, "not an ftp:// address: h"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseFtpToolArgs(c.args).error, c.error);
    EXPECT_TRUE(ParseFtpToolArgs({"--help"}).help);
}

TEST(FtpCommandLine, StoredSiteAndEncryptionOptions) {
    // With --site the address may be left out; what an address spells out
    // is marked, so only that overrides the stored site.
    auto bare = ParseFtpToolArgs({"--site", "office", "--key", "secret key", "--mandatory",
                                  "--no-rsa", "--settings", "other.ini", "ls"});
    ASSERT_EQ(bare.error, "");
    EXPECT_EQ(*bare.site, "office");
    EXPECT_EQ(*bare.key, "secret key");
    EXPECT_TRUE(bare.mandatory);
    EXPECT_TRUE(bare.noRsa);
    EXPECT_EQ(*bare.settingsFile, "other.ini");
    EXPECT_FALSE(bare.passiveGiven);
    EXPECT_FALSE(bare.url.given);
    EXPECT_EQ(bare.url.user, ""); // the stored user name counts first
    ASSERT_EQ(bare.commands.size(), 1u);

    auto over = ParseFtpToolArgs({"--site=office", "--active", "ftp://bob@h2/sub", "pwd"});
    ASSERT_EQ(over.error, "");
    EXPECT_TRUE(over.url.given);
    EXPECT_TRUE(over.url.userGiven);
    EXPECT_FALSE(over.url.passwordGiven);
    EXPECT_FALSE(over.url.portGiven);
    EXPECT_TRUE(over.passiveGiven);
    EXPECT_FALSE(over.passive);
    EXPECT_EQ(over.url.path, "sub");

    auto plain = ParseFtpToolArgs({"ftp://h:2121/", "pwd"});
    ASSERT_EQ(plain.error, "");
    EXPECT_FALSE(plain.site.has_value());
    EXPECT_FALSE(plain.key.has_value());
    EXPECT_FALSE(plain.mandatory);
    EXPECT_FALSE(plain.noRsa);
    EXPECT_TRUE(plain.url.portGiven);
    EXPECT_FALSE(plain.url.userGiven);
    EXPECT_EQ(plain.url.user, "anonymous");
}

TEST(FtpCommandLine, FoldersPatternsAndExistingTargets) {
    auto o = ParseFtpToolArgs({"--resume", "--progress", "ftp://h/", "get", "-r", "remote dir",
                               "mget", "*.bin", "sub/*.txt", "put", "-r", "local", "there", "mput",
                               "a*", "pwd"});
    ASSERT_EQ(o.error, "");
    EXPECT_EQ(o.existing, FtpExisting::Resume);
    EXPECT_TRUE(o.progress);
    ASSERT_EQ(o.commands.size(), 5u);
    EXPECT_TRUE(o.commands[0].recursive);
    EXPECT_EQ(o.commands[0].args, (std::vector<std::string>{"remote dir"}));
    EXPECT_EQ(o.commands[1].args, (std::vector<std::string>{"*.bin", "sub/*.txt"}));
    EXPECT_TRUE(o.commands[2].recursive);
    EXPECT_EQ(o.commands[2].args, (std::vector<std::string>{"local", "there"}));
    EXPECT_EQ(o.commands[3].args, (std::vector<std::string>{"a*"}));
    EXPECT_EQ(o.commands[4].name, "pwd");

    EXPECT_EQ(ParseFtpToolArgs({"ftp://h/", "get"}).existing, FtpExisting::Overwrite);
    EXPECT_NE(ParseFtpToolArgs({"--skip", "--ask", "ftp://h/", "pwd"}).error, "");
    EXPECT_NE(ParseFtpToolArgs({"ftp://h/", "mget"}).error, "");
    EXPECT_NE(ParseFtpToolArgs({"ftp://h/", "get", "-r"}).error, "");
}
