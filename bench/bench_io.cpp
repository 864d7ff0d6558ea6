// Times reading and writing in every container on the SAM file named by the environment
// variable KORVEX_BENCH_SAM, beside samtools doing the same work (skipped without it):
//   - draining the line source on the SAM file and on the same records as BAM (1 and 2
//     threads), against `samtools view -c` on each;
//   - Step 1 (reading, grouping, keep rules, error scores, the sorted unique reads) on each;
//   - writing the tagged BAM output (the second pass: reading the input again, tagging and
//     compressing) from SAM and from BAM input, against `samtools view -b` on the same file;
//   - writing the SAMplus file (the second pass: reading the SAM file again and appending the
//     values);
//   - the CRC-32 that a run takes of what it reads and writes, over the bytes of the SAM file
//     held in memory, in the 1 MB pieces the readers hand it (a part of a divided run takes it
//     of the input twice and of its output once).
// The BAM file is KORVEX_BENCH_BAM when set, else made once from the SAM file in TMPDIR (and
// removed at the end). Every time is wall-clock time, as the samtools runs can only be timed so;
// the counter cpu_s adds the processor time of every thread (ours, or the samtools process),
// which a machine busy with other work disturbs less.
//
//   KORVEX_BENCH_SAM=/path/to/file.sam /path/to/build/bench_io

#include <benchmark/benchmark.h>
#include <htslib/sam.h>
#include <omp.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "ContentChecksum.h"
#include "InputFile.h"
#include "LineSources.h"
#include "Logger.h"
#include "MultiReadCollectionMgr.h"
#include "OutputWriters.h"

namespace {

std::string EnvPath(const char* pName) {
    const char* pPath = std::getenv(pName);
    return pPath ? pPath : "";
}

std::string TempName(const std::string& sSuffix) {
    const char* pTmpDir = std::getenv("TMPDIR");
    return std::string(pTmpDir && *pTmpDir ? pTmpDir : "/tmp") + "/korvex-bench-" + std::to_string(getpid()) + sSuffix;
}

// Copies the records of the SAM file to a BAM file with htslib, compressing with two threads.
bool MakeBam(const std::string& sSam, const std::string& sBam) {
    htsFile* pIn = hts_open(sSam.c_str(), "r");
    if (pIn == nullptr) return false;
    sam_hdr_t* pHeader = sam_hdr_read(pIn);
    htsFile* pOut = hts_open(sBam.c_str(), "wb");
    bool bOk = pHeader != nullptr && pOut != nullptr && hts_set_threads(pOut, 2) == 0 && sam_hdr_write(pOut, pHeader) == 0;
    bam1_t* pRecord = bam_init1();
    while (bOk && sam_read1(pIn, pHeader, pRecord) >= 0) bOk = sam_write1(pOut, pHeader, pRecord) >= 0;
    bam_destroy1(pRecord);
    sam_hdr_destroy(pHeader);
    if (pOut != nullptr) bOk = hts_close(pOut) == 0 && bOk;
    hts_close(pIn);
    return bOk;
}

// The benchmark's files, found or made at the first use.
struct BenchFiles {
    std::string sSam = EnvPath("KORVEX_BENCH_SAM");
    std::string sBam = EnvPath("KORVEX_BENCH_BAM");
    std::string sOutput = TempName(".out.bam");
    bool bMadeBam = false;
    bool bReady = false;

    BenchFiles() {
        if (sSam.empty() || !std::ifstream(sSam)) return;
        if (sBam.empty()) {
            sBam = TempName(".bam");
            bMadeBam = MakeBam(sSam, sBam);
            if (!bMadeBam) return;
        }
        bReady = true;
    }
    ~BenchFiles() {
        if (bMadeBam) std::remove(sBam.c_str());
        std::remove(sOutput.c_str());
    }
};

BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

bool SkipWithoutFiles(benchmark::State& state) {
    if (Files().bReady) return false;
    state.SkipWithError("set KORVEX_BENCH_SAM to a readable SAM file (and KORVEX_BENCH_BAM to the same as BAM)");
    return true;
}

const std::string& PathOf(int iContainer) { return iContainer == 0 ? Files().sSam : Files().sBam; }

int64_t DrainLines(const std::string& sPath, int iThreads) {
    InputFile input(sPath);
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, {"", iThreads});
    LineView line;
    int64_t iLines = 0;
    while (pLines->NextLine(line)) ++iLines;
    return iLines;
}

// Values on two of every three lines past the header, as a run with many multireads would
// have them.
class EveryOtherLine : public LineValueSource {
public:
    explicit EveryOtherLine(int64_t iLines_) : iLines(iLines_) {}
    static const int64_t FIRST_RECORD_LINE = 10;  // beyond the benchmark file's few header lines
    bool Next(int64_t& iLineNumber, double* pdValues) override {
        if (++iLine % 3 == 0) ++iLine;
        if (iLine > iLines) return false;
        iLineNumber = iLine;
        pdValues[0] = 0.25;
        pdValues[1] = 0.75;
        return true;
    }

private:
    int64_t iLines;
    int64_t iLine = FIRST_RECORD_LINE - 1;
};

