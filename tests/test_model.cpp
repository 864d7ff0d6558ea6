// The model: error scores, evidence windows, job and part cuts, the scoring of one multiread in
// each mode, and the parallel run of a container's jobs.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <stdexcept>

#include "DataTrainer.h"
#include "ErrorScore.h"
#include "Evidence.h"
#include "LiteralSampler.h"
#include "Logger.h"
#include "MultiReadScorer.h"
#include "TestHelpers.h"
#include "ThreadDataMgr.h"

const double UNSET = -7.0;  // marks a probability slot that scoring must not touch
using Range = std::pair<int, int>;

std::string Format(double dValue) { std::ostringstream out; out << dValue; return out.str(); }  // as call_record

TEST(ErrorScore, MismatchesPerOccurrenceOfEachCharacter) {
    struct Unique { std::string sQuality; std::vector<int> vMismatchOffsets; };
    struct Case { std::vector<Unique> vReads; std::map<char, double> expected; std::string sStderr; };
    const Case cases[] = {
        {{{"IIII", {}}, {"IIII", {1}}, {"##5", {0, 1}}}, {{'I', 1.0 / 8.0}, {'#', 0.99}, {'5', 0.0}, {'Q', 0.5}}, ""},
        {{{"*", {10}}}, {{'*', 0.0}, {'Q', 0.5}},  // QUAL "*" gives a mismatch the NUL character
         std::string("calc_error_score: Error:  Character (") + '\0' +
             ") at  position: (10) in vMismatches array in Read structure is not in the error_score map.\n"},
        {{{std::string(150, 'A'), {0, 140}}}, {{'A', 2.0 / 150.0}, {'Q', 0.5}}, ""}};
    static const TempDir logDir;  // the unknown character is a warning of the log
    GetLogger()->CreateOutFile(logDir.File("test.log"));
    for (const Case& c : cases) {
        std::map<char, double> error_score = {{'Q', 0.5}};  // a character of no read keeps its entry
        testing::internal::CaptureStderr();
        ErrorScoreCounter counter;
        for (const Unique& read : c.vReads) counter.Add(MakeRead("u", "c", 1, read.sQuality, read.vMismatchOffsets));
        counter.Finish(error_score);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.sStderr);
        EXPECT_EQ(error_score, c.expected);
    }
}

// A read of iLength bases.
Read At(int iPosition, const char* sChromosome = "chr1", int iLength = 36) {
    return MakeRead("u", sChromosome, iPosition, std::string(iLength, 'I'));
}

// Searches the unique reads (ascending position) for r: "count first last:" of its window,
// then each entry listed at read position k as " offset", with the quality character when flagged.
std::string Find(const std::vector<Read>& vUnique, const Read& r, int k, int iFlank, bool bStrandness) {
    UniqueReads uniques;
    for (const Read& read : vUnique) uniques.Add(read);
    uniques.SortByPosition();
    const EvidenceIndex index(uniques, bStrandness, ModelParameters{iFlank, 0.0, 0, 0});
    const EvidenceWindow window = index.WindowOf(r);
    std::vector<MisMatchData> vOut;
    index.AppendCovering(r, k, window, vOut);
    std::string s = std::to_string(index.CountMatching(r, window)) + " " + std::to_string(window.iFirst) + " " +
                    std::to_string(window.iLast) + ":";
    for (const MisMatchData& e : vOut) s += " " + std::to_string(e.iOffset) + std::string(e.bMisMatch, e.cQuality);
    return s;
}

