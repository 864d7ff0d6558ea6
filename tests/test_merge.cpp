#include <gtest/gtest.h>

#include <filesystem>

#include "TestHelpers.h"
#include "ThreadDataMgr.h"

namespace {

// The jobs of map_2, part 1, in a fresh working directory.
class MergeTest : public testing::Test {
protected:
    // One job per text, its file holding the text (none for nullptr); returns what the merge printed.
    std::string Merge(const std::vector<const char*>& vTexts) {
        jobs.PopulateJobInfoVector(0, static_cast<int>(vTexts.size()), static_cast<int>(vTexts.size()), 2, 1);
        for (std::size_t t = 0; t < vTexts.size(); ++t)
            if (vTexts[t] != nullptr) WriteFile(jobs.vJobs[t]->sOutFileName, vTexts[t]);
        testing::internal::CaptureStdout();
        jobs.MergeOutputFiles();
        return testing::internal::GetCapturedStdout();
    }
    std::string JobFiles() const {  // the texts of the job files left
        std::string sTexts;
        for (const JobInfo* pJob : jobs.vJobs) sTexts += ReadFile(pJob->sOutFileName);
        return sTexts;
    }

    TempDir dir;
    ScopedChdir chdir{dir.Path()};
    ThreadDataMgr jobs;
};

TEST_F(MergeTest, JobFilesAreJoinedInOrderAndKeptWhenTheMergeFails) {
    // No final newline, an empty job, a carriage return and an empty line, over an older merged file.
    WriteFile("call_record_L2_combined", "stale line from an earlier run\nmore\nmore\n");
    EXPECT_EQ(Merge({"a\t1\nb\t2", "", "c\r\n\nd\n", "e\n"}), "");
    EXPECT_EQ(ReadFile("call_record_L2_combined"), "a\t1\nb\t2\nc\r\n\nd\ne\n");
    EXPECT_EQ(JobFiles(), "");

    EXPECT_EQ(Merge({"x\n", nullptr, "z\n"}), "Merge:  File (call_record_L2_p001_t001.txt) can not be opened.\n"
                                               "DeleteInputFiles: error deleting call_record_L2_p001_t001.txt\n");
    EXPECT_EQ(ReadFile("call_record_L2_combined"), "x\nz\n");
    EXPECT_EQ(JobFiles(), "");

    // When the merged file cannot be written, the job files are the only copy of the results.
    std::filesystem::remove("call_record_L2_combined");
    std::filesystem::create_directory("call_record_L2_combined");
    EXPECT_EQ(Merge({"x\n", "y\n"}),
              "Merge:  Output file (call_record_L2_combined) can not be opened for writing.\n"
              "MergeOutputFiles: merged file (call_record_L2_combined) was not written; keeping the job files.\n");
    EXPECT_EQ(JobFiles(), "x\ny\n");
}

}  // namespace
