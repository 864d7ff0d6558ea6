// Times Step 1 on a SAM file named by the environment variable KORVEX_BENCH_SAM:
// the bare reader (every line turned into a Read or rejected) and the whole collection
// build (grouping, keep rules, LineNumberMap, error scores, shuffle). Both report lines
// per second (by CPU time). Without the variable both benchmarks are skipped. The build
// logs through the process-wide Logger, so run it from a scratch directory: it leaves a
// Logger.out there.
//
//   cd "$(mktemp -d)" && KORVEX_BENCH_SAM=/path/to/file.sam /path/to/build/bench_read

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "MapFileReader.h"
#include "MultiReadCollectionMgr.h"
#include "PlainLineSource.h"

namespace {

std::string BenchSamPath() {
    const char* pPath = std::getenv("KORVEX_BENCH_SAM");
    return pPath ? pPath : "";
}

// Number of lines of the file, headers included, as the reader numbers them.
int64_t CountLines(const std::string& sPath) {
    std::ifstream in(sPath);
    std::string sLine;
    int64_t iLines = 0;
    while (std::getline(in, sLine)) ++iLines;
    return iLines;
}

bool SkipWithoutFile(benchmark::State& state, const std::string& sPath) {
    if (!sPath.empty() && std::ifstream(sPath)) return false;
    state.SkipWithError("set KORVEX_BENCH_SAM to a readable SAM file");
    return true;
}

void SetLineRate(benchmark::State& state, int64_t iLines) {
    state.counters["lines_per_second"] =
        benchmark::Counter(static_cast<double>(iLines), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReadAllLines(benchmark::State& state) {
    const std::string sPath = BenchSamPath();
    if (SkipWithoutFile(state, sPath)) return;
    const int64_t iLines = CountLines(sPath);
    int64_t iReads = 0;
    for (auto _ : state) {
        PlainLineSource source(sPath);
        MapFileReader reader(source, sPath);
        std::string sError;
        if (!reader.GetSequenceLenFromSAMFile(sError)) {
            state.SkipWithError(sError.c_str());
            return;
        }
        Read read;
        int iRejected = 0;
        iReads = 0;
        while (reader.Read_a_Line(read, iRejected)) ++iReads;
        benchmark::DoNotOptimize(iReads);
    }
    SetLineRate(state, iLines);
    state.counters["reads"] = static_cast<double>(iReads);
}

void BM_BuildReadCollections(benchmark::State& state) {
    const std::string sPath = BenchSamPath();
    if (SkipWithoutFile(state, sPath)) return;
    const int64_t iLines = CountLines(sPath);
    for (auto _ : state) {
        MultiReadCollectionMgr collections(2, 2);
        std::string sError;
        int64_t iAccepted = collections.BuildReadCollections(sPath, false, sError);
        benchmark::DoNotOptimize(iAccepted);
    }
    SetLineRate(state, iLines);
}

}  // namespace

BENCHMARK(BM_ReadAllLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildReadCollections)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
