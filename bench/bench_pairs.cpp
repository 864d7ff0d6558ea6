// Times the scoring of a pair read (N pair alignments of two 100-base mates, fragments of 300
// bases) beside the scoring of the same mates as two single-end reads of N alignments each,
// against the same unique reads (depth D, every third with a mismatch), at the default chain
// length. Each iteration scores both, in alternating order, each timed in processor time:
//   build/bench_pairs --benchmark_counters_tabular=true
// reports pair_ms, single_ms (both mates) and pair_ms / single_ms (ratio).
//
// With KORVEX_BENCH_PAIRED_SAM naming a paired aligner output (grouped by read), BM_PairedFile
// does the same for every pair multiread of that file, against its own unique reads at the
// default settings: each pair alignment beside its two mate lines scored as single-end reads.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>

#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Evidence.h"
#include "MultiReadCollectionMgr.h"
#include "MultiReadScorer.h"
#include "TableBudget.h"

namespace {

const int L = 100;
const int FRAGMENT = 300;
const int GENOME = 200000;

double ThreadSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + 1e-9 * ts.tv_nsec;
}

struct Workload {
    Workload(int N, int iDepth) : rng(static_cast<unsigned>(N * 1000 + iDepth)), sQuality(L, 'I'),
                                  sPairQuality(2 * L, 'I') {
        for (int i = 0; i < GENOME / L * iDepth; ++i)
            vUniqueReads.push_back(Make(static_cast<int>(rng() % GENOME), rng() % 2 ? '+' : '-', 0));
        for (const Read& read : vUniqueReads) uniques.Add(read);
        uniques.SortByPosition();
        for (int j = 0; j < N; ++j) {
            const int iPosition = static_cast<int>(rng() % (GENOME - FRAGMENT));
            vFirst.push_back(Make(iPosition, '+', 1));
            vSecond.push_back(Make(iPosition + FRAGMENT - L, '-', 2));
        }
        for (int j = 0; j < N; ++j) {
            vJoins.push_back(MateLines{&vFirst[j], &vSecond[j]});
            Read pair = vFirst[j];
            pair.iLength = 2 * L;
            pair.quality = sPairQuality.c_str();
            vPairs.push_back(pair);
        }
    }

    Read Make(int iPosition, char cStrand, int iMate) {
        Read read;
        read.readID = "r";
        read.chromosome = "c1";
        read.quality = sQuality.c_str();
        read.position = iPosition;
        read.iLength = L;
        read.strand = cStrand;
        read.iMate = static_cast<int8_t>(iMate);
        if (rng() % 3 == 0) {
            read.pMismatches = &vMismatches.emplace_back(static_cast<int16_t>(rng() % L), 'I');
            read.iMismatchCount = 1;
        }
        return read;
    }

    std::mt19937 rng;
    std::string sQuality, sPairQuality;
    std::deque<ReadMismatch> vMismatches;
    std::vector<Read> vUniqueReads, vFirst, vSecond, vPairs;
    std::vector<MateLines> vJoins;
    UniqueReads uniques;
};

void BM_PairRatio(benchmark::State& state) {
    const int N = static_cast<int>(state.range(0));
    Workload w(N, static_cast<int>(state.range(1)));
    const ModelParameters model{0, 0.1, 1000, 200};
    const EvidenceIndex evidence(w.uniques, false, model);
    const std::map<char, double> errorScores{{'I', 0.001}};
    MultiReadScorer scorer(model, ProbMode::Both);
    std::string sRecords;
    double dPair = 0, dSingle = 0;
    bool bPairFirst = true;
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            const bool bPair = (i == 0) == bPairFirst;
            const double dStart = ThreadSeconds();
            if (bPair) {
                MultiRead pair{w.vPairs.data(), N, w.vJoins.data()};
                scorer.Score(pair, evidence, errorScores, sRecords);
            } else {
                MultiRead first{w.vFirst.data(), N}, second{w.vSecond.data(), N};
                scorer.Score(first, evidence, errorScores, sRecords);
                scorer.Score(second, evidence, errorScores, sRecords);
            }
            (bPair ? dPair : dSingle) += ThreadSeconds() - dStart;
            sRecords.clear();
        }
        bPairFirst = !bPairFirst;
    }
    const double dIterations = static_cast<double>(state.iterations());
    state.counters["pair_ms"] = 1e3 * dPair / dIterations;
    state.counters["single_ms"] = 1e3 * dSingle / dIterations;
    state.counters["ratio"] = dPair / dSingle;
}