// User and system time so far of this process (every thread) or of its finished children.
double CpuSeconds(int iWho) {
    rusage usage;
    getrusage(iWho, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Processor time per iteration of the work inside the benchmark loop.
class CpuMeter {
public:
    explicit CpuMeter(int iWho_) : iWho(iWho_), dStart(CpuSeconds(iWho_)) {}
    void Report(benchmark::State& state) const {
        state.counters["cpu_s"] = (CpuSeconds(iWho) - dStart) / static_cast<double>(state.iterations());
    }

private:
    int iWho;
    double dStart;
};

void SetLineRate(benchmark::State& state, int64_t iLines) {
    state.counters["lines_per_second"] =
        benchmark::Counter(static_cast<double>(iLines), benchmark::Counter::kIsIterationInvariantRate);
}

// Arguments: container (0 SAM, 1 BAM), threads.
void BM_DrainLineSource(benchmark::State& state) {
    if (SkipWithoutFiles(state)) return;
    int64_t iLines = 0;
    CpuMeter cpu(RUSAGE_SELF);
    for (auto _ : state) iLines = DrainLines(PathOf(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)));
    cpu.Report(state);
    SetLineRate(state, iLines);
}

// Step 1 as a run does it. Arguments: container (0 SAM, 1 BAM), threads.
void BM_Step1(benchmark::State& state) {
    if (SkipWithoutFiles(state)) return;
    GetLogger()->CreateOutFile("/dev/null");
    InputFile input(PathOf(static_cast<int>(state.range(0))));
    int64_t iLines = 0;
    CpuMeter cpu(RUSAGE_SELF);
    for (auto _ : state) {
        MultiReadCollectionMgr collections(2, 2);
        std::unique_ptr<LineSource> pLines = OpenLineSource(input, {"", static_cast<int>(state.range(1))});
        std::string sError;
        collections.BuildReadCollections(*pLines, input.Name(), sError, static_cast<int>(state.range(1)));
        benchmark::DoNotOptimize(collections.Uniques().Data());
        iLines = collections.LinesRead();
    }
    cpu.Report(state);
    SetLineRate(state, iLines);
}

void RunCommand(benchmark::State& state, const std::string& sCommand) {
    CpuMeter cpu(RUSAGE_CHILDREN);
    for (auto _ : state)
        if (std::system(sCommand.c_str()) != 0) state.SkipWithError(("failed: " + sCommand).c_str());
    cpu.Report(state);
}

void BM_SamtoolsCount(benchmark::State& state) {
    if (SkipWithoutFiles(state)) return;
    RunCommand(state, "samtools view -c '" + PathOf(static_cast<int>(state.range(0))) + "' >/dev/null");
}

// Writes the output of the given format; the threads are the runtime's, as in a run.
void WriteOutputOf(benchmark::State& state, OutputFormat format) {
    if (SkipWithoutFiles(state)) return;
    const std::string& sInput = PathOf(static_cast<int>(state.range(0)));
    const int iThreads = static_cast<int>(state.range(1));
    omp_set_num_threads(iThreads);
    const int64_t iLines = DrainLines(sInput, 1);
    InputFile input(sInput);
    CpuMeter cpu(RUSAGE_SELF);
    for (auto _ : state) {
        EveryOtherLine values(iLines);
        WriteOutput(input, {"", iThreads}, {format, Files().sOutput, ProbMode::Both, "", iThreads, "bench"}, values,
                    EarlierReading{iLines, std::nullopt});
    }
    cpu.Report(state);
    SetLineRate(state, iLines);
}

// Arguments: input container (0 SAM, 1 BAM), threads.
void BM_WriteTaggedBam(benchmark::State& state) { WriteOutputOf(state, OutputFormat::Bam); }

// The SAMplus file of the SAM file. Arguments: 0 (SAM), threads.
void BM_WriteSamplus(benchmark::State& state) { WriteOutputOf(state, OutputFormat::Samplus); }

// Arguments: input container (0 SAM, 1 BAM), threads (samtools -@ counts the extra ones).
void BM_SamtoolsWriteBam(benchmark::State& state) {
    if (SkipWithoutFiles(state)) return;
    RunCommand(state, "samtools view -b -@ " + std::to_string(state.range(1) - 1) + " -o '" + Files().sOutput + "' '" +
                          PathOf(static_cast<int>(state.range(0))) + "'");
}

// The checksum alone, over the SAM file's bytes (the BAM file is not needed).
void BM_ContentChecksum(benchmark::State& state) {
    std::ifstream in(EnvPath("KORVEX_BENCH_SAM"), std::ios::binary);
    const std::string sBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (sBytes.empty()) {
        state.SkipWithError("set KORVEX_BENCH_SAM to a readable SAM file");
        return;
    }
    const std::size_t PIECE = 1 << 20;
    CpuMeter cpu(RUSAGE_SELF);
    for (auto _ : state) {
        ContentChecksum checksum;
        for (std::size_t i = 0; i < sBytes.size(); i += PIECE)
            checksum.Add(sBytes.data() + i, std::min(PIECE, sBytes.size() - i));
        benchmark::DoNotOptimize(checksum.Value());
    }
    cpu.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sBytes.size()));
}

}  // namespace

BENCHMARK(BM_ContentChecksum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_DrainLineSource)->Args({0, 1})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Step1)->Args({0, 1})->Args({0, 2})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SamtoolsCount)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WriteTaggedBam)->Args({0, 1})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_WriteSamplus)->Args({0, 1})->Args({0, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SamtoolsWriteBam)->Args({0, 1})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

BENCHMARK_MAIN();
