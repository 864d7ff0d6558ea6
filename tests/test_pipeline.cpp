// Whole runs of the program on realistic data, and the parallel run of one container.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "DataTrainer.h"
#include "TestHelpers.h"

namespace {

typedef std::map<std::string, std::string> Settings;

const int EXAMPLE_LINES = 3481;

Settings FastSettings() {
    return {{"LOG_FILENAME", "run.log"},        {"MAP_FILENAME", "example.sam"}, {"STRANDNESS_OPTION", "OFF"},
            {"PROB_OUTPUT", "BOTH"},            {"NUM_THREADS", "1"},           {"TOTAL_ITERATIONS", "150"},
            {"BURNIN_ITERATIONS", "30"},        {"SEQ_FLANKING_VALUE", "0"}};
}

// A working directory holding a copy of the example SAM file and a configuration file.
class KorvexRun {
public:
    explicit KorvexRun(const Settings& settings, const std::string& sSamName = "example.sam") {
        std::filesystem::copy_file(TestDataPath(sSamName), dir.File(settings.at("MAP_FILENAME")));
        std::string sConfig;
        for (const auto& setting : settings) sConfig += setting.first + "=" + setting.second + "\n";
        WriteFile(dir.File("run.cfg"), sConfig);
    }

    ProgramResult Start(const std::vector<std::string>& vExtraArgs = {}, const std::vector<std::string>& vEnv = {}) {
        std::vector<std::string> vArgs = {"run.cfg"};
        vArgs.insert(vArgs.end(), vExtraArgs.begin(), vExtraArgs.end());
        return RunKorvex(dir.Path(), vArgs, "", vEnv);
    }

    std::string Samplus(const std::string& sSamName = "example.sam") const { return ReadFile(dir.File(sSamName + "+")); }
    std::string Log() const { return ReadFile(dir.File("run.log")); }

    TempDir dir;
};

// Runs to completion and returns the SAMplus text.
std::string SamplusOf(const Settings& settings, const std::vector<std::string>& vArgs = {},
                      const std::vector<std::string>& vEnv = {}) {
    KorvexRun run(settings);
    ProgramResult result = run.Start(vArgs, vEnv);
    EXPECT_EQ(result.iExitStatus, 0) << result.sStdout << result.sStderr;
    return run.Samplus();
}

// The last iNumColumns fields of a SAMplus line, which must end with a tab.
std::vector<std::string> ValueFields(const std::string& sLine, int iNumColumns) {
    EXPECT_FALSE(sLine.empty());
    EXPECT_EQ(sLine.back(), '\t') << sLine;
    std::vector<std::string> vFields;
    std::size_t iEnd = sLine.size() - 1;
    for (int i = 0; i < iNumColumns; ++i) {
        std::size_t iTab = sLine.rfind('\t', iEnd - 1);
        vFields.insert(vFields.begin(), sLine.substr(iTab + 1, iEnd - iTab - 1));
        iEnd = iTab;
    }
    return vFields;
}

int CountTabs(const std::string& sLine) { return static_cast<int>(std::count(sLine.begin(), sLine.end(), '\t')); }

// ---- the parallel run of one container, called directly --------------------------

// Multireads of two alignments with no unique reads around them; computed with "PROP".
class ParallelRunTest : public ::testing::Test {
protected:
    ParallelRunTest() : chdir(dir.Path()) {
        trainer.iSeqLength = 36;
        trainer.iFlankingValue = 0;
        trainer.dPolymorphismRate = 0.1;
        trainer.iTotalIterations = 50;
        trainer.iBurninIterations = 10;
        trainer.iNumParts = 1;
        trainer.iPartToRun = 1;
        trainer.iNumThreads = 4;
    }
    ~ParallelRunTest() override {
        for (MultiRead* pMultiRead : vMultiReads) delete pMultiRead;
    }

    void AddMultiRead() {
        MultiRead_t<2>* pMultiRead = new MultiRead_t<2>();
        for (int j = 0; j < 2; ++j) {
            Read& read = pMultiRead->Reads(j);
            std::snprintf(read.readID, sizeof(read.readID), "r%zu", vMultiReads.size());
            std::snprintf(read.chromosome, sizeof(read.chromosome), "chr%d", j + 1);
            read.position = 1000 * static_cast<int>(vMultiReads.size()) + j;
            read.lineNumber = 0;
            std::snprintf(read.quality, sizeof(read.quality), "%s", std::string(36, 'I').c_str());
            read.strand = '+';
            read.probability[0] = read.probability[1] = std::numeric_limits<double>::quiet_NaN();
        }
        pMultiRead->Reads(1).vMismatches[0] = ReadMismatch(5, 'I');  // alignment 0 is the best
        vMultiReads.push_back(pMultiRead);
    }

