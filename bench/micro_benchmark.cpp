// Micro-benchmarks of the replicate loop and the EM on simulated windows:
//   build/bench/micro_benchmark [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "exchange/counter_stream.h"
#include "exchange/run_stream.h"
#include "exchange/stream_position.h"
#include "frequency/em.h"
#include "frequency/frequency_sets.h"
#include "input/family_input.h"
#include "io/text_reader.h"
#include "resampling/resample.h"
#include "statistics/weighted_counts.h"
#include "window/prepare_window.h"

namespace {

using namespace triotdt;

// The families of `generate_input` with the given settings, read as the program reads them.
haplotype::FamilyData simulate(const std::string& settings) {
    const std::string command = std::string(GENERATE_INPUT) + " " + settings;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string text;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, got);
    io::TextReader reader = io::TextReader::fromText(text, "simulated");
    return input::readFamilyData(reader);
}

const haplotype::FamilyData& largeStudy() {  // as in workload W3
    static const haplotype::FamilyData data =
        simulate("--families 1000 --loci 7 --allele-count 2 --replicates 100 --seed 3");
    return data;
}

const haplotype::FamilyData& classic() {  // as in workload W1
    static const haplotype::FamilyData data =
        simulate("--families 200 --loci 7 --allele-count 4 --replicates 100 --seed 1");
    return data;
}

// One thread's replicates: each iteration is one replicate of the window.
void replicates(benchmark::State& state, const haplotype::FamilyData& data) {
    const auto w = window::prepareWindow(data, static_cast<std::int32_t>(state.range(0)), 1);
    const statistics::WindowModel& model = *w->model;
    const statistics::FiveStatistics observed{};
    std::int64_t window = 0;
    for (auto _ : state) {
        const exchange::ExchangePlace place{w->phases.familyCount(), 256, window++, {}};
        resampling::ReplicateBuffers buffers(model, place);
        benchmark::DoNotOptimize(resampling::scoreReplicates(model, observed, 0, 256, buffers));
    }
    state.SetItemsProcessed(state.iterations() * 256);
    state.counters["combinations"] = static_cast<double>(w->phases.combinationCount());
    state.counters["haplotypes"] = static_cast<double>(w->phases.indexCount());
}

void BM_ReplicatesLargeStudy(benchmark::State& state) { replicates(state, largeStudy()); }
void BM_ReplicatesClassic(benchmark::State& state) { replicates(state, classic()); }
BENCHMARK(BM_ReplicatesLargeStudy)->Arg(1)->Arg(4)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplicatesClassic)->Arg(1)->Arg(4)->Arg(7)->Unit(benchmark::kMillisecond);

// The exchange bits of a window of 1,024 families and 1,024 replicates, as
// the replicate loop gets them.
void BM_Draws(benchmark::State& state) {
    constexpr std::int32_t side = 1024;
    exchange::ExchangeBlock block;
    std::int64_t window = 0;
    for (auto _ : state) {
        exchange::RunStream stream({side, side, window++, {}});
        stream.fill(0, side, block);
        benchmark::DoNotOptimize(block.words.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_Draws)->Unit(benchmark::kMillisecond);

// The same from the counter-based stream (--seed).
void BM_CounterDraws(benchmark::State& state) {
    constexpr std::int32_t side = 1024;
    exchange::ExchangeBlock block;
    std::int32_t first = 0;
    for (auto _ : state) {
        exchange::CounterStream({side, side, 0, 1}).fill(first, side, block);
        first += side;
        benchmark::DoNotOptimize(block.words.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_CounterDraws)->Unit(benchmark::kMillisecond);

// Putting the generator at a draw number, at positions spread over 2^62.
void BM_GeneratorAfter(benchmark::State& state) {
    std::uint64_t random = 0;
    for (auto _ : state) {
        random = random * 6364136223846793005ULL + 1442695040888963407ULL;
        benchmark::DoNotOptimize(exchange::generatorAfter(random >> 2));
    }
}
BENCHMARK(BM_GeneratorAfter)->Unit(benchmark::kMicrosecond);

void BM_EmClassic(benchmark::State& state) {
    const auto w = window::prepareWindow(classic(), static_cast<std::int32_t>(state.range(0)), 1);
    for (auto _ : state) benchmark::DoNotOptimize(frequency::estimateHaplotypeFrequencies(w->phases));
}
BENCHMARK(BM_EmClassic)->Arg(4)->Arg(7)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
