#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ThreadDataMgr.h"

namespace {

typedef std::pair<int, int> Range;

std::vector<Range> JobRanges(const ThreadDataMgr& jobs) {
    std::vector<Range> vRanges;
    for (const JobInfo* pJob : jobs.vJobs) vRanges.push_back(Range(pJob->iStartIndex, pJob->iEndIndex));
    return vRanges;
}

TEST(PartCut, SlicesAndRemainders) {
    struct Case {
        int n, iNumParts, iPart;
        Range expected;
    };
    const Case cases[] = {
        {10, 3, 1, {0, 3}},  {10, 3, 2, {3, 6}},  {10, 3, 3, {6, 10}},  // last part takes the remainder
        {11, 2, 1, {0, 5}},  {11, 2, 2, {5, 11}}, {7, 1, 1, {0, 7}},
        {3, 4, 2, {0, 3}},   {4, 4, 3, {0, 4}},   // no more multireads than parts: the whole container
        {9, 3, 0, {-3, 0}},  // a part below 1 yields a range that the job refuses
    };
    for (const Case& c : cases) {
        int iStart = -99, iEnd = -99;
        GetPartSlice(c.n, c.iNumParts, c.iPart, iStart, iEnd);
        EXPECT_EQ(Range(iStart, iEnd), c.expected) << "n=" << c.n << " parts=" << c.iNumParts << " part=" << c.iPart;
    }
}

TEST(JobCut, RangesAndRemainders) {
    struct Case {
        int iStart, iEnd, iNumJobs;
        std::vector<Range> expected;
    };
    const Case cases[] = {
        {0, 10, 3, {{0, 3}, {3, 6}, {6, 10}}},
        {0, 7, 7, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}},
        {100, 200, 3, {{100, 133}, {133, 166}, {166, 200}}},
        {5, 11, 4, {{5, 6}, {6, 7}, {7, 8}, {8, 11}}},
        {0, 5, 1, {{0, 5}}},
        {0, 2, 3, {{0, 1}, {1, 2}, {0, 0}}},  // jobs beyond the slice are empty
        {0, 0, 3, {}},
    };
    for (const Case& c : cases) {
        ThreadDataMgr jobs;
        int iCount = jobs.PopulateJobInfoVector(c.iStart, c.iEnd, c.iNumJobs, 2, 1);
        EXPECT_EQ(iCount, static_cast<int>(c.expected.size()));
        EXPECT_EQ(JobRanges(jobs), c.expected) << "[" << c.iStart << ", " << c.iEnd << ") in " << c.iNumJobs;
    }
}

TEST(JobCut, RecordsCarryNumbersNamesAndUnopenedStreams) {
    ThreadDataMgr jobs;
    ASSERT_EQ(jobs.PopulateJobInfoVector(0, 5, 5, 3, 2), 5);
    for (int t = 0; t < 5; ++t) {
        const JobInfo& job = *jobs.vJobs[t];
        EXPECT_EQ(job.iThreadNumber, t);
        EXPECT_EQ(job.sOutFileName, "call_record_L3_p002_t00" + std::to_string(t) + ".txt");
        EXPECT_EQ(job.sCombinedFileName, "call_record_L3_combined");
        ASSERT_NE(job.pOutFile, nullptr);
        EXPECT_FALSE(job.pOutFile->is_open());
    }
}

TEST(JobCut, FileNamesPadPartAndJobToThreeDigitsAtLeast) {
    const struct {
        int iMap, iPart;
        const char* sFirstName;
    } cases[] = {
        {2, 1, "call_record_L2_p001_t000.txt"},
        {5, 42, "call_record_L5_p042_t000.txt"},
        {2, 1000, "call_record_L2_p1000_t000.txt"},
    };
    for (const auto& c : cases) {
        ThreadDataMgr jobs;
        jobs.PopulateJobInfoVector(0, 4, 2, c.iMap, c.iPart);
        EXPECT_EQ(jobs.vJobs[0]->sOutFileName, c.sFirstName);
        EXPECT_EQ(jobs.vJobs[0]->sCombinedFileName, "call_record_L" + std::to_string(c.iMap) + "_combined");
    }
}

TEST(JobCut, SecondPopulationReplacesTheRecords) {
    ThreadDataMgr jobs;
    jobs.PopulateJobInfoVector(0, 10, 3, 2, 1);
    EXPECT_EQ(jobs.PopulateJobInfoVector(0, 4, 2, 4, 1), 2);
    EXPECT_EQ(JobRanges(jobs), (std::vector<Range>{{0, 2}, {2, 4}}));
    EXPECT_EQ(jobs.vJobs[1]->sOutFileName, "call_record_L4_p001_t001.txt");
    EXPECT_EQ(jobs.PopulateJobInfoVector(3, 3, 2, 4, 1), 0);
    EXPECT_TRUE(jobs.vJobs.empty());
}

TEST(JobCut, NonEmptySliceWithoutJobsIsRefused) {
    ThreadDataMgr jobs;
    EXPECT_THROW(jobs.PopulateJobInfoVector(0, 5, 0, 2, 1), std::invalid_argument);
}

// Over all parts of a divided run, the jobs cover every multiread of the container exactly once.
TEST(PartAndJobCut, PartsTogetherCoverTheContainerOnce) {
    for (int n = 1; n <= 40; ++n) {
        for (int iNumParts = 1; iNumParts <= 6; ++iNumParts) {
            if (n <= iNumParts) continue;  // then each part computes the whole container
            for (int iThreads = 1; iThreads <= 7; ++iThreads) {
                std::vector<int> vTimesCovered(n, 0);
                for (int iPart = 1; iPart <= iNumParts; ++iPart) {
                    int iStart, iEnd;
                    GetPartSlice(n, iNumParts, iPart, iStart, iEnd);
                    int iNumJobs = std::min(iEnd - iStart, iThreads);
                    ThreadDataMgr jobs;
                    jobs.PopulateJobInfoVector(iStart, iEnd, iNumJobs, 2, iPart);
                    for (const JobInfo* pJob : jobs.vJobs)
                        for (int i = pJob->iStartIndex; i < pJob->iEndIndex; ++i) ++vTimesCovered[i];
                }
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(vTimesCovered[i], 1)
                        << "n=" << n << " parts=" << iNumParts << " threads=" << iThreads << " index " << i;
            }
        }
    }
}

}  // namespace
