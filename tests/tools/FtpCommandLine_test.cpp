#include "tools/FtpCommandLine.h"

#include "tools/FtpTexts.h"

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
        // The scheme in any letter case; the port's range is the caller's check.
        {"FTP://H:1/", true, "", "", "H", "1", ""},
        {"Ftp://h:65535/a", true, "", "", "h", "65535", "a"},
        // IPv6 addresses in brackets, with and without a port.
        {"ftp://[::1]:2121/d", true, "", "", "::1", "2121", "d"},
        {"ftp://u:p@[fe80::1]/", true, "u", "p", "fe80::1", "21", ""},
        {"ftp://[::1]", true, "", "", "::1", "21", ""},
        {"ftp://[::1/", false, "", "", "", "", ""},
        {"ftp://[]:21/", false, "", "", "", "", ""},
        {"ftp://[::1]x/", false, "", "", "", "", ""},
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
    // No user in the address: the set-up settles it (~/.netrc may name one).
    EXPECT_EQ(o.url.user, "");
    EXPECT_FALSE(o.url.userGiven);
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
        {{}, "no address and no command given; see vexa2-ftp --help"},
        {{"--verbose"}, "missing ftp:// address"},
        {{"--bogus", "ftp://h/", "ls"}, "unknown option: --bogus"},
        {{"ftp://h/"}, "no command given"},
        {{"ftp://h/", "fetch"}, "unknown command: fetch"},
        {{"ftp://h/", "get"}, "missing argument for get"},
        {{"ftp://h/", "mv", "a"}, "missing argument for mv"},
        {{"--socks", "nohostport", "ftp://h/", "ls"},
         "--socks needs HOST:PORT (a port from 1 to 65535)"},
        {{"--socks", "p:0", "ftp://h/", "ls"}, "--socks needs HOST:PORT (a port from 1 to 65535)"},
        {{"ftp://h:0/", "ls"}, "the port must be a number from 1 to 65535: 0"},
        {{"ftp://h:65536/", "ls"}, "the port must be a number from 1 to 65535: 65536"},
        {{"ftp://h:99999999999999999999/", "ls"},
         "the port must be a number from 1 to 65535: 99999999999999999999"},
        {{"--timeout", "5x", "ftp://h/", "ls"}, "--timeout needs a whole number of seconds from 1"},
        {{"--timeout=0", "ftp://h/", "ls"}, "--timeout needs a whole number of seconds from 1"},
        {{"ftp://h/", "rm", "--odd"}, "unknown option: --odd"},
        {{"--socks-level", "6", "ftp://h/", "ls"}, "--socks-level must be 4, 4A or 5"},
        {{"--socks-user"}, "option needs a value: --socks-user"},
        {{"--site", "", "ls"}, "--site needs a site name"},
        {{"--key=", "ftp://h/", "ls"}, "--key needs a key text"},
        {{"--key", "k", "ls"},
         "not an ftp:// address: ls"}, // no stored site: the address is required
        {{"--site", "office", "ftp://h/"}, "no command given"},
        {{"--site", "office", "get"}, "missing argument for get"},
        {{"h", "ls"}, "not an ftp:// address: h"},
        {{"--limit-rate", "fast", "ftp://h/", "ls"},
         "--limit-rate must be a number of bytes per second, with k, m or g after it if you like"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseFtpToolArgs(c.args).error, c.error);
    EXPECT_TRUE(ParseFtpToolArgs({"--help"}).help);
}

TEST(FtpCommandLine, LimitRate) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> rate;
    } cases[] = {
        {"0", 0},
        {"500", 500},
        {"200k", 200 * 1024},
        {"2M", 2 * 1024 * 1024},
        {"1g", 1 << 30},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"2MB", std::nullopt},
        {"k", std::nullopt},
        {"99999999999999g", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseRate(c.text), c.rate) << c.text;
    EXPECT_EQ(ParseFtpToolArgs({"--limit-rate=2M", "ftp://h/", "ls"}).limitRate, 2 * 1024 * 1024);
    EXPECT_EQ(ParseFtpToolArgs({"ftp://h/", "ls"}).limitRate, -1);
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
}

TEST(FtpCommandLine, OptionsBeforeOrAfterTheAddress) {
    // The same run written in every order a user might type it.
    const std::vector<std::vector<std::string>> orders = {
        {"--active", "--timeout", "3", "ftp://h:2121/", "get", "a", "b", "pwd"},
        {"ftp://h:2121/", "--active", "get", "a", "b", "pwd", "--timeout=3"},
        {"FTP://h:2121/", "get", "a", "--timeout", "3", "b", "pwd", "--active"},
        {"--timeout", "3", "fTp://h:2121/", "get", "a", "b", "--active", "pwd"},
    };
    for (const auto& args : orders) {
        auto o = ParseFtpToolArgs(args);
        ASSERT_EQ(o.error, "") << args[0];
        EXPECT_FALSE(o.passive) << args[0];
        EXPECT_EQ(o.timeout, 3) << args[0];
        EXPECT_EQ(o.url.host, "h") << args[0];
        EXPECT_EQ(o.url.port, "2121") << args[0];
        ASSERT_EQ(o.commands.size(), 2u) << args[0];
        EXPECT_EQ(o.commands[0].args, (std::vector<std::string>{"a", "b"})) << args[0];
        EXPECT_EQ(o.commands[1].name, "pwd") << args[0];
    }
    // After "--" a word starting with "--" is a name.
    auto names = ParseFtpToolArgs({"--verbose", "ftp://h/", "--", "rm", "--odd", "get", "--x"});
    ASSERT_EQ(names.error, "");
    EXPECT_TRUE(names.verbose);
    ASSERT_EQ(names.commands.size(), 2u);
    EXPECT_EQ(names.commands[0].args, std::vector<std::string>{"--odd"});
    EXPECT_EQ(names.commands[1].args, std::vector<std::string>{"--x"});
    // A stored site with options after the commands.
    auto site = ParseFtpToolArgs({"--site", "office", "ls", "--no-rsa"});
    ASSERT_EQ(site.error, "");
    EXPECT_TRUE(site.noRsa);
    EXPECT_FALSE(site.url.given);
}