    void Train() { trainer.trainData(vUniqueReads, vMultiReads, errorScore, vUniquePositions, "PROP", false); }

    TempDir dir;
    ScopedChdir chdir;
    DataTrainer trainer;
    std::vector<MultiRead*> vMultiReads;  // owning: deleted by the destructor
    std::vector<MultiRead*> vUniqueReads;
    std::vector<int> vUniquePositions;
    std::map<char, double> errorScore;
};

TEST_F(ParallelRunTest, EmptyContainerWritesNothing) {
    Train();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(ParallelRunTest, JobFilesAreMergedInJobOrder) {
    AddMultiRead();
    AddMultiRead();
    Train();  // two multireads, at most four jobs: two jobs t000 and t001
    std::vector<std::string> vLines = SplitLines(ReadFile("call_record_L2_combined"));
    ASSERT_EQ(vLines.size(), 4u);
    const char* expectedStarts[] = {"r0\tchr1\t0\t", "r0\tchr2\t1\t", "r1\tchr1\t1000\t", "r1\tchr2\t1001\t"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(vLines[i].rfind(expectedStarts[i], 0), 0u) << vLines[i];
    EXPECT_FALSE(FileExists("call_record_L2_p001_t000.txt"));
    EXPECT_FALSE(FileExists("call_record_L2_p001_t001.txt"));
    for (MultiRead* pMultiRead : vMultiReads) {
        EXPECT_EQ(pMultiRead->Reads(0).probability[0], 1.0);
        EXPECT_EQ(pMultiRead->Reads(1).probability[0], 0.0);
    }
}

// A failing job must not take the process down from a worker thread: the other jobs
// finish and the error reaches the caller after the region.
TEST_F(ParallelRunTest, FailingJobIsRethrownAfterTheOtherJobsFinish) {
    AddMultiRead();
    AddMultiRead();
    AddMultiRead();
    vMultiReads.push_back(new MultiRead());  // its Reads() throws: job 1 ([2, 4)) fails
    trainer.iNumThreads = 2;
    EXPECT_THROW(Train(), std::runtime_error);
    EXPECT_EQ(SplitLines(ReadFile("call_record_L2_p001_t000.txt")).size(), 4u);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(vMultiReads[i]->Reads(0).probability[0], 1.0);
    EXPECT_FALSE(FileExists("call_record_L2_combined"));
}

TEST_F(ParallelRunTest, PartBelowOneIsRefusedByTheJobs) {
    for (int i = 0; i < 4; ++i) AddMultiRead();
    trainer.iNumParts = 2;
    trainer.iPartToRun = 0;  // gives the slice [-2, 0)
    EXPECT_THROW(Train(), std::invalid_argument);
}

// ---- whole runs -------------------------------------------------------------------

TEST(Pipeline, RunWritesOneLinePerInputLineAndClearsIntermediateFiles) {
    KorvexRun run(FastSettings());
    ProgramResult result = run.Start();
    ASSERT_EQ(result.iExitStatus, 0) << result.sStdout;

    std::vector<std::string> vLines = SplitLines(run.Samplus());
    std::vector<std::string> vInput = SplitLines(ReadFile(TestDataPath("example.sam")));
    ASSERT_EQ(vLines.size(), vInput.size());
    for (std::size_t i = 0; i < vLines.size(); ++i) ASSERT_EQ(vLines[i].rfind(vInput[i] + "\t", 0), 0u) << i;
    EXPECT_EQ(vLines[0], vInput[0] + "\tNA\tNA\t");

    std::set<std::string> vLeft;
    for (const auto& entry : std::filesystem::directory_iterator(run.dir.Path()))
        vLeft.insert(entry.path().filename().string());
    EXPECT_EQ(vLeft, (std::set<std::string>{"run.cfg", "run.log", "example.sam", "example.sam+"}));

    std::string sLog = run.Log();
    for (const char* sExpected :
         {"==> Step 2: Processing each of the multiread containers.", "process2: Alignment for ID appearing twice: finished!",
          "process2: Alignment for ID appearing three times: finished!",
          "process2: Alignment for ID appearing four times: finished!",
          "process2: Alignment for ID appearing five times: finished!", "process2: The size of probability map is: ",
          "trainData: We'll run with (1) threads.", "process2: Finished generating SAMplus file.",
          "==> Step 2: Finished."})
        EXPECT_NE(sLog.find(sExpected), std::string::npos) << sExpected;
}

// Probabilities lie in [0, 1] and those of the computed alignments of one read sum to 1.
TEST(Pipeline, ValuesAreProbabilities) {
    std::vector<std::string> vLines = SplitLines(SamplusOf(FastSettings()));
    std::map<std::string, std::vector<double>> shareSums, posteriorSums;
    int iWithValues = 0;
    for (const std::string& sLine : vLines) {
        std::vector<std::string> vValues = ValueFields(sLine, 2);
        if (vValues[0] == "NA") {
            EXPECT_EQ(vValues[1], "NA");
            continue;
        }
        ++iWithValues;
        std::string sReadID = sLine.substr(0, sLine.find('\t'));
        double dShare = std::stod(vValues[0]);
        double dPosterior = std::stod(vValues[1]);
        EXPECT_TRUE(dShare >= 0 && dShare <= 1) << sLine;
        EXPECT_TRUE(dPosterior >= 0 && dPosterior <= 1) << sLine;
        shareSums[sReadID].push_back(dShare);
        posteriorSums[sReadID].push_back(dPosterior);
    }
    EXPECT_GT(iWithValues, 1690);
    int iMultiReads = 0;
    for (const auto& entry : shareSums) {
        if (entry.second.size() < 2) {
            EXPECT_EQ(entry.second[0], 1.0) << entry.first;  // a unique read
            continue;
        }
        ++iMultiReads;
        double dShareSum = 0, dPosteriorSum = 0;
        for (double d : entry.second) dShareSum += d;
        for (double d : posteriorSums[entry.first]) dPosteriorSum += d;
        EXPECT_NEAR(dShareSum, 1.0, 1e-5) << entry.first;
        EXPECT_NEAR(dPosteriorSum, 1.0, 1e-4) << entry.first;
    }
    EXPECT_GT(iMultiReads, 50);
}

TEST(Pipeline, OutputDoesNotDependOnThreadsOrJobs) {
    Settings settings = FastSettings();
    std::string sReference = SamplusOf(settings, {}, {"OMP_NUM_THREADS=1"});
    EXPECT_EQ(SamplusOf(settings, {}, {"OMP_NUM_THREADS=2"}), sReference) << "OMP_NUM_THREADS=2";
    for (const char* sJobs : {"3", "7"}) {
        settings["NUM_THREADS"] = sJobs;
        EXPECT_EQ(SamplusOf(settings, {}, {"OMP_NUM_THREADS=2"}), sReference) << "NUM_THREADS=" << sJobs;
    }
}

// Each part of a divided run writes the single run's values for its own multireads and
// "NA" for the others; together the parts cover every value.
TEST(Pipeline, PartsReproduceTheSingleRunValues) {
    Settings settings = FastSettings();
    settings["NUM_THREADS"] = "2";
    std::vector<std::string> vSingle = SplitLines(SamplusOf(settings));
    ASSERT_EQ(vSingle.size(), static_cast<std::size_t>(EXAMPLE_LINES));

    std::vector<int> vPartsWithValues(vSingle.size(), 0);
    for (int iPart = 1; iPart <= 3; ++iPart) {
        std::vector<std::string> vLines = SplitLines(SamplusOf(settings, {"3", std::to_string(iPart)}));
        ASSERT_EQ(vLines.size(), vSingle.size());
        int iNotComputedHere = 0;
        for (std::size_t i = 0; i < vLines.size(); ++i) {
            if (vLines[i] == vSingle[i]) {
                if (ValueFields(vLines[i], 2)[0] != "NA") ++vPartsWithValues[i];
                continue;
            }
            EXPECT_EQ(ValueFields(vLines[i], 2), (std::vector<std::string>{"NA", "NA"})) << "part " << iPart << ": " << vLines[i];
            ++iNotComputedHere;
        }
        EXPECT_GT(iNotComputedHere, 0) << "part " << iPart << " computed everything";
    }
    for (std::size_t i = 0; i < vSingle.size(); ++i)
        if (ValueFields(vSingle[i], 2)[0] != "NA") {
            EXPECT_GE(vPartsWithValues[i], 1) << vSingle[i];
        }
}

// "BAYES" writes the posterior and "PROP" the unique-read share, each the same value as in
// "BOTH"; every mode keeps the line count.
TEST(Pipeline, ProbabilityModesSelectTheColumns) {
    Settings settings = FastSettings();
    std::vector<std::string> vBoth = SplitLines(SamplusOf(settings));
    settings["PROB_OUTPUT"] = "BAYES";
    std::vector<std::string> vBayes = SplitLines(SamplusOf(settings));
    settings["PROB_OUTPUT"] = "PROP";
    std::vector<std::string> vProp = SplitLines(SamplusOf(settings));
    ASSERT_EQ(vBayes.size(), vBoth.size());
    ASSERT_EQ(vProp.size(), vBoth.size());
    for (std::size_t i = 0; i < vBoth.size(); ++i) {
        EXPECT_EQ(CountTabs(vBayes[i]) + 1, CountTabs(vBoth[i])) << i;
        EXPECT_EQ(CountTabs(vProp[i]) + 1, CountTabs(vBoth[i])) << i;
        std::vector<std::string> vBothValues = ValueFields(vBoth[i], 2);
        EXPECT_EQ(ValueFields(vProp[i], 1)[0], vBothValues[0]) << i;
        EXPECT_EQ(ValueFields(vBayes[i], 1)[0], vBothValues[1]) << i;
    }
}

TEST(Pipeline, OnlyUniqueReadsGiveOnesAndEmptyContainers) {
    std::string sSam;
    for (const std::string& sLine : SplitLines(ReadFile(TestDataPath("example.sam")))) {
        if (sSam.size() > 20000) break;
        sSam += sLine + "\n";
    }
    KorvexRun run(FastSettings());
    // Keep the header and the reads that appear once.
    std::vector<std::string> vLines = SplitLines(sSam);
    std::map<std::string, int> count;
    for (const std::string& sLine : vLines) ++count[sLine.substr(0, sLine.find('\t'))];
    std::string sUnique;
    for (const std::string& sLine : vLines)
        if (sLine[0] == '@' || count[sLine.substr(0, sLine.find('\t'))] == 1) sUnique += sLine + "\n";
    WriteFile(run.dir.File("example.sam"), sUnique);

    ProgramResult result = run.Start();
    ASSERT_EQ(result.iExitStatus, 0) << result.sStdout;
    int iOnes = 0;
    for (const std::string& sLine : SplitLines(run.Samplus())) {
        std::vector<std::string> vValues = ValueFields(sLine, 2);
        if (vValues[0] != "NA") {
            EXPECT_EQ(vValues, (std::vector<std::string>{"1", "1"})) << sLine;
            ++iOnes;
        }
    }
    EXPECT_GT(iOnes, 10);
    EXPECT_NE(run.Log().find("process2: Alignment for ID appearing five times: finished!"), std::string::npos);
    EXPECT_EQ(run.Log().find("trainData"), std::string::npos);
}

TEST(Pipeline, UnwritableSamplusFileFailsTheRun) {
    KorvexRun run(FastSettings());
    std::filesystem::create_directory(run.dir.File("example.sam+"));
    ProgramResult result = run.Start();
    EXPECT_EQ(result.iExitStatus, 1);
    EXPECT_NE(run.Log().find("KORVEX v2.0.0: process2: the SAMplus file (example.sam+) could not be written."),
              std::string::npos)
        << run.Log();
    EXPECT_EQ(run.Log().find("Finished generating SAMplus file"), std::string::npos);
}

// The SAMplus file of the example at the default settings, checked in: any change of a
// number shows here. Regenerate it only for an intended change of the results.
TEST(Pipeline, GoldenExampleAtDefaultSettings) {
    Settings settings = {{"LOG_FILENAME", "run.log"}, {"MAP_FILENAME", "example.sam"}, {"STRANDNESS_OPTION", "OFF"}};
    std::string sText = SamplusOf(settings);
    std::string sGolden = ReadFile(TestDataPath("golden/example_default.sam+"));
    std::vector<std::string> vLines = SplitLines(sText);
    std::vector<std::string> vGolden = SplitLines(sGolden);
    ASSERT_EQ(vGolden.size(), static_cast<std::size_t>(EXAMPLE_LINES));
    ASSERT_EQ(vLines.size(), vGolden.size());
    for (std::size_t i = 0; i < vLines.size(); ++i) ASSERT_EQ(vLines[i], vGolden[i]) << "line " << i + 1;
    EXPECT_TRUE(sText == sGolden);
}

}  // namespace
