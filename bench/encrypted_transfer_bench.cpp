// Throughput of enciphered transfers next to plain ones and next to the raw
// Blowfish CBC speed of our cipher (one CBC chain at a time, and also the
// faster way transfers use: a block of independent chunks side by side), the
// fixed cost of one command (start, login, key exchange), and the rate of
// enciphered command round trips at 2048 bits next to the rate that two
// OpenSSL 2048-bit private-key operations without CRT allow. Each round measures both sides of a
// ratio one after the other (A B A B), so the load of a shared machine hits both; medians and
// spread (min..max) of the rounds are printed. Transfers are compared byte for byte. Not a test:
// run it by hand from a Release build.
//   encrypted_transfer_bench [size_MB=100] [rounds=3]
// Transfers: vexa2-ftp and vexa2 --headless as two processes on loopback,
// prepared with vexa2-admin. Round trip: our client session and our server
// in this process.
#include "client/ClientSession.h"
#include "crypto/ChunkCipher.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/TDCP_blowfish.h"
#include "crypto/TRSA.h"
#include "ftpserver/FtpServer.h"

#include "BenchSupport.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#ifdef VEXA_HAVE_OPENSSL
#include <openssl/bn.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench_support::Median;
using testing_support::FreePort;
using testing_support::ProgramPath;
using testing_support::WaitForPort;

const std::string kKey = "bench key text for the data connections, 56 characters!";

