// Listings made a slice at a time: the same bytes as one built whole, names
// of entries only for NLST, and a large folder that never holds up others.
#include "ServerHarness.h"
#include "ftpserver/ListingProducer.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Canonical(const TempDir& dir) {
    return std::filesystem::canonical(dir.Path()).string();
}

void MakeFiles(const std::string& folder, int count) {
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/f%06d.txt", (i * 7919) % count);
        const int fd = ::open((folder + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
}

// The whole text of a producer, and the sizes it handed out.
std::string Drain(TListingProducer& producer, std::vector<std::size_t>* pieces = nullptr) {
    std::string all;
    for (bool done = false; !done;) {
        std::string out;
        done = producer.Produce(out);
        if (pieces && !out.empty())
            pieces->push_back(out.size());
        all += out;
    }
    return all;
}

TEST(ListingProducer, ManyPassesGiveTheBytesOfOne) {
    TempDir tmp;
    const std::string root = Canonical(tmp);
    MakeFiles(root, 600);
    for (const char* name : {".hidden", " lead", "Zeta", "a b", "~tilde"})
        WriteFile(root + "/" + name, "x");
    std::filesystem::create_directory(root + "/sub");
    std::filesystem::create_symlink("f000001.txt", root + "/link");
    const TPermaLinkTable links{{"/srv/x/", "perma"}};
    const TVirtMapTable maps{{root + "/sub/", root + "/pub/"}};
    struct Case {
        bool detailed;
        TListingScope scope;
    } cases[] = {{true, {}},
                 {false, {}},
                 {true, {"f00*", false, {}}},
                 {false, {"*", false, {}}},
                 {true, {"", true, {"sub", "f000002.txt"}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.detailed ? "LIST " : "NLST ") + c.scope.Pattern +
                     (c.scope.WayOnly ? " way-only" : ""));
        const auto virtuals = VirtualChildren(maps, root);
        ASSERT_EQ(virtuals.size(), 1u);
        TListingProducer whole(root, c.detailed, links, maps, c.scope, virtuals);
        whole.SetBatchLimit(100000);
        const std::string expected = Drain(whole);
        for (std::size_t batch : {1, 7, 1000}) {
            TListingProducer sliced(root, c.detailed, links, maps, c.scope, virtuals);
            sliced.SetBatchLimit(batch);
            std::vector<std::size_t> pieces;
            EXPECT_EQ(Drain(sliced, &pieces), expected) << "batch " << batch;
            // Whole blocks but the last, so a block cipher sees the same blocks.
            for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
                EXPECT_EQ(pieces[i] % TListingProducer::kBlock, 0u);
        }
        EXPECT_EQ(expected, BuildDirectoryList(root, c.detailed, links, maps, c.scope));
    }
    // Sorted by bytes; the virtual folder in its place; NLST without dots.
    const std::string names = BuildDirectoryList(root, false, {}, maps);
    EXPECT_EQ(names.rfind(" lead\r\n.hidden\r\nZeta\r\na b\r\nf000000.txt\r\n", 0), 0u);
    EXPECT_NE(names.find("\r\npub\r\nsub\r\n~tilde\r\n"), std::string::npos);
    const std::string list = BuildDirectoryList(root, true, {}, maps);
    EXPECT_NE(list.find(" .\r\n"), std::string::npos);
    EXPECT_NE(list.find(" pub\r\n"), std::string::npos);
    EXPECT_EQ(list.find(".hidden"), std::string::npos);
}

TEST(ListingProducer, TheFolderIsOpenedWithoutLinks) {
    TempDir tmp;
    const std::string root = Canonical(tmp);
    std::filesystem::create_directory(root + "/real");
    WriteFile(root + "/real/inside", "x");
    std::filesystem::create_directory_symlink(root + "/real", root + "/swapped");
    // A path judged canonical that holds a link now is never listed
    // through: a link on the way lists as missing, a final one as itself.
    EXPECT_EQ(BuildDirectoryList(root + "/swapped/inside", true, {}, {}),
              root + "/swapped/inside not found\r\n");
    EXPECT_EQ(BuildDirectoryList(root + "/swapped", false, {}, {}), "swapped\r\n");
    EXPECT_EQ(BuildDirectoryList(root + "/real", false, {}, {}), "inside\r\n");
}

class EngineListings : public ::testing::Test {
protected:
    TempDir tmp;
    std::string home = Canonical(tmp) + "/";
    ServerFixture fx{home};
};

TEST_F(EngineListings, NlstGivesOneNamePerEntryToRealClients) {
    std::filesystem::create_directory(home + "many");
    MakeFiles(home + "many", 2000);
    const PeerResult curl = RunPeer("curl", {"-sS", "-l", fx.Url("/many/")});
    ASSERT_EQ(curl.exitCode, 0) << curl.err;
    EXPECT_EQ(std::count(curl.out.begin(), curl.out.end(), '\n'), 2000);
    EXPECT_EQ(curl.out.find(".\r\n"), std::string::npos);
    const PeerResult py = RunPython(R"PY(
import ftplib, sys
f = ftplib.FTP()
f.connect('127.0.0.1', int(sys.argv[1]))
f.login('bob', 'secret')
names = f.nlst('many')
print(len(names), len(set(names)), '.' in names, '..' in names)
)PY",
                                    {std::to_string(fx.Port())});
    EXPECT_EQ(py.out, "2000 2000 False False\n") << py.err;
}

const char* kParallelListings = R"PY(
import ftplib, hashlib, sys, threading, time
port, count = int(sys.argv[1]), int(sys.argv[2])
def listing():
    f = ftplib.FTP(timeout=300)
    f.connect('127.0.0.1', port)
    f.login('bob', 'secret')
    lines = []
    f.retrlines('LIST big', lines.append)
    f.quit()
    return len(lines), hashlib.sha256('\n'.join(lines).encode('latin-1')).hexdigest()
single = listing()
results, started = [], threading.Barrier(count + 1)
def one():
    started.wait()
    results.append(listing())
threads = [threading.Thread(target=one) for _ in range(count)]
for t in threads: t.start()
started.wait()
time.sleep(0.3)
f = ftplib.FTP(timeout=300)
f.connect('127.0.0.1', port)
f.login('bob', 'secret')
busy = sum(t.is_alive() for t in threads)
f.quit()
for t in threads: t.join()
print(single[0], all(r == single for r in results), len(results), 'login-during-listings' if busy else 'late')
)PY";

TEST_F(EngineListings, AFreshLoginGetsThroughTenListingsOfAHugeFolder) {
    std::filesystem::create_directory(home + "big");
    MakeFiles(home + "big", 100000);
    const PeerResult r = RunPython(kParallelListings, {std::to_string(fx.Port()), "10"}, 600000);
    // Every listing is complete ("." and ".." and every file) and identical
    // to a single one; the fresh login was served while they ran.
    EXPECT_EQ(r.out, "100002 True 10 login-during-listings\n") << r.err;
}

} // namespace