// At 1000 with F = 0 the window is 965 <= p <= 1035, and read position k is covered by the reads at
// 965 + k (offset 35) to 1000 + k (offset 0); a negative F leaves covering reads outside the window.
// Only reads on the same reference (up to its terminator) and, with strandness, strand count.
// vMixed: reads of 20, 36 and 50 bases are in the window when they end at 1000 or later and start
// at 1035 or earlier. vNearStart: an alignment clipped at POS 1 starts at -4, its read position 5
// lies at 1; F = 1 widens its window to the read at 32, which covers none of its bases.
TEST(Evidence, WindowsAndCoveringReads) {
    const std::vector<Read> vWindow = {At(955), At(964), At(965), At(975), At(1025), At(1035), At(1036), At(1045)};
    std::vector<Read> vOther = {At(990), At(990, "chr2"), At(995), At(996, "chr10"), At(996, "chr"), At(996, "chr1_")};
    vOther[2].strand = '-';
    const std::vector<Read> vNone, vChr2 = {At(990, "chr2"), At(1010, "chr2")};
    const std::string sQ = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", sQ2 = "0123456789aBCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::vector<Read> vSame = {MakeRead("u", "chr1", 990, sQ, {10}), MakeRead("u", "chr1", 990, sQ, {2}),
                                     MakeRead("u", "chr1", 990, sQ2, {4, 10})};
    const std::vector<Read> vMixed = {At(960, "chr1", 50), At(964), At(975, "chr1", 20), At(985, "chr1", 20),
                                      At(1030, "chr1", 50), At(1036, "chr1", 20)};
    std::string sQuality(36, 'I');
    sQuality[1] = 'Q';
    const std::vector<Read> vNearStart = {At(1, "chr1", 20), MakeRead("u", "chr1", 25, sQuality, {1}), At(32, "chr1", 20)};
    struct Case { const std::vector<Read>& vUnique; int iPosition, k, iFlank; bool bStrandness; const char* sExpected; };
    const Case cases[] = {
        {vWindow, 1000, 0, 0, false, "4 2 5: 35 25"}, {vWindow, 1000, 35, 0, false, "4 2 5: 10 0"},
        {vWindow, 1000, 0, 10, false, "8 0 7: 35 25"}, {vWindow, 1000, 0, -10, false, "2 3 4: 25"},
        {vWindow, 1000, 35, -10, false, "2 3 4: 10"}, {vNone, 1000, 0, 0, false, "0 0 -1:"},
        {vChr2, 1000, 0, 0, false, "0 0 1:"}, {vOther, 1000, 0, 0, false, "2 0 5: 10 5"},
        {vOther, 1000, 0, 0, true, "1 0 5: 10"}, {vSame, 1000, 0, 0, false, "3 0 2: 10A 10 10a"},
        {vMixed, 1000, 0, 0, false, "3 0 4: 40 15"}, {vMixed, 1000, 9, 0, false, "3 0 4: 49"},
        {vMixed, 1000, 35, 0, false, "3 0 4: 5"}, {vMixed, 1000, 0, -5, false, "2 0 4: 40"},
        {vMixed, 1036, 0, 0, false, "2 4 5: 6 0"}, {vNearStart, -4, 0, 0, false, "2 0 1:"},
        {vNearStart, -4, 5, 0, false, "2 0 1: 0"}, {vNearStart, -4, 26, 0, false, "2 0 1:"},
        {vNearStart, -4, 30, 0, false, "2 0 1: 1Q"}, {vNearStart, -4, 35, 1, false, "3 0 2: 6"}};
    for (const Case& c : cases) {
        Read r = At(c.iPosition);
        r.chromosome = KeepText("chr1");  // the same name in another text
        EXPECT_EQ(Find(c.vUnique, r, c.k, c.iFlank, c.bStrandness), c.sExpected) << c.iPosition << " " << c.k;
    }
    // At the largest position SAM allows, read position 35 lies beyond the int range.
    EXPECT_EQ(Find({MakeRead("u", "chr1", 2147483647, sQ, {35})}, At(2147483647), 35, 0, false), "1 0 0: 35Z");
}