// Runs a program to its end; seconds taken, or -1 on failure.
double Run(const std::string& program, const std::vector<std::string>& args, bool quiet = false) {
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QString::fromStdString(program), list);
    if (!process.waitForStarted(10000) || !process.waitForFinished(600000))
        return -1;
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (!quiet)
            std::fprintf(stderr, "%s failed: %s\n", program.c_str(),
                         process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

bool Admin(const std::string& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--data-dir", dir});
    return Run(ProgramPath("vexa2-admin"), args) >= 0;
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

// Raw Blowfish CBC: the key schedule built once, every 2048-byte chunk
// enciphered from the same fresh state, as the data connections do.
// kChain: one chunk after the other, a single CBC chain at a time (the plain
// cipher's rate); kBlocks: a 256 KiB block of chunks at once, as the server
// and client encipher what they send; kDecipher: one chunk after the other.
enum class CipherWay { kChain, kBlocks, kDecipher };

double RawCipherMBps(std::size_t bytes, CipherWay way) {
    TBlowfishSession session(kKey);
    std::vector<char> buffer(256 * 1024, 'x');
    QElapsedTimer t;
    t.start();
    std::size_t done = 0;
    while (done < bytes) {
        if (way == CipherWay::kBlocks)
            session.EncryptChunks(buffer.data(), buffer.size(), kServerToClientChunk);
        else
            for (std::size_t off = 0; off < buffer.size(); off += kServerToClientChunk) {
                if (way == CipherWay::kDecipher)
                    session.DecryptChunk(buffer.data() + off, kServerToClientChunk);
                else
                    session.EncryptChunk(buffer.data() + off, kServerToClientChunk);
            }
        done += buffer.size();
    }
    return static_cast<double>(done) / 1e6 / (static_cast<double>(t.nsecsElapsed()) / 1e9);
}

struct Series {
    std::vector<double> v;
    void Add(double x) { v.push_back(x); }
    double Med() const { return Median(v); }
    std::string Text() const {
        if (v.empty())
            return "-";
        char buf[96];
        std::snprintf(buf, sizeof buf, "%9.2f [%.2f..%.2f]", Median(v),
                      *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
        return buf;
    }
};

struct BenchFigures {
    Series raw, rawBlocks, rawDecipher, plainGet, plainPut, encGet, encPut, encSetUp;
};

bool TwoProcessTransfers(std::size_t bytes, int rounds, BenchFigures& out) {
    QTemporaryDir serverDir, clientDir, served, work;
    const std::string sd = serverDir.path().toStdString() + "/";
    const std::string cd = clientDir.path().toStdString() + "/";
    const std::string home = served.path().toStdString() + "/";
    const std::string wd = work.path().toStdString() + "/";
    const int port = FreePort();
    WriteFile(sd + "vexa2.ini", "[Server Options]\r\nServerPort=" + std::to_string(port) +
                                    "\r\n[Global Options]\r\nDeleteTemporaryFiles=1\r\n");
    if (!Admin(sd, {"keys", "generate", "--bits", "512"}) ||
        !Admin(cd, {"keys", "generate", "--bits", "512"}) || !Admin(sd, {"user", "add", "bench"}) ||
        !Admin(sd, {"user", "set", "bench", "password", "pw"}) ||
        !Admin(sd, {"user", "set", "bench", "key", kKey}) ||
        !Admin(sd, {"user", "set", "bench", "home", home}) ||
        !Admin(sd, {"user", "set", "bench", "enabled", "on"}) ||
        !Admin(sd, {"user", "access", "bench", "add", home,
                    "read,list,write,create,delete,rename,inherit"}))
        return false;
    {
        std::ofstream big(home + "big.bin", std::ios::binary);
        std::string block(1 << 20, '\0');
        std::uint32_t x = 12345;
        for (std::size_t done = 0; done < bytes; done += block.size()) {
            for (char& c : block) {
                x = x * 1664525u + 1013904223u;
                c = static_cast<char>(x >> 24);
            }
            big.write(block.data(),
                      static_cast<std::streamsize>(std::min(block.size(), bytes - done)));
        }
    }
    WriteFile(home + "one.bin", "1");
    QProcess server;
    server.start(QString::fromStdString(ProgramPath("vexa2")),
                 {"--headless", "--data-dir", QString::fromStdString(sd)});
    if (!server.waitForStarted(10000) || !WaitForPort(port, 20000)) {
        std::fprintf(stderr, "vexa2 --headless did not start\n");
        return false;
    }
    const std::string url = "ftp://bench:pw@127.0.0.1:" + std::to_string(port) + "/";
    bool ok = true;
    for (int r = 0; r < rounds && ok; ++r) {
        out.raw.Add(RawCipherMBps(bytes, CipherWay::kChain));
        out.rawBlocks.Add(RawCipherMBps(bytes, CipherWay::kBlocks));
        out.rawDecipher.Add(RawCipherMBps(bytes, CipherWay::kDecipher));
        for (bool enc : {false, true}) {
            std::vector<std::string> base = {"--data-dir", cd, "--passive"};
            if (enc)
                base.insert(base.end(), {"--key", kKey, "--mandatory"});
            auto args = base;
            args.insert(args.end(), {url, "get", "big.bin", wd + "got.bin"});
            const double g = Run(ProgramPath("vexa2-ftp"), args);
            ok = ok && g > 0 && SameFiles(home + "big.bin", wd + "got.bin");
            args = base;
            const std::string remote = enc ? "up_enc.bin" : "up_plain.bin";
            args.insert(args.end(), {url, "put", wd + "got.bin", remote});
            const double p = Run(ProgramPath("vexa2-ftp"), args);
            ok = ok && p > 0 && SameFiles(home + "big.bin", home + remote);
            const double mb = static_cast<double>(bytes) / 1e6;
            if (enc) {
                // What a command costs besides the transfer: start, log in,
                // key exchange, a one-byte file.
                args = base;
                args.insert(args.end(), {url, "get", "one.bin", wd + "one.bin"});
                const double s = Run(ProgramPath("vexa2-ftp"), args);
                ok = ok && s > 0;
                out.encSetUp.Add(s * 1000);
            }
            std::printf("round %d %-6s get %8.1f MB/s   put %8.1f MB/s   raw cipher %8.1f MB/s "
                        "(in blocks %8.1f, decipher %8.1f)\n",
                        r + 1, enc ? "enc" : "plain", mb / g, mb / p, out.raw.v.back(),
                        out.rawBlocks.v.back(), out.rawDecipher.v.back());
            std::fflush(stdout);
            (enc ? out.encGet : out.plainGet).Add(mb / g);
            (enc ? out.encPut : out.plainPut).Add(mb / p);
        }
    }
    ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
    server.waitForFinished(20000);
    if (!ok) {
        std::fprintf(stderr, "a transfer failed or delivered different bytes\n");
        return false;
    }
    return true;
}

// One enciphered NOOP round trip at 2048 bits: the client enciphers with the
// server's key, the server deciphers (one private-key operation), answers
// enciphered with the client's key, the client deciphers (another one).
// Round trips per second, one figure per round; each round is followed by
// the reference measured in the same way (see TwoOpenSslPrivateOpsPerSecond).
double TwoOpenSslPrivateOpsPerSecond(int count);

bool NoopRoundTrips(int count, int rounds, Series& ours, Series& reference) {
    TRSA serverPair, clientPair, clientPeer;
    for (TRSA* p : {&serverPair, &clientPair}) {
        p->SetKeyBits(kb2048);
        p->GenerateKeys();
    }
    TFtpServer server;
    ProgramKeys serverKeys = ProgramKeys::From(serverPair);
    server.Keys = &serverKeys;
    QTemporaryDir home, dir;
    const std::string homePath = home.path().toStdString() + "/";
    server.OnAuthenticate = [homePath](TFtpServer*, TFtpCtrlSocket* c, const std::string&,
                                       const std::string&, bool& ok) {
        ok = true;
        c->HomeDir = homePath;
    };
    server.Addr = "127.0.0.1";
    server.Port = "0";
    server.Start();

    TFtpClient ftp;
    testing_support::ScriptedPrompts prompts; // nobody answers: No, or cancelled
    const std::string dirPath = dir.path().toStdString() + "/";
    ClientSession session(ftp, clientPair, clientPeer, prompts, nullptr, [&] {
        ClientDefaults d;
        d.programDirectory = dirPath;
        d.publicKey = clientPair.PublicKey();
        d.privateKey = clientPair.PrivateKey();
        d.keyLengthText = SymKeyLengthText(clientPair.SymKeyLength());
        d.keyBitsText = KeyBitsText(clientPair.KeyBits());
        return d;
    });
    session.CurrentSite.Host = "127.0.0.1";
    session.CurrentSite.Port = server.ListeningPort();
    session.CurrentSite.UserName = "bench";
    session.CurrentSite.Password = "pw";
    session.CurrentSite.LoginType = 1;
    session.CurrentSite.Passive = true;
    session.Connect();
    QElapsedTimer wait;
    wait.start();
    while (!session.Groups().RemoteUp && wait.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    if (!session.Groups().RemoteUp || ftp.ServerPublicKey.empty()) {
        std::fprintf(stderr, "enciphered session did not come up\n");
        return false;
    }
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < count; ++i) {
            ftp.LocalFileName = "NOOP";
            if (!ftp.QuoteSync() || ftp.StatusCode() != 200)
                return false;
        }
        ours.Add(count / (static_cast<double>(t.nsecsElapsed()) / 1e9));
        reference.Add(TwoOpenSslPrivateOpsPerSecond(count));
        std::printf("round %d NOOP round trips %8.1f/s   two OpenSSL private-key ops %8.1f/s\n",
                    r + 1, ours.v.back(), reference.v.back());
        std::fflush(stdout);
    }
    ftp.QuitSync();
    server.DisconnectAll();
    return true;
}

// A private-key operation without CRT is one exponentiation by a full-size
// exponent modulo a 2048-bit modulus: BN_mod_exp, OpenSSL's fastest form.
double TwoOpenSslPrivateOpsPerSecond(int count) {
#ifdef VEXA_HAVE_OPENSSL
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM *m = BN_new(), *e = BN_new(), *a = BN_new(), *r = BN_new();
    BN_rand(m, 2048, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ODD);
    BN_rand(e, 2048, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY);
    BN_rand_range(a, m);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        BN_mod_exp(r, a, e, m, ctx);
        BN_mod_exp(r, r, e, m, ctx);
    }
    const double perSecond = count / (static_cast<double>(t.nsecsElapsed()) / 1e9);
    BN_free(m);
    BN_free(e);
    BN_free(a);
    BN_free(r);
    BN_CTX_free(ctx);
    return perSecond;
#else
    (void)count;
    return 0;
#endif
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t mb = argc > 1 ? std::stoul(argv[1]) : 100;
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
    const std::size_t bytes = mb * 1000 * 1000;
    const auto load = [] {
        double l[3] = {};
        ::getloadavg(l, 3);
        std::printf("load average: %.2f %.2f %.2f\n", l[0], l[1], l[2]);
    };
    load();
    const auto ratioLine = [](const char* label, const Series& a, const Series& b, double target) {
        const double ratio = b.Med() > 0 ? a.Med() / b.Med() : 0;
        std::printf("%-40s %-28s %-28s %6.2fx  >= %.1fx %s\n", label, a.Text().c_str(),
                    b.Text().c_str(), ratio, target, ratio >= target ? "met" : "NOT MET");
    };
    BenchFigures f;
    const bool transfers = TwoProcessTransfers(bytes, rounds, f);
    Series noop, reference;
    const bool trips = NoopRoundTrips(30, rounds, noop, reference);
    load();
    std::printf("\n%-40s %-28s %-28s %7s  %s\n", "shape", "ours median [min..max]",
                "reference median [min..max]", "ratio", "target");
    if (transfers) {
        std::printf("%-40s %-28s %-28s\n", "plain get / put MB/s (for scale)",
                    f.plainGet.Text().c_str(), f.plainPut.Text().c_str());
        std::printf("%-40s %-28s\n", "raw decipher MB/s (for scale)", f.rawDecipher.Text().c_str());
        std::printf("%-40s %-28s\n", "enciphered 1-byte get, ms (set-up)",
                    f.encSetUp.Text().c_str());
        ratioLine("enciphered get MB/s vs raw cipher", f.encGet, f.raw, 0.9);
        ratioLine("enciphered put MB/s vs raw cipher", f.encPut, f.raw, 0.9);
        // The same transfers against the cipher enciphering whole blocks of
        // chunks side by side, its fastest way: how close the transfer comes
        // to what the cipher itself can do.
        ratioLine("enciphered get vs cipher in blocks", f.encGet, f.rawBlocks, 0.9);
        ratioLine("enciphered put vs cipher in blocks", f.encPut, f.rawBlocks, 0.9);
    }
    if (trips)
        ratioLine("NOOP trips/s vs two OpenSSL private ops", noop, reference, 0.9);
    return transfers && trips ? 0 : 1;
}
