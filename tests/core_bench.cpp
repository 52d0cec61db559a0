// Throughput of the two passes over 256 MiB beside memcpy of the same buffer (not a test).
// Run: build/host/tests/core_bench
#include "core/container.h"

#include <benchmark/benchmark.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

namespace {

const size_t kPlain = 256u << 20;

std::vector<uint8_t> &buffer()
{
    static std::vector<uint8_t> buf(kPlain + 16, 0x5A);   // touched once, before any timing
    return buf;
}

void BM_memcpy(benchmark::State &state)
{
    static std::vector<uint8_t> dst(kPlain + 16, 1);
    for (auto _ : state) {
        memcpy(dst.data(), buffer().data(), kPlain);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kPlain);
}

void BM_encrypt(benchmark::State &state)
{
    volatile int32_t progress = 0;
    for (auto _ : state) {
        encrypt_in_place(buffer().data(), buffer().size(), (uint32_t)kPlain, 1, 2, &progress);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kPlain);
}

void BM_decrypt(benchmark::State &state)
{
    volatile int32_t progress = 0;
    uint8_t *buf = buffer().data();
    for (auto _ : state) {
        // The same header every round, so each round deciphers the whole buffer.
        memcpy(buf, "\0\0\0\0\0\0\0\x10\0\0\0\0", 12);
        decrypt_in_place(buf, buffer().size(), (uint32_t)(kPlain + 12), &progress);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kPlain);
}

BENCHMARK(BM_memcpy)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_encrypt)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_decrypt)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each run's bytes per second so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rate;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            rate[run.benchmark_name()] = run.counters.at("bytes_per_second");
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double copy = reporter.rate["BM_memcpy/min_time:2.000"];
    for (const char *pass : {"BM_encrypt/min_time:2.000", "BM_decrypt/min_time:2.000"})
        if (copy > 0 && reporter.rate.count(pass))
            printf("%s / memcpy = %.2f\n", pass, reporter.rate[pass] / copy);
    return 0;
}
