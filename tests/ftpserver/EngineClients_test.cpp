// The engine against real clients: python3 ftplib, curl and lftp.
#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::PatternBytes;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class EngineClients : public ::testing::Test {
protected:
    TempDir serverDir;
    TempDir localDir;
    std::string home = std::filesystem::canonical(serverDir.Path()).string() + "/";
    std::string local = std::filesystem::canonical(localDir.Path()).string() + "/";
    ServerFixture fx{home};
};

// Every command of the table but PUBK, driven by ftplib in both modes.
const char* kFtplibScript = R"PY(
import ftplib, io, sys, os
port, local, passive = int(sys.argv[1]), sys.argv[2], sys.argv[3] == '1'
f = ftplib.FTP()
f.connect('127.0.0.1', port)
assert f.getwelcome() == '220 Vexa Server Ready.', f.getwelcome()
f.login('bob', 'secret')
f.set_pasv(passive)
assert f.sendcmd('SYST').startswith('215 UNIX Type: Vexa Version')
assert f.sendcmd('TYPE A') == '200 Type set to A.'
assert f.sendcmd('TYPE I') == '200 Type set to I.'
assert f.sendcmd('STRU F') == "200 Ok. STRU parameter 'F' ignored."
assert f.sendcmd('NOOP') == "200 Ok. Parameter was ''."
assert f.sendcmd('MKD d') == "257 'd': directory created."
assert f.sendcmd('XMKD d2') == "257 'd2': directory created."
assert f.cwd('d').startswith('250 CWD command successful.')
home = f.sendcmd('XPWD')
assert '"' + f.pwd() + '" is current directory.' == home[4:], (f.pwd(), home)
assert home.endswith('/d/" is current directory.'), home
for size in (0, 1, 2048, 10000000):
    name = 'f%d' % size
    data = open(os.path.join(local, name), 'rb').read()
    assert f.storbinary('STOR ' + name, io.BytesIO(data)) == '226 File received ok'
    out = io.BytesIO()
    assert f.retrbinary('RETR ' + name, out.write) == '226 File sent ok'
    assert out.getvalue() == data, name
    assert f.size(name) == size
    assert f.sendcmd('MDTM ' + name).startswith('213 ')
out = io.BytesIO()
f.retrbinary('RETR f2048', out.write, rest=1000)
assert out.getvalue() == open(os.path.join(local, 'f2048'), 'rb').read()[1000:]
assert f.storbinary('APPE f1', io.BytesIO(b'xyz')) == '226 File received ok'
assert f.size('f1') == 4
names = f.nlst()
assert set(['f0', 'f1', 'f2048', 'f10000000']) <= set(names), names
lines = []
f.retrlines('LIST', lines.append)
assert any(l.startswith('-rw-rw-rw-   1 ftp      ftp     10000000 ') and l.endswith(' f10000000') for l in lines), lines
assert f.sendcmd('RNFR f0').startswith('350')
assert f.sendcmd('RNTO g0').startswith("250 File '")
assert f.delete('g0').startswith("250 File '")
assert f.sendcmd('CDUP').startswith('250')
assert f.sendcmd('RMD d2').endswith("d2': directory removed.")
assert f.sendcmd('XMKD d3').startswith('257')
assert f.sendcmd('XRMD d3').endswith("d3': directory removed.")
assert f.sendcmd('ABOR') == '225 ABOR command successful.'
assert f.sendcmd('REST 5').startswith('350')
try:
    f.sendcmd('REST 0')
    assert False
except ftplib.error_perm as e:
    assert str(e) == '501 Required byte offset parameter bad or missing.', e
f.sendcmd('PASV')
assert f.quit() == '221 Goodbye.'
print('ok')
)PY";

TEST_F(EngineClients, FtplibEveryCommandPassiveAndActive) {
    for (int size : {0, 1, 2048, 10000000})
        WriteFile(local + "f" + std::to_string(size),
                  PatternBytes(static_cast<std::size_t>(size), 7));
    for (const char* passive : {"1", "0"}) {
        std::filesystem::remove_all(home + "d");
        std::filesystem::remove_all(home + "d2");
        const PeerResult r = RunPython(kFtplibScript, {std::to_string(fx.Port()), local, passive});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "ok\n") << r.err;
        EXPECT_TRUE(SameBytes(ReadFile(home + "d/f10000000"), ReadFile(local + "f10000000")));
    }
}

