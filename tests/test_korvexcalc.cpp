// The calculation of one job, and the parallel run of a container's jobs.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>

#include "DataTrainer.h"
#include "KorvexCalc.h"
#include "TestHelpers.h"
#include "ThreadDataMgr.h"

namespace {

const double UNSET = -7.0;  // marks a probability slot that Run must not touch

std::string Format(double dValue) {
    std::ostringstream out;
    out << dValue;
    return out.str();
}

Read Alignment(const std::string& sChrom, int iPosition, std::vector<int> vMismatches = {}, std::string sId = "a") {
    Read read = MakeRead(sId, sChrom, iPosition, std::string(36, 'I'), vMismatches);
    read.probability[0] = read.probability[1] = UNSET;
    return read;
}

template <int N>
std::unique_ptr<MultiRead> MakeMultiRead(const std::vector<Read>& vReads) {
    auto pMultiRead = std::make_unique<MultiRead_t<N>>();
    for (int j = 0; j < N; ++j) pMultiRead->Reads(j) = vReads[j];
    return pMultiRead;
}

// The containers of a calculation, in their own working directory; job 3 runs a slice.
struct CalcJob {
    // Files the alignments as one multiread; a single one is a unique read (add those in ascending position).
    MultiRead* Add(const std::vector<Read>& vReads) {
        static std::unique_ptr<MultiRead> (*const MAKERS[])(const std::vector<Read>&) = {
            MakeMultiRead<1>, MakeMultiRead<2>, MakeMultiRead<3>, MakeMultiRead<4>, MakeMultiRead<5>};
        vOwned.push_back(MAKERS[vReads.size() - 1](vReads));
        if (vReads.size() == 1) vPositions.push_back(vReads[0].position);
        (vReads.size() == 1 ? vUnique : vMulti).push_back(vOwned.back().get());
        return vOwned.back().get();
    }
    std::vector<std::string> Run(int iStart, int iEnd, const std::string& sMode) {  // the call_record lines
        job.iStartIndex = iStart;
        job.iEndIndex = iEnd;
        calc.Run(vUnique, vMulti, errorScore, vPositions, job, sMode, false);
        return SplitLines(ReadFile(job.sOutFileName));
    }

