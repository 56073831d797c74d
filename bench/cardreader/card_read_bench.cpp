// Times one full card read (find, select, base message) through libqmrapi's exports.
#include "qmrapi.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

// The fixed pauses the protocol prescribes after each request: find 100 ms, select 100 ms, base
// message 1500 ms. Everything above them is the transport's and the reader's own time.
constexpr double kFullReadPausesMs = 100 + 100 + 1500;
constexpr double kSingleCommandPauseMs = 100;

using Clock = std::chrono::steady_clock;

// The mean wall time per iteration above the pauses, in milliseconds.
double beyondPauses(Clock::duration total, int64_t iterations, double pausesMs) {
    if (iterations == 0)
        return 0;
    return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(iterations) -
           pausesMs;
}

void fullCardRead(benchmark::State& state) {
    Clock::duration total{};
    std::vector<uint8_t> data(16);
    std::vector<uint8_t> text(QMR_BASE_MSG_BLOCKS_MAX);
    std::vector<uint8_t> photo(QMR_BASE_MSG_BLOCKS_MAX);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        uint32_t textLength = 0;
        uint32_t photoLength = 0;
        if (QMR_StartFindIDCard(0, data.data(), 0) != QMR_CARD_FOUND ||
            QMR_SelectIDCard(0, data.data(), 0) != QMR_SUCCESS ||
            QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0) != QMR_SUCCESS) {
            state.SkipWithError("no card could be read");
            break;
        }
        benchmark::DoNotOptimize(textLength + photoLength);
        total += Clock::now() - start;
    }
    state.counters["pauses_ms"] = kFullReadPausesMs;
    state.counters["beyond_pauses_ms"] = beyondPauses(total, state.iterations(), kFullReadPausesMs);
}

void singleCommand(benchmark::State& state) {
    Clock::duration total{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (QMR_GetSAMStatus(0, 0) != QMR_SUCCESS) {
            state.SkipWithError("the reader did not answer");
            break;
        }
        total += Clock::now() - start;
    }
    state.counters["pauses_ms"] = kSingleCommandPauseMs;
    state.counters["beyond_pauses_ms"] = beyondPauses(total, state.iterations(), kSingleCommandPauseMs);
}

BENCHMARK(fullCardRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(singleCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The sample card unless the caller names a reader file (or sets it empty to use a real reader); set
// before main, so before the first export call picks the backend.
const bool g_readerChosen = [] { return setenv("QX_VIRTUAL_READER", QX_SAMPLE_CARD, 0) == 0; }();

} // namespace

BENCHMARK_MAIN();