TEST(FtpCommandLine, HelpNamesEveryCommandAndOption) {
    // Each is accepted by the parser and explained by --help.
    const std::vector<std::vector<std::string>> commands = {
        {"ls"},
        {"nlst"},
        {"get", "a"},
        {"put", "a"},
        {"get", "-r", "d"},
        {"put", "-r", "d"},
        {"mget", "*.bin"},
        {"mput", "*.bin"},
        {"append", "a"},
        {"resume-get", "a"},
        {"resume-put", "a"},
        {"mkdir", "d"},
        {"rmdir", "d"},
        {"rm", "f"},
        {"mv", "a", "b"},
        {"size", "f"},
        {"pwd"},
        {"quote", "NOOP"},
        {"mirror", "r", "l"},
        {"mirror", "-R", "l", "r"},
    };
    const std::string usage = ftptool_texts::HelpText();
    for (const auto& c : commands) {
        std::vector<std::string> args = {"ftp://h/"};
        args.insert(args.end(), c.begin(), c.end());
        EXPECT_EQ(ParseFtpToolArgs(args).error, "") << c[0];
        const std::string shown = c.size() > 1 && c[1] == "-r" ? c[0] + " -r" : c[0];
        EXPECT_NE(usage.find("\n  " + shown + " "), std::string::npos) << shown;
    }
    const std::vector<std::vector<std::string>> options = {
        {"--passive"},          {"--active"},
        {"--socks", "h:1"},     {"--socks-level", "4"},
        {"--socks-user", "u"},  {"--socks-password", "p"},
        {"--timeout", "1"},     {"--site", "s"},
        {"--key", "k"},         {"--mandatory"},
        {"--no-rsa"},           {"--verbose"},
        {"--data-dir", "d"},    {"--settings", "f"},
        {"--limit-rate", "2M"}, {"-j", "4"},
        {"--parallel", "10"},
    };
    for (const auto& option : options) {
        std::vector<std::string> args = option;
        args.insert(args.end(), {"ftp://h/", "pwd"});
        EXPECT_EQ(ParseFtpToolArgs(args).error, "") << option[0];
        EXPECT_NE(usage.find(option[0]), std::string::npos) << option[0];
    }
    EXPECT_NE(usage.find("--help"), std::string::npos);
    for (const char* word :
         {"VEXA2_FTP_PASSWORD", "~/.netrc", "prompt", "Exit status", "FTP://", "65535", "\"--\""})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
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

TEST(FtpCommandLine, MirrorAndParallelTransfers) {
    auto o = ParseFtpToolArgs({"--delete", "-j", "4", "ftp://h/", "mirror", "-R", "local dir",
                               "remote", "--dry-run", "mirror", "r", "l"});
    ASSERT_EQ(o.error, "");
    EXPECT_TRUE(o.mirrorDelete);
    EXPECT_TRUE(o.dryRun);
    EXPECT_EQ(o.parallel, 4);
    ASSERT_EQ(o.commands.size(), 2u);
    EXPECT_TRUE(o.commands[0].reverse);
    EXPECT_EQ(o.commands[0].args, (std::vector<std::string>{"local dir", "remote"}));
    EXPECT_FALSE(o.commands[1].reverse);
    EXPECT_EQ(ParseFtpToolArgs({"--parallel=1", "ftp://h/", "pwd"}).parallel, 1);
    EXPECT_FALSE(ParseFtpToolArgs({"ftp://h/", "pwd"}).parallel.has_value());

    const char* badParallel = "-j/--parallel needs a number from 1 to 10";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-j", "0", "ftp://h/", "pwd"},
             {"-j", "11", "ftp://h/", "pwd"},
             {"--parallel=two", "ftp://h/", "pwd"},
             {"--parallel=", "ftp://h/", "pwd"},
         })
        EXPECT_EQ(ParseFtpToolArgs(args).error, badParallel) << args[0] << args[1];
    EXPECT_EQ(ParseFtpToolArgs({"ftp://h/", "mirror", "only-one"}).error,
              "missing argument for mirror");
    EXPECT_EQ(ParseFtpToolArgs({"--delete", "ftp://h/", "get", "a"}).error,
              "--delete and --dry-run go with mirror");
}
