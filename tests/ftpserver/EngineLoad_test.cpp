// Two hundred simultaneous ftplib clients, and no descriptor left behind.
#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::PatternBytes;
using testing_support::RunLoopUntil;
using testing_support::TempDir;
using testing_support::WriteFile;

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

const char* kManyClients = R"PY(
import ftplib, hashlib, sys, threading
port, count, want = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
results = []
barrier = threading.Barrier(count)
def one(i):
    try:
        f = ftplib.FTP(timeout=120)
        f.connect('127.0.0.1', port)
        barrier.wait()  # every client is connected before anyone works
        f.login('bob', 'secret')
        lines = []
        f.retrlines('LIST', lines.append)
        assert any(l.endswith(' one.bin') for l in lines)
        h = hashlib.sha256()
        f.retrbinary('RETR one.bin', h.update)
        assert h.hexdigest() == want
        f.quit()
        results.append(True)
    except Exception as e:
        results.append(repr(e))
threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
for t in threads: t.start()
for t in threads: t.join()
bad = [r for r in results if r is not True]
print('ok %d' % (len(results) - len(bad)), bad[:3])
)PY";

TEST(EngineLoad, TwoHundredClientsListAndDownload) {
    TempDir tmp;
    const std::string home = std::filesystem::canonical(tmp.Path()).string() + "/";
    const std::string content = PatternBytes(1 << 20, 21);
    WriteFile(home + "one.bin", content);
    const PeerResult hash = RunPeer("sha256sum", {home + "one.bin"});
    const std::string want = hash.out.substr(0, 64);

    const int before = OpenDescriptors();
    {
        ServerFixture fx(home, 0);
        int peak = 0;
        fx.Server().OnClientConnect = [&](TFtpServer* s, TFtpCtrlSocket*, int) {
            peak = std::max(peak, s->ClientCount());
        };
        const PeerResult r =
            RunPython(kManyClients, {std::to_string(fx.Port()), "200", want}, 300000);
        EXPECT_EQ(r.out, "ok 200 []\n") << r.err;
        EXPECT_EQ(peak, 200);
        EXPECT_TRUE(RunLoopUntil([&] { return fx.Server().ClientCount() == 0; }, 10000));
        EXPECT_TRUE(RunLoopUntil([&] { return fx.Owner().Disconnects == 200; }, 10000));
        fx.Server().Stop();
    }
    testing_support::RunLoopFor(100);
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