TEST(JobCut, PartSlicesJobRangesAndFileNames) {
    const struct { int n, iNumParts, iPart; Range expected; } parts[] = {
        {10, 3, 1, {0, 3}}, {10, 3, 2, {3, 6}}, {10, 3, 3, {6, 10}}, {11, 2, 2, {5, 11}}, {7, 1, 1, {0, 7}},
        {3, 4, 2, {0, 3}}, {4, 4, 3, {0, 4}}};  // no more multireads than parts: the whole container
    for (const auto& c : parts) {
        Range slice(-99, -99);
        GetPartSlice(c.n, c.iNumParts, c.iPart, slice.first, slice.second);
        EXPECT_EQ(slice, c.expected) << "n=" << c.n << " parts=" << c.iNumParts << " part=" << c.iPart;
    }
    struct Case { int iStart, iEnd, iNumJobs; std::vector<Range> vExpected; };
    const Case jobs[] = {  // the last job takes the remainder
        {0, 10, 3, {{0, 3}, {3, 6}, {6, 10}}}, {0, 7, 7, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}},
        {100, 200, 3, {{100, 133}, {133, 166}, {166, 200}}}, {5, 11, 4, {{5, 6}, {6, 7}, {7, 8}, {8, 11}}},
        {0, 2, 3, {{0, 1}, {1, 2}, {0, 0}}},  // jobs beyond the slice
        {0, 0, 3, {}}};
    ThreadDataMgr manager;  // one manager for all rows: each population replaces the old jobs
    for (const Case& c : jobs) {
        SCOPED_TRACE(testing::Message() << "[" << c.iStart << ", " << c.iEnd << ") in " << c.iNumJobs);
        EXPECT_EQ(manager.PopulateJobInfoVector(c.iStart, c.iEnd, c.iNumJobs), int(c.vExpected.size()));
        std::vector<Range> vRanges;
        for (const JobInfo& job : manager.vJobs) vRanges.push_back(Range(job.iStartIndex, job.iEndIndex));
        EXPECT_EQ(vRanges, c.vExpected);
    }
    EXPECT_EQ(CallRecordFileName(4), "call_record_L4_combined");
    EXPECT_THROW(manager.PopulateJobInfoVector(0, 5, 0), std::invalid_argument) << "a slice without jobs";
}
Read Alignment(const std::string& sChrom, int iPosition, std::vector<int> vMismatches = {}, std::string sId = "a") {
    Read read = MakeRead(sId, sChrom, iPosition, std::string(36, 'I'), vMismatches);
    read.probability[0] = read.probability[1] = UNSET;
    return read;
}

// Unique reads and multireads as the containers hold them, and the scoring of a multiread.
struct Model {
    // Files the alignments as one multiread; a single one is a unique read (add those in ascending position).
    MultiRead Add(const std::vector<Read>& vReads) {
        std::vector<Read>& vStored = vOwned.emplace_back(vReads);
        const MultiRead m{vStored.data(), static_cast<int>(vStored.size())};
        if (m.Size() == 1)
            uniques.Add(vReads[0]);
        else
            vMulti.push_back(m);
        return m;
    }
    // The call_record lines of one multiread scored in mode, by a new scorer or the one given.
    std::vector<std::string> Score(MultiRead& m, ProbMode mode, MultiReadScorer* pScorer = nullptr) {
        MultiReadScorer fresh(model, mode);
        MultiReadScorer& scorer = pScorer ? *pScorer : fresh;
        const EvidenceIndex evidence(Uniques(), false, model);
        std::string sCallRecords;
        scorer.Score(m, evidence, errorScore, sCallRecords);
        return SplitLines(sCallRecords);
    }

    std::deque<std::vector<Read>> vOwned;  // the Reads of the multireads; never moved
    // The unique reads, sorted at the first search; none may be added after it.
    const UniqueReads& Uniques() {
        uniques.SortByPosition();
        return uniques;
    }
    UniqueReads uniques;
    MultiReadContainer vMulti;
    std::map<char, double> errorScore{{'I', 0.01}, {'#', 0.3}};
    ModelParameters model{0, 0.1, 50, 10};
};

