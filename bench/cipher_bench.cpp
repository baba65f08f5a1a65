// The cipher beside OpenSSL's Blowfish (libcrypto) in the same run: ECB encipherment of 8 KiB
// and 64-byte buffers, and the key set-up. After the table it prints how many times faster
// this library is (above 1: faster than OpenSSL).

// BF_* is deprecated in OpenSSL 3 but is OpenSSL's plain Blowfish, the fair comparison.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"

namespace {

using vellamark::BlowfishState;
using vellamark::Bytes;

Bytes PatternBytes(std::size_t size) {
    Bytes out(size);
    std::uint32_t x = 0x9E3779B9;
    for (auto& b : out) {
        x = x * 1664525 + 1013904223;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

const Bytes kKey = PatternBytes(16);

void BM_Vellamark_EcbEncipher(benchmark::State& st) {
    BlowfishState state;
    if (!vellamark::InitialiseKey(state, kKey)) {
        st.SkipWithError("key refused");
        return;
    }
    const Bytes data = PatternBytes(static_cast<std::size_t>(st.range(0)));
    for (auto _ : st) {
        Bytes out = vellamark::CipherBytesEcb(state, data, true);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * st.range(0));
}

void BM_OpenSsl_EcbEncipher(benchmark::State& st) {
    BF_KEY key;
    BF_set_key(&key, static_cast<int>(kKey.size()), kKey.data());
    const Bytes data = PatternBytes(static_cast<std::size_t>(st.range(0)));
    Bytes out(data.size());
    for (auto _ : st) {
        for (std::size_t p = 0; p < data.size(); p += 8) {
            BF_ecb_encrypt(data.data() + p, out.data() + p, &key, BF_ENCRYPT);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * st.range(0));
}

void BM_Vellamark_InitialiseKey(benchmark::State& st) {
    BlowfishState state;
    const Bytes key = PatternBytes(static_cast<std::size_t>(st.range(0)));
    for (auto _ : st) {
        const bool set = vellamark::InitialiseKey(state, key);
        benchmark::DoNotOptimize(set);
        benchmark::DoNotOptimize(state.SBoxes[3][255]);
    }
}

void BM_OpenSsl_BF_set_key(benchmark::State& st) {
    BF_KEY schedule;
    const Bytes key = PatternBytes(static_cast<std::size_t>(st.range(0)));
    for (auto _ : st) {
        BF_set_key(&schedule, static_cast<int>(key.size()), key.data());
        benchmark::DoNotOptimize(schedule.S[1023]);
    }
}

BENCHMARK(BM_Vellamark_EcbEncipher)->Arg(8192)->Arg(64);
BENCHMARK(BM_OpenSsl_EcbEncipher)->Arg(8192)->Arg(64);
BENCHMARK(BM_Vellamark_InitialiseKey)->Arg(16)->Arg(56);
BENCHMARK(BM_OpenSsl_BF_set_key)->Arg(16)->Arg(56);

// Keeps the console table and remembers each benchmark's best CPU time per iteration for the
// ratios: the least disturbed of the repetitions, on a machine that may be busy otherwise.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                const double t = run.GetAdjustedCPUTime();
                auto [it, added] = times_.try_emplace(run.run_name.str(), t);
                if (!added && t < it->second) {
                    it->second = t;
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatio(const char* what, const std::string& ours, const std::string& theirs) const {
        const auto a = times_.find(ours);
        const auto b = times_.find(theirs);
        if (a == times_.end() || b == times_.end() || a->second <= 0) {
            return;
        }
        std::printf("%-34s %6.2fx OpenSSL\n", what, b->second / a->second);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSpeed against OpenSSL's Blowfish (time of OpenSSL / time of this library):\n");
    reporter.PrintRatio("ECB encipherment, 8 KiB", "BM_Vellamark_EcbEncipher/8192",
                        "BM_OpenSsl_EcbEncipher/8192");
    reporter.PrintRatio("ECB encipherment, 64 bytes", "BM_Vellamark_EcbEncipher/64",
                        "BM_OpenSsl_EcbEncipher/64");
    reporter.PrintRatio("InitialiseKey / BF_set_key, 16 B", "BM_Vellamark_InitialiseKey/16",
                        "BM_OpenSsl_BF_set_key/16");
    reporter.PrintRatio("InitialiseKey / BF_set_key, 56 B", "BM_Vellamark_InitialiseKey/56",
                        "BM_OpenSsl_BF_set_key/56");
    benchmark::Shutdown();
    return 0;
}
