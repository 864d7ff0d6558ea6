#include <gtest/gtest.h>

#include <stdexcept>

#include "ThreadDataMgr.h"

namespace {

typedef std::pair<int, int> Range;

TEST(PartCut, SlicesAndRemainders) {
    const struct { int n, iNumParts, iPart; Range expected; } cases[] = {
        {10, 3, 1, {0, 3}}, {10, 3, 2, {3, 6}},  {10, 3, 3, {6, 10}},  // the last part takes the remainder
        {11, 2, 1, {0, 5}}, {11, 2, 2, {5, 11}}, {7, 1, 1, {0, 7}},
        {3, 4, 2, {0, 3}},  {4, 4, 3, {0, 4}},  // no more multireads than parts: the whole container
    };
    for (const auto& c : cases) {
        Range slice(-99, -99);
        GetPartSlice(c.n, c.iNumParts, c.iPart, slice.first, slice.second);
        EXPECT_EQ(slice, c.expected) << "n=" << c.n << " parts=" << c.iNumParts << " part=" << c.iPart;
    }
}

// The last job takes the remainder. One manager serves all rows: each population releases the old records.
TEST(JobCut, RangesAndFileNames) {
    struct Case { int iStart, iEnd, iNumJobs, iMap, iPart; std::vector<Range> vExpected; const char* sLastName; };
    const Case cases[] = {
        {0, 10, 3, 2, 1, {{0, 3}, {3, 6}, {6, 10}}, "call_record_L2_p001_t002.txt"},
        {0, 7, 7, 3, 42, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}, "call_record_L3_p042_t006.txt"},
        {100, 200, 3, 5, 1000, {{100, 133}, {133, 166}, {166, 200}}, "call_record_L5_p1000_t002.txt"},
        {5, 11, 4, 4, 2, {{5, 6}, {6, 7}, {7, 8}, {8, 11}}, "call_record_L4_p002_t003.txt"},
        {0, 2, 3, 2, 1, {{0, 1}, {1, 2}, {0, 0}}, "call_record_L2_p001_t002.txt"},  // jobs beyond the slice
        {0, 0, 3, 2, 1, {}, ""},
    };
    ThreadDataMgr jobs;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.iStart << ", " << c.iEnd << ") in " << c.iNumJobs);
        EXPECT_EQ(jobs.PopulateJobInfoVector(c.iStart, c.iEnd, c.iNumJobs, c.iMap, c.iPart), int(c.vExpected.size()));
        std::vector<Range> vRanges;
        for (const JobInfo* pJob : jobs.vJobs) vRanges.push_back(Range(pJob->iStartIndex, pJob->iEndIndex));
        EXPECT_EQ(vRanges, c.vExpected);
        EXPECT_EQ(jobs.vJobs.empty() ? "" : jobs.vJobs.back()->sOutFileName, c.sLastName);
    }
    EXPECT_THROW(jobs.PopulateJobInfoVector(0, 5, 0, 2, 1), std::invalid_argument) << "a slice without jobs";
}

}  // namespace