// The mate lines that the pair alignments of m join, as two single-end multireads of N lines each
// (a line joined twice appears twice), with the qualities and mismatches of the pair alignments.
void SplitIntoMates(const MultiRead& m, std::vector<Read>& vFirst, std::vector<Read>& vSecond) {
    vFirst.clear();
    vSecond.clear();
    for (int j = 0; j < m.Size(); ++j) {
        const Read& pair = m.Reads(j);
        Read first = *m.pJoins[j].pFirst, second = *m.pJoins[j].pSecond;
        first.quality = pair.quality;  // mate 1's qualities lead the pair's
        second.quality = pair.quality + first.iLength;
        first.pMismatches = pair.pMismatches;
        second.pMismatches = pair.pMismatches + first.iMismatchCount;
        vFirst.push_back(first);
        vSecond.push_back(second);
    }
    // Mate 2's mismatch offsets are its own in the line, not shifted as in the pair alignment.
    for (int j = 0; j < m.Size(); ++j) vSecond[j].pMismatches = m.pJoins[j].pSecond->pMismatches;
}

void BM_PairedFile(benchmark::State& state) {
    const char* pFile = std::getenv("KORVEX_BENCH_PAIRED_SAM");
    if (!pFile) {
        state.SkipWithError("set KORVEX_BENCH_PAIRED_SAM to a paired SAM file");
        return;
    }
    MultiReadCollectionMgr collections(2, 1);
    std::string sError;
    collections.BuildReadCollections(pFile, sError);
    const ModelParameters model{0, 0.1, 1000, 200};
    const EvidenceIndex evidence(collections.Uniques(), false, model);
    MultiReadScorer scorer(model, ProbMode::Both);
    std::string sRecords;
    std::vector<Read> vFirst, vSecond;
    double dPair = 0, dSingle = 0;
    long iPairAlignments = 0;
    for (auto _ : state) {
        for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
            for (MultiRead& m : collections.Container(k)) {
                if (!m.IsPair()) continue;
                SplitIntoMates(m, vFirst, vSecond);
                double dStart = ThreadSeconds();
                scorer.Score(m, evidence, collections.error_score, sRecords);
                dPair += ThreadSeconds() - dStart;
                MultiRead first{vFirst.data(), k}, second{vSecond.data(), k};
                dStart = ThreadSeconds();
                scorer.Score(first, evidence, collections.error_score, sRecords);
                scorer.Score(second, evidence, collections.error_score, sRecords);
                dSingle += ThreadSeconds() - dStart;
                sRecords.clear();
                iPairAlignments += k;
            }
    }
    const double dIterations = static_cast<double>(state.iterations());
    state.counters["pair_alignments"] = static_cast<double>(iPairAlignments) / dIterations;
    state.counters["pair_ms"] = 1e3 * dPair / dIterations;
    state.counters["single_ms"] = 1e3 * dSingle / dIterations;
    state.counters["ratio"] = dPair / dSingle;
}

}  // namespace

BENCHMARK(BM_PairedFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PairRatio)->ArgNames({"N", "D"})->Unit(benchmark::kMillisecond)->Args({2, 2})->Args({2, 15})->Args({5, 2})->Args({5, 15});

int main(int argc, char** argv) {
    // The tables shared by the chains as a run of KORVEX_BENCH_KEPT_ALIGNMENTS kept alignments
    // has them (default: the minimum, as a small run).
    if (const char* pKept = std::getenv("KORVEX_BENCH_KEPT_ALIGNMENTS")) TableBudget::ScaleToRun(std::atoll(pKept));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
