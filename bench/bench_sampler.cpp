// Times MCMCcalculator::Run at the default chain length (T = 1000, B = 200, rate 0.1) on
// simulated evidence, beside the plain step-by-step sampler kept for the tests.
// Arguments: N alignments, read length L, mean depth D of covering unique reads; D = 0 is
// the common sparse case where only the first alignment has unique reads nearby.
// BM_SamplerFloor times the floor of a profile (bench/ForcedPrimitives.h): the uniforms, logs,
// exps and pows that its random stream forces, at their isolated costs.
// BM_SamplerRatio runs the sampler, the plain sampler and the floor in turn on the same
// workload and reports their CPU times per multiread (fast_ms, plain_ms, floor_ms) and the
// ratios fast/floor and fast/plain; the quotable table, best of five on a busy machine
// (the rows ending in _min):
//   build/bench_sampler --benchmark_filter=Ratio --benchmark_counters_tabular=true
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../tests/LiteralSampler.h"
#include "ForcedPrimitives.h"
#include "MC2.h"
#include "TableBudget.h"

namespace {

const int T = 1000;
const int B = 200;
const double RATE = 0.1;
const std::int64_t kRunKeptAlignments = 1000000;

struct Workload {
    int iN;
    int iL;
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;
    std::unique_ptr<bool[]> pZ;  // N*L flags behind vZRows; owned here, benchmark thread only
    std::vector<bool*> vZRows;
    std::vector<std::string> vQualities;
    std::vector<int> vCounts;
    std::vector<double> vDrawValues;
    std::vector<double*> vDrawRows;
    std::vector<double*> vOneRow;  // T rows on the first: how the scorer runs the sampler
    std::vector<AlignmentEvidence> vAlignments;  // the sampler's view of the arrays above
    std::map<char, double> error_score;

    Workload(int n, int l, int iDepth)
        : iN(n), iL(l), vEvidence(n, std::vector<std::vector<MisMatchData>>(l)), pZ(new bool[n * l]()),
          vQualities(n), vCounts(n, 0), vDrawValues(static_cast<size_t>(T) * n * l) {
        error_score = {{'#', 0.3}, {'+', 0.08}, {'5', 0.02}, {'?', 0.005}, {'I', 0.001}};
        const char qualities[] = "II?I5I?+I#";
        std::mt19937 gen(12345);
        std::uniform_int_distribution<int> pickQuality(0, 9), pickPercent(0, 99);
        std::uniform_int_distribution<int> pickStart(-(l - 1), l - 1);
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < l; ++k) vQualities[j] += qualities[pickQuality(gen)];
            for (int i = 0; i < j % 3; ++i) pZ[j * l + (7 + 11 * i) % l] = true;
            vZRows.push_back(&pZ[j * l]);
            int iReads = (iDepth == 0 ? (j == 0 ? 20 : 0) : 2 * iDepth);
            vCounts[j] = iReads;
            for (int r = 0; r < iReads; ++r) AddUniqueRead(j, pickStart(gen), gen);
        }
        for (int t = 0; t < T; ++t) vDrawRows.push_back(&vDrawValues[static_cast<size_t>(t) * n * l]);
        vOneRow.assign(T, vDrawValues.data());
        for (int j = 0; j < n; ++j) vAlignments.push_back({&vEvidence[j], vZRows[j], vQualities[j], vCounts[j]});
    }

    // A unique read starting at offset s of alignment j: about 1 % sequencing errors, and all
    // reads show the variant at a third of the first alignment.
    void AddUniqueRead(int j, int s, std::mt19937& gen) {
        const char qualities[] = "II?I5I?+I#";
        for (int k = std::max(0, s); k < std::min(iL, s + iL); ++k) {
            bool bMisMatch = (j == 0 && k == iL / 3) || gen() % 100 == 0;
            vEvidence[j][k].push_back(MisMatchData{k - s, bMisMatch, bMisMatch ? qualities[gen() % 10] : ' '});
        }
    }

    void ResetDraws() { std::fill(vDrawValues.begin(), vDrawValues.end(), 1e-06); }
};

void RunFast(Workload& w, MCMCcalculator& calc, std::vector<double>& prob) {
    calc.Run(w.vAlignments, w.iL, w.error_score, w.vOneRow.data(), prob);
}

void RunPlain(Workload& w, std::vector<double>& prob) {
    literal::Run(w.iN, w.iL, T, B, RATE, w.vEvidence, w.vZRows.data(), w.error_score, w.vDrawRows.data(), prob,
                 w.vQualities, w.vCounts);
}

void Reset(Workload& w, std::vector<double>& prob) {
    w.ResetDraws();
    std::fill(prob.begin(), prob.end(), 0.0);
}

