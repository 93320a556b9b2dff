// Logins that vexa2-ftp completes without a password on its command line: a
// site made by vexa2-admin, the environment, ~/.netrc and a prompt on a
// pseudo-terminal. The servers are ours, in this process, on port 0.
#include "FtpRun.h"
#include "FtpSiteFiles.h"
#include "Peers.h"
#include "TempDir.h"
#include "support/peers/EncryptedSupport.h"
#include "support/peers/OwnServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testing_support;

namespace {

// Starts vexa2-ftp on a pseudo-terminal, answers its password prompt, and
// prints what the terminal showed, then whether echo was off while the
// prompt waited and whether it was on again afterwards, and the exit status.
const char* const kPtyScript = R"PY(
import os, pty, select, sys, termios
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
shown, answered, echo_off = b"", False, False
while True:
    ready, _, _ = select.select([fd], [], [], 30)
    if not ready:
        break
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    shown += data
    if not answered and b"Password for " in shown:
        echo_off = not termios.tcgetattr(fd)[3] & termios.ECHO
        os.write(fd, b"pty-typed-secret\n")
        answered = True
_, status = os.waitpid(pid, 0)
echo_back = bool(termios.tcgetattr(fd)[3] & termios.ECHO)
sys.stdout.write(shown.decode("latin-1"))
print("\n[echo off at prompt: %d, echo on after: %d, exit: %d]" %
      (echo_off, echo_back, os.waitstatus_to_exitcode(status)))
)PY";

} // namespace

TEST(FtpLogins, SiteMadeByAdminLogsInEncryptedOrPlainAsTheSiteSays) {
    // Our server with its key pair; the account has a key text.
    enc_test::Env server(&enc_test::Pair(kb0512, 0), nullptr, enc_test::kKey56);
    const std::string content = PatternBytes(3 * 2048 + 77, 5);
    WriteFile(server.root + "f.bin", content);
    TempDir data, local;
    GenerateKeyPair(data.Path());
    const std::string port = std::to_string(server.port);
    Admin(data.Path(), {"site", "add", "secure", "host", "127.0.0.1", "port", port, "user",
                        enc_test::kUser, "password", enc_test::kPass, "login", "encrypted", "key",
                        enc_test::kKey56, "mandatory", "on", "passive", "on"});
    Admin(data.Path(), {"site", "add", "plain", "host", "127.0.0.1", "port", port, "user",
                        enc_test::kUser, "password", enc_test::kPass, "login", "normal"});

    auto secure = RunFtp({"--data-dir", data.Path(), "--site", "secure", "--verbose", "get",
                          "f.bin", local.File("secure.bin")});
    ASSERT_EQ(secure.exitCode, 0) << secure.err;
    EXPECT_TRUE(ReadFile(local.File("secure.bin")) == content);
    EXPECT_TRUE(Has(secure.err, "Encryption Successfully negotiated.")) << secure.err;
    EXPECT_TRUE(Has(secure.err, "Encryption ENABLED")) << secure.err;

    auto plain = RunFtp({"--data-dir", data.Path(), "--site", "plain", "--verbose", "get", "f.bin",
                         local.File("plain.bin")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_TRUE(ReadFile(local.File("plain.bin")) == content);
    EXPECT_TRUE(Has(plain.err, "SEND -> USER " + std::string(enc_test::kUser))) << plain.err;
    EXPECT_FALSE(Has(plain.err, "encryption.key")) << plain.err;
    EXPECT_FALSE(Has(plain.err, "Encryption ENABLED")) << plain.err;

    // A wrong key in the site: mandatory encryption quits, nothing fetched.
    Admin(data.Path(), {"site", "set", "secure", "key", "not the key"});
    auto wrong = RunFtp(
        {"--data-dir", data.Path(), "--site", "secure", "get", "f.bin", local.File("wrong.bin")});
    EXPECT_EQ(wrong.exitCode, 9); // refused by the encryption rules
    EXPECT_TRUE(Has(wrong.err, "Encryption has been set to mandatory")) << wrong.err;
    EXPECT_FALSE(std::filesystem::exists(local.File("wrong.bin")));
}

TEST(FtpLogins, PasswordFromTheEnvironmentAndFromNetrc) {
    TempDir served, home, local;
    OwnServer server(served.Path());
    WriteFile(served.File("f.bin"), "some bytes");
    const std::string hostPort = "127.0.0.1:" + server.PortText();

    auto fromEnv = RunFtp({"ftp://carol@" + hostPort + "/", "get", "f.bin", local.File("a")}, {},
                          {{"VEXA2_FTP_PASSWORD", OwnServer::kPass}});
    ASSERT_EQ(fromEnv.exitCode, 0) << fromEnv.err;
    EXPECT_EQ(ReadFile(local.File("a")), "some bytes");

    // The netrc names user and password; the address names neither.
    WriteFile(home.File(".netrc"), "machine 127.0.0.1\n  login carol\n  password pw-carol\n");
    ::chmod(home.File(".netrc").c_str(), 0600);
    auto fromNetrc =
        RunFtp({"--verbose", "ftp://" + hostPort + "/", "get", "f.bin", local.File("b")}, {},
               {{"HOME", home.Path()}});
    ASSERT_EQ(fromNetrc.exitCode, 0) << fromNetrc.err;
    EXPECT_TRUE(Has(fromNetrc.err, "SEND -> USER carol")) << fromNetrc.err;
    EXPECT_EQ(ReadFile(local.File("b")), "some bytes");

    // The environment comes before the netrc.
    auto both = RunFtp({"ftp://carol@" + hostPort + "/", "pwd"}, {},
                       {{"HOME", home.Path()}, {"VEXA2_FTP_PASSWORD", "wrong"}});
    EXPECT_EQ(both.exitCode, 4); // the login was refused
    EXPECT_TRUE(Has(both.err, "530 ")) << both.err;
}

TEST(FtpLogins, PasswordPromptOnAPseudoTerminal) {
    TempDir served, local;
    OwnServer server(served.Path());
    WriteFile(served.File("f.bin"), "prompted bytes");
    // Our own server takes "pty-typed-secret" for this account only.
    server.Server().OnAuthenticate = [&](TFtpServer*, TFtpCtrlSocket* client,
                                         const std::string& user, const std::string& pass,
                                         bool& ok) {
        ok = user == "dora" && pass == "pty-typed-secret";
        if (ok)
            client->HomeDir = served.Path();
    };
    auto r = RunServing("/usr/bin/python3", {"-c", kPtyScript, ProgramPath("vexa2-ftp"),
                                             "ftp://dora@127.0.0.1:" + server.PortText() + "/",
                                             "get", "f.bin", local.File("f.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Password for dora@127.0.0.1: ")) << r.out;
    EXPECT_FALSE(Has(r.out, "pty-typed-secret")) << r.out; // never echoed
    EXPECT_TRUE(Has(r.out, "[echo off at prompt: 1, echo on after: 1, exit: 0]")) << r.out;
    EXPECT_EQ(ReadFile(local.File("f.bin")), "prompted bytes");
}
