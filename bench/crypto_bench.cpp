// Speed of the crypto module next to OpenSSL: modular exponentiation with a
// full-size exponent, Blowfish CBC over 2048-byte chunks, key generation.
// Ends with a table of the ratios to OpenSSL and their targets. Unless told
// otherwise it runs 5 repetitions of each, interleaved in random order so the
// load of a shared machine falls on both sides, and compares medians; the
// spread (min..max) of the CPU time is shown beside them.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "crypto/BigNum.h"
#include "crypto/SystemRandom.h"
#include "crypto/TDCP_blowfish.h"
#include "crypto/TRSA.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifdef VEXA_HAVE_OPENSSL
#include <openssl/blowfish.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>
#endif

namespace {
constexpr std::size_t kChunk = 2048;
const std::string kKeyText = "a data-channel key text of some length";

// An odd modulus with its top bit set, a base below it and a full-size exponent.
struct ExpInput {
    BigNum b{}, e{}, m{};
    int words = 0;
};

ExpInput MakeExpInput(int bits) {
    ExpInput in;
    in.words = bits / 32;
    std::mt19937 gen(static_cast<unsigned>(bits));
    for (int i = 0; i < in.words; ++i) {
        in.m[i] = static_cast<BigWord>(gen());
        in.e[i] = static_cast<BigWord>(gen());
        in.b[i] = static_cast<BigWord>(gen());
    }
    in.m[in.words - 1] |= 0x80000000u;
    in.m[0] |= 1u;
    in.e[in.words - 1] |= 0x80000000u;
    in.b[in.words - 1] &= 0x7FFFFFFFu;
    return in;
}

void BM_BigModExp(benchmark::State& state) {
    ExpInput in = MakeExpInput(static_cast<int>(state.range(0)));
    BigNum r{};
    for (auto _ : state) {
        BigModExp(r.data(), in.b.data(), in.e.data(), in.m.data(), in.words);
        benchmark::DoNotOptimize(r);
    }
}
double MinOf(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}
double MaxOf(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}
// The three key sizes, with the spread of the repetitions beside the median.
void ExponentSizes(benchmark::internal::Benchmark* b) {
    b->Arg(512)->Arg(1024)->Arg(2048);
    b->ComputeStatistics("min", MinOf)->ComputeStatistics("max", MaxOf);
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_BigModExp)->Apply(ExponentSizes);

void BM_BlowfishCBC_SchedulePerChunk(benchmark::State& state) {
    std::vector<std::uint8_t> buf(kChunk, 0x5A);
    for (auto _ : state) {
        TDCP_blowfish bf;
        bf.InitSession(kKeyText);
        bf.EncryptCBC(buf.data(), buf.data(), buf.size());
        bf.Burn();
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_BlowfishCBC_SchedulePerChunk);

void BM_BlowfishCBC_CachedSchedule(benchmark::State& state) {
    std::vector<std::uint8_t> buf(kChunk, 0x5A);
    TBlowfishSession session(kKeyText);
    for (auto _ : state) {
        session.EncryptChunk(buf.data(), buf.size());
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_BlowfishCBC_CachedSchedule);

// A block of chunks enciphered side by side, as a transfer sends them.
void BM_BlowfishCBC_ChunksSideBySide(benchmark::State& state) {
    std::vector<std::uint8_t> buf(64 * kChunk, 0x5A);
    TBlowfishSession session(kKeyText);
    for (auto _ : state) {
        session.EncryptChunks(buf.data(), buf.size(), kChunk);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buf.size()));
}
BENCHMARK(BM_BlowfishCBC_ChunksSideBySide);

void BM_BlowfishCBC_DecipherChunk(benchmark::State& state) {
    std::vector<std::uint8_t> buf(kChunk, 0x5A);
    TBlowfishSession session(kKeyText);
    for (auto _ : state) {
        session.DecryptChunk(buf.data(), buf.size());
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_BlowfishCBC_DecipherChunk);

void BM_GenerateKeys(benchmark::State& state) {
    const TKeyBits bits = state.range(0) == 512 ? kb0512 : state.range(0) == 1024 ? kb1024 : kb2048;
    for (auto _ : state) {
        TRSA rsa;
        rsa.SetKeyBits(bits);
        rsa.GenerateKeys();
        benchmark::DoNotOptimize(rsa.PublicKey().data());
    }
}
BENCHMARK(BM_GenerateKeys)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(2048)
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                            return *std::min_element(v.begin(), v.end());
                        })
    ->Unit(benchmark::kMillisecond);

#ifdef VEXA_HAVE_OPENSSL
void BM_OpenSSL_BN_mod_exp(benchmark::State& state) {
    ExpInput in = MakeExpInput(static_cast<int>(state.range(0)));
    auto toBn = [&](const BigNum& a) {
        std::vector<unsigned char> be(static_cast<std::size_t>(in.words) * 4);
        for (int i = 0; i < in.words; ++i)
            for (int j = 0; j < 4; ++j)
                be[be.size() - 1 - (static_cast<std::size_t>(i) * 4 + j)] =
                    static_cast<unsigned char>(a[i] >> (8 * j));
        return BN_bin2bn(be.data(), static_cast<int>(be.size()), nullptr);
    };
    BIGNUM* b = toBn(in.b);
    BIGNUM* e = toBn(in.e);
    BIGNUM* m = toBn(in.m);
    BIGNUM* r = BN_new();
    BN_CTX* ctx = BN_CTX_new();
    for (auto _ : state) {
        BN_mod_exp(r, b, e, m, ctx);
        benchmark::DoNotOptimize(r);
    }
    BN_free(b);
    BN_free(e);
    BN_free(m);
    BN_free(r);
    BN_CTX_free(ctx);
}
BENCHMARK(BM_OpenSSL_BN_mod_exp)->Apply(ExponentSizes);

void BM_OpenSSL_BF_cbc(benchmark::State& state) {
    std::vector<std::uint8_t> key(56, 0);
    std::copy(kKeyText.begin(), kKeyText.end(), key.begin());
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(key.size()), key.data());
    std::vector<std::uint8_t> buf(kChunk, 0x5A);
    for (auto _ : state) {
        unsigned char iv[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        BF_cbc_encrypt(buf.data(), buf.data(), static_cast<long>(buf.size()), &schedule, iv,
                       BF_ENCRYPT);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_OpenSSL_BF_cbc);

void BM_OpenSSL_RSA_generate_key_ex(benchmark::State& state) {
    BIGNUM* e = BN_new();
    BN_set_word(e, 65537);
    for (auto _ : state) {
        RSA* rsa = RSA_new();
        RSA_generate_key_ex(rsa, static_cast<int>(state.range(0)), e, nullptr);
        benchmark::DoNotOptimize(rsa);
        RSA_free(rsa);
    }
    BN_free(e);
}
BENCHMARK(BM_OpenSSL_RSA_generate_key_ex)
    ->Arg(2048)
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
#endif

// Console output as usual, and each result's times kept for the ratio table:
// per-iteration CPU and real time in ns, or the medians of repeated runs.
struct Times {
    double cpu = 0;
    double real = 0;
    double cpuMin = 0;
    double cpuMax = 0;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Times> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            std::string name = run.benchmark_name();
            const bool spread = run.aggregate_name == "min" || run.aggregate_name == "max";
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median" && !spread)
                continue;
            if (run.run_type == Run::RT_Aggregate) {
                auto pos = name.rfind("_" + run.aggregate_name);
                if (pos != std::string::npos)
                    name.erase(pos);
            }
            auto pos = name.find("/iterations:");
            if (pos != std::string::npos)
                name.erase(pos);
            pos = name.find("/repeats:");
            if (pos != std::string::npos)
                name.erase(pos);
            const double scale = run.time_unit == benchmark::kMillisecond ? 1e6 : 1.0;
            Times& t = times[name];
            if (run.aggregate_name == "min")
                t.cpuMin = run.GetAdjustedCPUTime() * scale;
            else if (run.aggregate_name == "max")
                t.cpuMax = run.GetAdjustedCPUTime() * scale;
            else {
                t.cpu = run.GetAdjustedCPUTime() * scale;
                t.real = run.GetAdjustedRealTime() * scale;
            }
        }
    }
};