TEST_F(EngineClients, FtplibAbortDuringDownload) {
    WriteFile(home + "big", PatternBytes(30000000, 2));
    const char* script = R"PY(
import ftplib, sys
f = ftplib.FTP()
f.connect('127.0.0.1', int(sys.argv[1]))
f.login('bob', 'secret')
conn = f.transfercmd('RETR big')
conn.recv(65536)
# ftplib's abort sends ABOR as urgent data; read both replies ourselves.
f.sock.sendall(b'ABOR\r\n', 1)
print(f.getline())
print(f.getline())
conn.close()
print(f.sendcmd('NOOP'))
)PY";
    const PeerResult r = RunPython(script, {std::to_string(fx.Port())});
    EXPECT_EQ(r.out, "501 Cannot RETR. ABORT requested by client\n225 ABOR command "
                     "successful.\n200 Ok. Parameter was ''.\n")
        << r.err;
}

TEST_F(EngineClients, CurlPassiveAndActive) {
    const std::string content = PatternBytes(10000000, 11);
    WriteFile(local + "up.bin", content);
    for (bool active : {false, true}) {
        std::vector<std::string> mode;
        if (active)
            mode = {"-P", "127.0.0.1"};
        std::vector<std::string> up{"-sS", "--ftp-create-dirs", "-T", local + "up.bin",
                                    fx.Url("/sub/")};
        up.insert(up.begin(), mode.begin(), mode.end());
        PeerResult r = RunPeer("curl", up);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(SameBytes(ReadFile(home + "sub/up.bin"), content));
        std::vector<std::string> down{"-sS", "-o", local + "down.bin", fx.Url("/sub/up.bin")};
        down.insert(down.begin(), mode.begin(), mode.end());
        r = RunPeer("curl", down);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(SameBytes(ReadFile(local + "down.bin"), content));
        std::vector<std::string> list{"-sS", fx.Url("/sub/")};
        list.insert(list.begin(), mode.begin(), mode.end());
        r = RunPeer("curl", list);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(" up.bin"), std::string::npos) << r.out;
        std::filesystem::remove_all(home + "sub");
    }
}

TEST_F(EngineClients, LftpMirrorDownAndUpAndResumedUpload) {
    std::filesystem::create_directories(home + "tree/a/b");
    std::filesystem::create_directories(home + "tree/empty");
    WriteFile(home + "tree/top.txt", "top");
    WriteFile(home + "tree/a/mid.bin", PatternBytes(300000, 1));
    WriteFile(home + "tree/a/b/deep.bin", PatternBytes(5000, 2));
    WriteFile(home + "tree/a/b/zero", "");
    const std::string script =
        "set cmd:fail-exit yes; set ftp:ssl-allow no; set net:max-retries 1; "
        "mirror tree " +
        local + "down; mirror -R " + local + "down up; quit";
    PeerResult r = RunPeer(
        "lftp", {"-u", "bob,secret", "-p", std::to_string(fx.Port()), "-e", script, "127.0.0.1"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    for (const char* rel : {"top.txt", "a/mid.bin", "a/b/deep.bin", "a/b/zero"}) {
        EXPECT_TRUE(SameBytes(ReadFile(local + "down/" + rel), ReadFile(home + "tree/" + rel)))
            << rel;
        EXPECT_TRUE(SameBytes(ReadFile(home + "up/" + rel), ReadFile(home + "tree/" + rel))) << rel;
    }
    EXPECT_TRUE(std::filesystem::is_directory(home + "up/empty"));

    // lftp resumes an upload with REST and STOR.
    const std::string whole = PatternBytes(2000000, 3);
    WriteFile(local + "resume.bin", whole);
    WriteFile(home + "resume.bin", whole.substr(0, 700000));
    r = RunPeer("lftp", {"-u", "bob,secret", "-p", std::to_string(fx.Port()), "-e",
                         "set cmd:fail-exit yes; set ftp:ssl-allow no; put -c " + local +
                             "resume.bin; quit",
                         "127.0.0.1"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_TRUE(SameBytes(ReadFile(home + "resume.bin"), whole));
    bool sawRest = false;
    for (const auto& a : fx.Owner().Answers)
        sawRest |= a == "350 REST supported. Ready to resume at byte offset 700000.";
    EXPECT_TRUE(sawRest);
}

} // namespace