// The alignments with the fewest mismatches share the estimates: equally, and by their unique reads
// when they have any; the posterior column is 0 when only these are computed.
TEST(MultiReadScorer, ProportionalEstimates) {
    const struct { std::vector<int> vMismatches, vCounts; std::vector<double> vUniform, vShare; } cases[] = {
        {{0, 0}, {1, 3}, {0.5, 0.5}, {0.25, 0.75}},  // a floating-point quotient, not an integer division
        {{0, 2}, {0, 0}, {1, 0}, {1, 0}}, {{0, 2}, {0, 5}, {1, 0}, {1, 0}}, {{1, 1}, {0, 0}, {0.5, 0.5}, {0.5, 0.5}},
        {{1, 1, 3}, {3, 0, 7}, {0.5, 0.5, 0}, {1, 0, 0}},
        {{2, 2, 2}, {1, 1, 1}, {1.0 / 3, 1.0 / 3, 1.0 / 3}, {1.0 / 3, 1.0 / 3, 1.0 / 3}},
        {{3, 1, 1, 1, 2}, {0, 2, 2, 4, 9}, {0, 1.0 / 3, 1.0 / 3, 1.0 / 3, 0}, {0, 0.25, 0.25, 0.5, 0}}};
    const int OFFSETS[] = {0, 5, 10};
    const std::string sId(40, 'Q');  // read ID and reference name fill their fields
    for (const auto& c : cases) {
        Model model;
        // Alignment j lies alone on reference chrUn_xyj, with vCounts[j] unique reads beside it.
        std::vector<Read> vReads;
        std::vector<std::string> vExpected;
        for (std::size_t j = 0; j < c.vMismatches.size(); ++j) {
            const std::string sChrom = "chrUn_xy" + std::to_string(j);
            vReads.push_back(Alignment(sChrom, 1000, std::vector<int>(OFFSETS, OFFSETS + c.vMismatches[j]), sId));
            for (int i = 0; i < c.vCounts[j]; ++i) model.Add({Alignment(sChrom, 1000)});
            vExpected.push_back(sId + "\t" + sChrom + "\t1000\t" + Format(c.vUniform[j]) + "\t" + Format(c.vShare[j]) + "\t0");
        }
        MultiRead m = model.Add(vReads);
        EXPECT_EQ(model.Score(m, ProbMode::Proportional), vExpected);
        for (std::size_t j = 0; j < vReads.size(); ++j) {
            EXPECT_EQ(m.Reads(j).probability[0], c.vShare[j]);
            EXPECT_EQ(m.Reads(j).probability[1], UNSET);
        }
    }
}

// A multiread beside a unique read: alignment 0 at chr1:1000 shares its mismatch at 1005 with the
// unique read at 990 (which covers read positions 0 to 25), alignment 1 has an empty window. The
// posterior is the plain sampler's on the evidence worked out by hand; each mode stores its values.
TEST(MultiReadScorer, EvidenceOfAUniqueReadInEveryMode) {
    Model data;
    std::string sUniqueQuality(36, 'I');
    sUniqueQuality[15] = '#';
    data.Add({MakeRead("u", "chr1", 990, sUniqueQuality, {15})});
    MultiRead m = data.Add({Alignment("chr1", 1000, {5}), Alignment("chr2", 1000, {5})});

    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence(2, std::vector<std::vector<MisMatchData>>(36));
    for (int k = 0; k <= 25; ++k) vEvidence[0][k] = {MisMatchData{10 + k, k == 5, k == 5 ? '#' : ' '}};
    const int T = 50, B = 10;
    std::vector<double> vDraws(T * 2 * 36, 1e-06), vPosterior(2);
    std::vector<double*> vRows;
    for (int t = 0; t < T; ++t) vRows.push_back(&vDraws[t * 2 * 36]);
    bool abZ[2][36] = {};
    abZ[0][5] = abZ[1][5] = true;
    bool* apZ[2] = {abZ[0], abZ[1]};
    literal::Run(2, 36, T, B, 0.1, vEvidence, apZ, data.errorScore, vRows.data(), vPosterior,
                 {std::string(36, 'I'), std::string(36, 'I')}, {1, 0});
    ASSERT_GT(vPosterior[0], vPosterior[1]);

    const std::vector<std::string> vLines = {"a\tchr1\t1000\t0.5\t1\t", "a\tchr2\t1000\t0.5\t0\t"};
    const struct { ProbMode mode; double adFirst[2], adSecond[2]; bool bPosterior; } cases[] = {
        {ProbMode::Both, {1, 0}, {vPosterior[0], vPosterior[1]}, true},
        {ProbMode::Bayes, {vPosterior[0], vPosterior[1]}, {UNSET, UNSET}, true},
        {ProbMode::Proportional, {1, 0}, {UNSET, UNSET}, false}};
    for (const auto& c : cases) {
        for (int j = 0; j < 2; ++j) m.Reads(j).probability[0] = m.Reads(j).probability[1] = UNSET;
        const std::vector<std::string> vCallRecords = data.Score(m, c.mode);
        for (int j = 0; j < 2; ++j) {
            EXPECT_EQ(vCallRecords[j], vLines[j] + Format(c.bPosterior ? vPosterior[j] : 0.0));
            EXPECT_EQ(m.Reads(j).probability[0], c.adFirst[j]);
            EXPECT_EQ(m.Reads(j).probability[1], c.adSecond[j]);
        }
    }
}

