// The wheel analysis on captures of growing length. Only the typical-tooth search looks at the
// whole capture; the gap search always looks at the first 500 records.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "records/wheel_analysis.h"

namespace {

// A 60-2 wheel at 1500 rpm on a 1 MHz timer with 3 % jitter (a small fixed generator, so the
// benchmark needs nothing from the tests).
CPulseList wheel60minus2(size_t count)
{
    CPulseList records;
    records.reserve(count);
    uint64_t state = 12345;
    auto jitter = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(state >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0) * 0.03;
    };
    const double tooth = 60.0 / (1500.0 * 60.0) * 1e6;
    for (size_t i = 0; i < count; ++i) {
        const double spacing = (i % 58 == 57) ? 3.0 : 1.0;
        records.push_back({static_cast<uint16_t>(std::lround(spacing * tooth * (1 + jitter()))),
                           static_cast<uint16_t>(std::lround(0.5 * tooth * (1 + jitter())))});
    }
    return records;
}

void BM_Analyse(benchmark::State& state)
{
    const CPulseList records = wheel60minus2(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        CWheelAnalysis analysis;
        const bool found = analysis.analyse(records);
        benchmark::DoNotOptimize(found);
        if (!found || analysis.pulseCount != 60)
            state.SkipWithError("the benchmark signal was not recognised");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Analyse)->Arg(2'000)->Arg(20'000)->Arg(200'000)->Complexity()->Unit(benchmark::kMicrosecond);

} // namespace