// Ratios are taken on CPU time: the machines are shared, and wall time
// then measures the neighbours as much as the code. Wall time is shown too.
void PrintRatio(const RatioReporter& rep, const char* label, const std::string& ours,
                const std::string& theirs, double target) {
    auto a = rep.times.find(ours);
    auto b = rep.times.find(theirs);
    if (a == rep.times.end() || b == rep.times.end() || b->second.cpu <= 0 || b->second.real <= 0) {
        std::printf("%-42s  (not measured: %s or %s)\n", label, ours.c_str(), theirs.c_str());
        return;
    }
    const double ratio = a->second.cpu / b->second.cpu;
    const double wallRatio = a->second.real / b->second.real;
    std::printf("%-42s %10.3f ms %10.3f ms %7.2fx %7.2fx", label, a->second.cpu / 1e6,
                b->second.cpu / 1e6, ratio, wallRatio);
    if (target > 0)
        std::printf("   target <= %.1fx  %s", target, ratio <= target ? "met" : "NOT MET");
    else
        std::printf("   (no target)");
    if (a->second.cpuMax > 0 && b->second.cpuMax > 0)
        std::printf("   spread ours %.3f..%.3f, OpenSSL %.3f..%.3f ms", a->second.cpuMin / 1e6,
                    a->second.cpuMax / 1e6, b->second.cpuMin / 1e6, b->second.cpuMax / 1e6);
    std::printf("\n");
}
} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    bool chosen = false;
    for (int i = 1; i < argc; ++i)
        chosen = chosen || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!chosen) {
        args.push_back(reps.data());
        args.push_back(interleave.data());
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-42s %13s %13s %8s %8s\n", "ours vs OpenSSL, this run (CPU time)", "ours",
                "OpenSSL", "ratio", "wall");
    PrintRatio(reporter, "BigModExp 512 (full exponent)", "BM_BigModExp/512",
               "BM_OpenSSL_BN_mod_exp/512", 3.0);
    PrintRatio(reporter, "BigModExp 1024 (full exponent)", "BM_BigModExp/1024",
               "BM_OpenSSL_BN_mod_exp/1024", 3.0);
    PrintRatio(reporter, "BigModExp 2048 (full exponent)", "BM_BigModExp/2048",
               "BM_OpenSSL_BN_mod_exp/2048", 1.5);
    PrintRatio(reporter, "Blowfish CBC 2048-byte chunk, cached", "BM_BlowfishCBC_CachedSchedule",
               "BM_OpenSSL_BF_cbc", 1.5);
    PrintRatio(reporter, "Blowfish CBC 2048-byte chunk, per chunk",
               "BM_BlowfishCBC_SchedulePerChunk", "BM_OpenSSL_BF_cbc", 0);
    PrintRatio(reporter, "GenerateKeys 2048 median of 11", "BM_GenerateKeys/2048",
               "BM_OpenSSL_RSA_generate_key_ex/2048", 5.0);
    for (const char* size : {"512", "1024", "2048"}) {
        auto it = reporter.times.find(std::string("BM_GenerateKeys/") + size);
        if (it != reporter.times.end())
            std::printf("GenerateKeys %-5s median of 11: %10.3f ms CPU, %10.3f ms wall\n", size,
                        it->second.cpu / 1e6, it->second.real / 1e6);
    }
    benchmark::Shutdown();
    return 0;
}