// Multireads of 2, 7 and 3 alignments and of 36 and 150 bases: alignment j lies on chrUn_j with
// 6 - j unique reads beside it, and alignment 1 has a mismatch (at base 130 of the 150-base read).
// Both values sum to 1 per multiread, and one scorer reused for all, its scratch growing and
// shrinking, gives the bits of a new scorer for each.
TEST(MultiReadScorer, AnyNumberOfAlignmentsAndAnyLength) {
    Model data;
    data.errorScore['#'] = 0.2;
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < i; ++j)  // ascending positions
            data.Add({MakeRead("u", "chrUn_" + std::to_string(j), 900 + 10 * i, std::string(150, 'I'), {120})});
    auto Multiread = [&](int N, int L, int iMismatchAt) {
        std::vector<Read> vReads;
        for (int j = 0; j < N; ++j)
            vReads.push_back(MakeRead("m", "chrUn_" + std::to_string(j), 1000, std::string(L, j == 1 ? '#' : 'I'),
                                      j == 1 ? std::vector<int>{iMismatchAt} : std::vector<int>{}));
        return data.Add(vReads);
    };
    std::vector<MultiRead> vMultireads = {Multiread(2, 36, 20), Multiread(7, 36, 5), Multiread(3, 150, 130),
                                          Multiread(2, 36, 20)};
    MultiReadScorer reused(data.model, ProbMode::Both);
    for (MultiRead& m : vMultireads) {
        SCOPED_TRACE(testing::Message() << m.Size() << " x " << m.Length());
        const std::vector<std::string> vFresh = data.Score(m, ProbMode::Both);
        std::vector<double> vValues;
        double adSum[2] = {0, 0};
        for (int j = 0; j < m.Size(); ++j)
            for (int i = 0; i < 2; ++i) {
                vValues.push_back(m.Reads(j).probability[i]);
                adSum[i] += m.Reads(j).probability[i];
            }
        EXPECT_NEAR(adSum[0], 1.0, 1e-12);
        EXPECT_NEAR(adSum[1], 1.0, 1e-12);
        EXPECT_LT(m.Reads(1).probability[1], m.Reads(0).probability[1]);  // its mismatch counts against it
        EXPECT_EQ(data.Score(m, ProbMode::Both, &reused), vFresh);
        for (int j = 0; j < m.Size(); ++j)
            for (int i = 0; i < 2; ++i) EXPECT_EQ(m.Reads(j).probability[i], vValues[2 * j + i]);
    }
}

// A failing multiread must not take the process down from a worker thread: the others finish,
// also those that follow it on the same thread, and the error reaches the caller after the region.
TEST(DataTrainer, FailingJobIsRethrownAfterTheRegion) {
    Model data;
    for (int i = 0; i < 100; ++i) data.Add({Alignment("chr1", 10 * i), Alignment("chr2", 10 * i, {5})});
    // Multiread 1 of 100 fails, having three alignments among pairs; each thread runs several.
    data.vMulti[1] = data.Add({Alignment("chr1", 5), Alignment("chr2", 5), Alignment("chr3", 5)});
    data.vMulti.pop_back();
    DataTrainer trainer{data.model, ProbMode::Proportional, 1, 1, 100, ""};
    TempDir dir;
    ScopedChdir chdir{dir.Path()};  // the call_record file is written to the working directory
    const EvidenceIndex evidence(data.Uniques(), false, data.model);
    EXPECT_THROW(trainer.trainData(data.vMulti, evidence, data.errorScore), std::invalid_argument);
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(i == 1 || data.vMulti[i].Reads(0).probability[0] == 1.0) << i;
}