    TempDir dir;
    ScopedChdir chdir{dir.Path()};
    std::vector<std::unique_ptr<MultiRead>> vOwned;  // owns every multiread; test thread only
    std::vector<MultiRead*> vUnique, vMulti;
    std::vector<int> vPositions;
    std::map<char, double> errorScore{{'I', 0.01}};
    KorvexCalc calc{36, 0, 0.1, 50, 10};
    std::ofstream stream;
    JobInfo job{0, 0, 3, &stream, "call_record_L2_p001_t003.txt", "call_record_L2_combined"};
};

TEST(KorvexCalc, ProportionalEstimates) {
    const struct { std::vector<int> vMismatches, vCounts; std::vector<double> vUniform, vShare; } cases[] = {
        {{0, 0}, {1, 3}, {0.5, 0.5}, {0.25, 0.75}},  // a floating-point quotient, not an integer division
        {{0, 2}, {0, 0}, {1, 0}, {1, 0}}, {{0, 2}, {0, 5}, {1, 0}, {1, 0}}, {{1, 1}, {0, 0}, {0.5, 0.5}, {0.5, 0.5}},
        {{1, 1, 3}, {3, 0, 7}, {0.5, 0.5, 0}, {1, 0, 0}},
        {{2, 2, 2}, {1, 1, 1}, {1.0 / 3, 1.0 / 3, 1.0 / 3}, {1.0 / 3, 1.0 / 3, 1.0 / 3}},
        {{3, 1, 1, 1, 2}, {0, 2, 2, 4, 9}, {0, 1.0 / 3, 1.0 / 3, 1.0 / 3, 0}, {0, 0.25, 0.25, 0.5, 0}},
    };
    const int OFFSETS[] = {0, 5, 10};
    const std::string sId(40, 'Q');  // read ID and reference name fill their fields
    for (const auto& c : cases) {
        CalcJob calcJob;
        // Alignment j lies alone on reference chrUn_xyj, with vCounts[j] unique reads beside it.
        std::vector<Read> vReads;
        std::vector<std::string> vExpected;
        for (std::size_t j = 0; j < c.vMismatches.size(); ++j) {
            const std::string sChrom = "chrUn_xy" + std::to_string(j);
            vReads.push_back(Alignment(sChrom, 1000, std::vector<int>(OFFSETS, OFFSETS + c.vMismatches[j]), sId));
            for (int i = 0; i < c.vCounts[j]; ++i) calcJob.Add({Alignment(sChrom, 1000)});
            vExpected.push_back(sId + "\t" + sChrom + "\t1000\t" + Format(c.vUniform[j]) + "\t" + Format(c.vShare[j]) +
                                "\t0");
        }
        MultiRead* pMultiRead = calcJob.Add(vReads);
        EXPECT_EQ(calcJob.Run(0, 1, "PROP"), vExpected);
        for (std::size_t j = 0; j < vReads.size(); ++j) EXPECT_EQ(pMultiRead->Reads(j).probability[0], c.vShare[j]);
    }
}

// The mode is compared exactly; iPosteriorSlot is -1 when the sampler does not run. Each job holds two equal
// multireads, so nothing may carry over, and the posterior repeats exactly from job to job.
TEST(KorvexCalc, ProbOutputSelectsValuesAndSlots) {
    const struct { const char* sMode; int iPosteriorSlot; } cases[] = {
        {"BOTH", 1}, {"BAYES", 0}, {"PROP", -1}, {"both", -1}, {"Bayes", -1}, {"", -1}, {"BAYES ", -1}};
    double dPosterior[2] = {-1, -1};  // taken from the "BOTH" job
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sMode);
        CalcJob calcJob;
        calcJob.Add({Alignment("chr1", 990)});
        for (int i = 0; i < 2; ++i) calcJob.Add({Alignment("chr1", 1000), Alignment("chr2", 2000, {4})});
        const std::vector<std::string> vLines = calcJob.Run(0, 2, c.sMode);
        for (int j : {0, 1})
            if (c.iPosteriorSlot == 1) dPosterior[j] = calcJob.vMulti[0]->Reads(j).probability[1];
        ASSERT_EQ(vLines.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const int j = i % 2;
            const Read& read = calcJob.vMulti[i / 2]->Reads(j);
            EXPECT_EQ(read.probability[0], c.iPosteriorSlot == 0 ? dPosterior[j] : 1.0 - j) << i;
            EXPECT_EQ(read.probability[1], c.iPosteriorSlot == 1 ? dPosterior[j] : UNSET) << i;
            EXPECT_EQ(vLines[i].substr(vLines[i].rfind('\t') + 1), c.iPosteriorSlot < 0 ? "0" : Format(dPosterior[j]));
        }
    }
}

TEST(KorvexCalc, BadRangeThrowsBeforeOpeningTheFile) {
    const int RANGES[][3] = {{2, -1, 1}, {2, 0, 3}, {2, 2, 1}, {0, 0, 1}};  // container size, start, end
    for (const auto& range : RANGES) {
        CalcJob calcJob;
        for (int i = 0; i < range[0]; ++i) calcJob.Add({Alignment("chr1", 10), Alignment("chr1", 90)});
        std::string sError = "no exception";
        try { calcJob.Run(range[1], range[2], "BOTH"); } catch (const std::invalid_argument& e) { sError = e.what(); }
        EXPECT_EQ(sError, "Run: Thrd(3)  ERROR: iStartIndex (" + std::to_string(range[1]) + ") must be >= zero, and " +
                              "iEndIndex (" + std::to_string(range[2]) + ") must be <= MultiRead vector size (" +
                              std::to_string(range[0]) + ").");
        EXPECT_FALSE(FileExists(calcJob.job.sOutFileName));
    }
}

// A failing job must not take the process down from a worker thread: the other jobs finish,
// also those that follow it on the same thread, and the error reaches the caller after the region.
TEST(DataTrainer, FailingJobIsRethrownAfterTheRegion) {
    CalcJob data;
    for (int i = 0; i < 100; ++i) data.Add({Alignment("chr1", 10 * i), Alignment("chr2", 10 * i, {5})});
    data.vOwned.push_back(std::make_unique<MultiRead>());  // its Reads() throws
    data.vMulti[1] = data.vOwned.back().get();  // job 1 of 100 fails; each thread of the team runs several jobs
    DataTrainer trainer{36, 0, 0.1, 50, 10, 1, 1, 100, ""};
    EXPECT_THROW(trainer.trainData(data.vUnique, data.vMulti, data.errorScore, data.vPositions, "PROP", false),
                 std::runtime_error);
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(i == 1 || data.vMulti[i]->Reads(0).probability[0] == 1.0) << i;
}

}  // namespace
