#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FileOperation.h"
#include "TestHelpers.h"
#include "ThreadDataMgr.h"

namespace {

// A manager of n jobs for map_2, part 1, run inside a fresh working directory.
class MergeTest : public ::testing::Test {
protected:
    MergeTest() : chdir(dir.Path()) {}

    void MakeJobs(int n) { jobs.PopulateJobInfoVector(0, n, n, 2, 1); }
    const std::string& JobFile(int t) const { return jobs.vJobs[t]->sOutFileName; }

    TempDir dir;
    ScopedChdir chdir;
    ThreadDataMgr jobs;
};

TEST_F(MergeTest, JobFilesAreJoinedInJobOrderAndDeleted) {
    MakeJobs(4);
    WriteFile(JobFile(0), "a\t1\nb\t2");  // no final newline
    WriteFile(JobFile(1), "");            // a job without multireads
    WriteFile(JobFile(2), "c\r\n\nd\n");  // carriage return and an empty line are kept
    WriteFile(JobFile(3), "e\n");
    WriteFile("call_record_L2_combined", "stale line from an earlier run\nmore\nmore\n");

    testing::internal::CaptureStdout();
    jobs.MergeOutputFiles();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(ReadFile("call_record_L2_combined"), "a\t1\nb\t2\nc\r\n\nd\ne\n");
    for (int t = 0; t < 4; ++t) EXPECT_FALSE(FileExists(JobFile(t))) << JobFile(t);
}

TEST_F(MergeTest, MissingJobFileIsReportedAndTheOthersMerged) {
    MakeJobs(3);
    WriteFile(JobFile(0), "x\n");
    WriteFile(JobFile(2), "z\n");

    testing::internal::CaptureStdout();
    jobs.MergeOutputFiles();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Merge:  File (call_record_L2_p001_t001.txt) can not be opened.\n"
              "DeleteInputFiles: error deleting call_record_L2_p001_t001.txt\n");
    EXPECT_EQ(ReadFile("call_record_L2_combined"), "x\nz\n");
    EXPECT_FALSE(FileExists(JobFile(0)));
    EXPECT_FALSE(FileExists(JobFile(2)));
}

TEST_F(MergeTest, NoJobsMeansNoMergedFile) {
    jobs.MergeOutputFiles();
    EXPECT_FALSE(FileExists("call_record_L2_combined"));
}

// When the merged file cannot be written the job files are the only copy of the
// results, so they must survive.
TEST_F(MergeTest, UnwritableMergedFileKeepsTheJobFiles) {
    MakeJobs(2);
    WriteFile(JobFile(0), "x\n");
    WriteFile(JobFile(1), "y\n");
    std::filesystem::create_directory("call_record_L2_combined");

    testing::internal::CaptureStdout();
    jobs.MergeOutputFiles();
    std::string sOutput = testing::internal::GetCapturedStdout();
    EXPECT_NE(sOutput.find("Merge:  Output file (call_record_L2_combined) can not be opened for writing."),
              std::string::npos)
        << sOutput;
    EXPECT_NE(sOutput.find("MergeOutputFiles: merged file (call_record_L2_combined) was not written"),
              std::string::npos)
        << sOutput;
    EXPECT_EQ(ReadFile(JobFile(0)), "x\n");
    EXPECT_EQ(ReadFile(JobFile(1)), "y\n");
}

TEST_F(MergeTest, MergedFileThatFillsUpKeepsTheJobFiles) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    MakeJobs(1);
    WriteFile(JobFile(0), "x\n");
    ASSERT_EQ(symlink("/dev/full", "call_record_L2_combined"), 0);

    testing::internal::CaptureStdout();
    jobs.MergeOutputFiles();
    std::string sOutput = testing::internal::GetCapturedStdout();
    EXPECT_NE(sOutput.find("could not be written completely"), std::string::npos) << sOutput;
    EXPECT_TRUE(FileExists(JobFile(0)));
}

TEST(FileOperation, DeleteReportsEachFailureAndGoesOn) {
    TempDir dir;
    std::vector<std::string> vFiles = {dir.File("a"), dir.File("missing"), dir.File("b")};
    WriteFile(vFiles[0], "1");
    WriteFile(vFiles[2], "2");
    FileOperation fileOperation;
    testing::internal::CaptureStdout();
    fileOperation.DeleteInputFiles(vFiles);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeleteInputFiles: error deleting " + vFiles[1] + "\n");
    EXPECT_FALSE(FileExists(vFiles[0]));
    EXPECT_FALSE(FileExists(vFiles[2]));
}

}  // namespace
