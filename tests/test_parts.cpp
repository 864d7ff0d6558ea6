// Divided runs: parts started at once in one directory, and their merge.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "TestHelpers.h"

namespace {

const std::string QUICK = "LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\nNUM_THREADS=2\n"
                          "TOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n";

std::set<std::string> FilesIn(const std::string& sDir) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(sDir)) files.insert(entry.path().filename().string());
    return files;
}

// Runs the three parts at once, as a cluster's job array starts them.
void RunPartsAtOnce(const std::string& sDir, const std::vector<std::string>& vSettings) {
    std::vector<std::thread> vParts;
    std::vector<int> vStatus(3, -1);
    for (int k = 1; k <= 3; ++k)
        vParts.emplace_back([&, k] {
            std::vector<std::string> vArgs = {"run.cfg", "3", std::to_string(k)};
            vArgs.insert(vArgs.end(), vSettings.begin(), vSettings.end());
            vStatus[k - 1] = RunKorvex(sDir, vArgs).iExitStatus;
        });
    for (std::thread& part : vParts) part.join();
    EXPECT_EQ(vStatus, (std::vector<int>{0, 0, 0}));
}

}  // namespace

// The merge of the parts is byte for byte the file of a whole run, whatever the parts write;
// the parts' files carry the part in their names and no intermediate file is left.
TEST(Parts, MergeGivesTheFileOfAWholeRun) {
    const struct { std::vector<std::string> vSettings; const char* sOutput; const char* sPartFile; } cases[] = {
        {{}, "example.sam+", "example.part2of3.sam+"},
        {{"PART_OUTPUT=VALUES"}, "example.sam+", "example.part2of3.sam+.values"},
        {{"OUTPUT_FORMAT=BAM"}, "example.korvex.bam", "example.part2of3.korvex.bam"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sOutput + std::string(" ") + c.sPartFile);
        TempDir dir;
        std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("example.sam"));
        WriteFile(dir.File("run.cfg"), QUICK);
        std::vector<std::string> vWhole = {"run.cfg"};
        vWhole.insert(vWhole.end(), c.vSettings.begin(), c.vSettings.end());
        ASSERT_EQ(RunKorvex(dir.Path(), vWhole).iExitStatus, 0);
        std::filesystem::rename(dir.File(c.sOutput), dir.File("whole"));
        RunPartsAtOnce(dir.Path(), c.vSettings);
        std::vector<std::string> vArgs = {"merge", "run.cfg", "3"};
        vArgs.insert(vArgs.end(), c.vSettings.begin(), c.vSettings.end());
        ASSERT_EQ(RunKorvex(dir.Path(), vArgs).iExitStatus, 0) << ReadFile(dir.File("run.merge.log"));
        EXPECT_EQ(ReadFile(dir.File(c.sOutput)), ReadFile(dir.File("whole")));
        const std::set<std::string> files = FilesIn(dir.Path());
        for (const std::string& sFile : {std::string(c.sPartFile), std::string(c.sPartFile) + ".manifest",
                                        std::string("run.part2of3.log")})
            EXPECT_EQ(files.count(sFile), 1u) << sFile;
        for (const std::string& sFile : files) EXPECT_EQ(sFile.find("tmp"), std::string::npos) << sFile;
    }
}

// A merge refuses, naming the file, parts that are missing, doubled, damaged, or from other
// settings or another input.
TEST(Parts, MergeRefusesPartsThatDoNotBelongTogether) {
    TempDir dir;
    std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("example.sam"));
    WriteFile(dir.File("run.cfg"), QUICK);
    RunPartsAtOnce(dir.Path(), {});
    auto Part = [&](int k) { return dir.File("example.part" + std::to_string(k) + "of3.sam+"); };
    const std::string sKeep = dir.File("keep");
    std::filesystem::create_directory(sKeep);
    for (int k = 1; k <= 3; ++k)
        for (const std::string& sFile : {Part(k), Part(k) + ".manifest"})
            std::filesystem::copy_file(sFile, sKeep + "/" + std::filesystem::path(sFile).filename().string());
    const struct { std::function<void()> change; std::vector<std::string> vSettings; std::string sError; } cases[] = {
        {[&] { std::filesystem::remove(Part(2)); }, {}, "part 2 of 3 is missing: (example.part2of3.sam+) is not there"},
        {[&] {
             std::filesystem::copy_file(Part(1), Part(2), std::filesystem::copy_options::overwrite_existing);
             std::filesystem::copy_file(Part(1) + ".manifest", Part(2) + ".manifest",
                                        std::filesystem::copy_options::overwrite_existing);
         },
         {}, "is that of part 1, not of part 2: a part is given twice"},
        {[] {}, {"TOTAL_ITERATIONS=99"},
         "was computed with TOTAL_ITERATIONS = 100, but this merge has TOTAL_ITERATIONS = 99"},
        {[&] {
             const std::string sText = ReadFile(Part(3));
             WriteFile(Part(3), sText.substr(0, sText.find('\n', 1000) + 1));
         },
         {}, "(example.part3of3.sam+) has 10 lines, but the input has 3481: it is damaged or cut short"},
        {[&] { WriteFile(dir.File("example.sam"), ReadFile(TestDataPath("example.sam")) + "\n"); }, {},  // the last
         "was computed with input_size = 492716, but this merge has input_size = 492717"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sError);
        for (const auto& entry : std::filesystem::directory_iterator(sKeep))
            std::filesystem::copy_file(entry.path(), dir.File(entry.path().filename().string()),
                                       std::filesystem::copy_options::overwrite_existing);
        c.change();
        std::vector<std::string> vArgs = {"merge", "run.cfg", "3"};
        vArgs.insert(vArgs.end(), c.vSettings.begin(), c.vSettings.end());
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_NE(LastLine(result.sStderr).find(c.sError), std::string::npos) << result.sStderr;
        EXPECT_FALSE(FileExists(dir.File("example.sam+")));
    }
}