// The forced primitives of the workload's chain. The recording and the sampler must give the
// bits of the plain sampler, or the times would be of other chains: false when one does not.
bool RecordFloor(Workload& w, MCMCcalculator& calc, ForcedPrimitives& floor) {
    std::vector<double> prob(w.iN), fastProb(w.iN), plainProb(w.iN);
    Reset(w, plainProb);
    RunPlain(w, plainProb);
    Reset(w, fastProb);
    RunFast(w, calc, fastProb);
    w.ResetDraws();
    floor.Record(w.iN, w.iL, T, B, RATE, w.vEvidence, w.vZRows.data(), w.error_score, w.vDrawRows[0], prob,
                 w.vQualities, w.vCounts);
    const std::size_t iBytes = prob.size() * sizeof(double);
    return std::memcmp(prob.data(), plainProb.data(), iBytes) == 0 &&
           std::memcmp(fastProb.data(), plainProb.data(), iBytes) == 0;
}

void BM_SamplerRun(benchmark::State& state) {
    Workload w(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    MCMCcalculator calc(ModelParameters{0, RATE, T, B});
    std::vector<double> prob(w.iN);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(w, prob);
        state.ResumeTiming();
        RunFast(w, calc, prob);
        benchmark::DoNotOptimize(prob.data());
    }
}

void BM_PlainSamplerRun(benchmark::State& state) {
    Workload w(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    std::vector<double> prob(w.iN);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(w, prob);
        state.ResumeTiming();
        RunPlain(w, prob);
        benchmark::DoNotOptimize(prob.data());
    }
}

void BM_SamplerFloor(benchmark::State& state) {
    Workload w(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    MCMCcalculator calc(ModelParameters{0, RATE, T, B});
    ForcedPrimitives floor;
    if (!RecordFloor(w, calc, floor)) state.SkipWithError("a chain differs from the plain sampler's");
    for (auto _ : state) benchmark::DoNotOptimize(floor.Replay());
    state.counters["uniforms"] = static_cast<double>(floor.iUniforms);
    state.counters["logs"] = static_cast<double>(floor.iLogs);
    state.counters["exps"] = static_cast<double>(floor.iExps);
    state.counters["pows"] = static_cast<double>(floor.iPows);
}

// CPU time of the calling thread, so that other work on the machine does not count.
double ThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + 1e-9 * ts.tv_nsec;
}

// The sampler, the plain sampler and the floor in every iteration, in rotating order, each
// timed on its own.
void BM_SamplerRatio(benchmark::State& state) {
    Workload w(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    MCMCcalculator calc(ModelParameters{0, RATE, T, B});
    ForcedPrimitives floor;
    if (!RecordFloor(w, calc, floor)) state.SkipWithError("a chain differs from the plain sampler's");
    std::vector<double> prob(w.iN);
    double adSeconds[3] = {0, 0, 0};  // fast, plain, floor
    int iFirst = 0;
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) {
            int iRun = (iFirst + i) % 3;
            Reset(w, prob);
            double dStart = ThreadSeconds();
            if (iRun == 0) RunFast(w, calc, prob);
            else if (iRun == 1) RunPlain(w, prob);
            else benchmark::DoNotOptimize(floor.Replay());
            benchmark::DoNotOptimize(prob.data());
            adSeconds[iRun] += ThreadSeconds() - dStart;
        }
        iFirst = (iFirst + 1) % 3;
    }
    double dIterations = static_cast<double>(state.iterations());
    state.counters["fast_ms"] = 1e3 * adSeconds[0] / dIterations;
    state.counters["plain_ms"] = 1e3 * adSeconds[1] / dIterations;
    state.counters["floor_ms"] = 1e3 * adSeconds[2] / dIterations;
    state.counters["fast/floor"] = adSeconds[0] / adSeconds[2];
    state.counters["fast/plain"] = adSeconds[0] / adSeconds[1];
}

// With repetitions, "min" gives the best of them, the figure least disturbed by other work on
// the machine.
void Settings(benchmark::internal::Benchmark* b) {
    b->ArgNames({"N", "L", "D"})->Unit(benchmark::kMillisecond);
    b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

void Profiles(benchmark::internal::Benchmark* b) {
    Settings(b);
    for (int n : {2, 3, 4, 5})
        for (int l : {36, 100})
            for (int d : {0, 2, 10, 30}) b->Args({n, l, d});
}

// The profiles compared with their floor: the fewest and the most alignments.
void FloorProfiles(benchmark::internal::Benchmark* b) {
    Settings(b);
    for (int n : {2, 5})
        for (int l : {36, 100})
            for (int d : {0, 2, 10, 30}) b->Args({n, l, d});
}

}  // namespace

BENCHMARK(BM_SamplerRun)->Apply(Profiles);
BENCHMARK(BM_PlainSamplerRun)->Apply(Profiles);
BENCHMARK(BM_SamplerFloor)->Apply(FloorProfiles);
BENCHMARK(BM_SamplerRatio)->Apply(FloorProfiles);
int main(int argc, char** argv) {
    // The tables shared by the chains as a run of the benchmark file's size has them, or as one
    // of KORVEX_BENCH_KEPT_ALIGNMENTS kept alignments.
    const char* pKept = std::getenv("KORVEX_BENCH_KEPT_ALIGNMENTS");
    TableBudget::ScaleToRun(pKept ? std::atoll(pKept) : kRunKeptAlignments);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
