#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "AtomicFile.h"
#include "InputFile.h"
#include "OutputWriters.h"
#include "TestHelpers.h"

namespace {

class NoValues : public LineValueSource {
public:
    bool Next(int64_t&, double*) override { return false; }
};

std::vector<std::string> DirectoryEntries(const std::string& sDir) {
    std::vector<std::string> vNames;
    for (const auto& entry : std::filesystem::directory_iterator(sDir)) vNames.push_back(entry.path().filename());
    std::sort(vNames.begin(), vNames.end());
    return vNames;
}

void ExpectOutputError(const std::function<void()>& write, const std::string& sFragment) {
    try {
        write();
        ADD_FAILURE() << "no error; expected: " << sFragment;
    } catch (const OutputError& error) {
        EXPECT_NE(std::string(error.what()).find(sFragment), std::string::npos) << error.what();
    }
}

void WriteThrough(const std::string& sTarget, const std::string& sText, const InputFile* pInput = nullptr) {
    AtomicFile file(sTarget, pInput);
    file.Write(sText.data(), sText.size());
    file.Commit();
}

TEST(AtomicFile, FailuresLeaveTheTargetAsItWas) {
    TempDir dir;
    const std::string sInput = dir.File("reads.sam");
    WriteFile(sInput, "r1\t0\n");
    InputFile input(sInput);
    ASSERT_EQ(symlink("/dev/full", dir.File("full").c_str()), 0);
    ASSERT_EQ(link(sInput.c_str(), dir.File("hardlink.sam").c_str()), 0);
    ASSERT_EQ(symlink(sInput.c_str(), dir.File("symlink.sam").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    const std::vector<std::string> vBefore = DirectoryEntries(dir.Path());

    struct Case { std::string sTarget; std::string sFragment; };
    const Case cases[] = {
        {dir.File("missing/out.sam+"), "the output file (" + dir.File("missing/out.sam+") + ") cannot be created (as " +
                                           dir.File("missing/out.sam+") + ".tmp"},
        {dir.File("full"), "the output file (" + dir.File("full") +
                               ") exists and is not a regular file (it is a character device)"},
        {dir.File("sub"), "is not a regular file (it is a directory)"},
        {sInput, "the output file (" + sInput + ") is the input file (" + sInput + "), which korvex never overwrites"},
        {dir.File("hardlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("symlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("./sub/../reads.sam"), "is the input file"},
    };
    for (const Case& c : cases) ExpectOutputError([&] { WriteThrough(c.sTarget, "new\n", &input); }, c.sFragment);
    EXPECT_EQ(ReadFile(sInput), "r1\t0\n");
    EXPECT_EQ(DirectoryEntries(dir.Path()), vBefore);
    EXPECT_TRUE(DirectoryEntries(dir.File("sub")).empty());

    if (geteuid() != 0) {  // permissions bind everyone but root
        ASSERT_EQ(chmod(dir.File("sub").c_str(), 0555), 0);
        ExpectOutputError([&] { WriteThrough(dir.File("sub/out"), "new\n"); }, "Permission denied");
        chmod(dir.File("sub").c_str(), 0755);
    }
}

TEST(AtomicFile, CommitPutsTheWholeFileInPlace) {
    TempDir dir;
    const std::string sTarget = dir.File("out.txt"), sLink = dir.File("link.txt");
    WriteFile(sTarget, "old");
    ASSERT_EQ(chmod(sTarget.c_str(), 0640), 0);
    ASSERT_EQ(symlink(sTarget.c_str(), sLink.c_str()), 0);
    std::string sText;
    for (int i = 0; i < 300000; ++i) sText += "line " + std::to_string(i) + "\n";  // beyond one buffer
    {
        AtomicFile file(sLink);
        file.Write(sText.data(), sText.size() - 1);
        file.Put(sText.back());
        EXPECT_EQ(ReadFile(sTarget), "old");  // nothing under the final name before Commit
        file.Commit();
    }
    EXPECT_EQ(ReadFile(sTarget), sText);
    EXPECT_TRUE(std::filesystem::is_symlink(sLink));  // the link stays; the file it names is replaced
    struct stat status;
    ASSERT_EQ(stat(sTarget.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    { AtomicFile abandoned(dir.File("never.txt")); abandoned.Write("x", 1); }
    EXPECT_EQ(DirectoryEntries(dir.Path()), (std::vector<std::string>{"link.txt", "out.txt"}));
}

// A full file system, made for the test as a small tmpfs (which needs root).
TEST(AtomicFile, AFullDeviceIsAnErrorAndLeavesNothingBehind) {
    TempDir dir;
    const std::string sMount = dir.File("small");
    ASSERT_EQ(mkdir(sMount.c_str(), 0755), 0);
    if (geteuid() != 0 || std::system(("mount -t tmpfs -o size=64k tmpfs '" + sMount + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";
    const std::string sTarget = sMount + "/out.sam+";
    WriteFile(sTarget, "previous\n");
    ExpectOutputError([&] { WriteThrough(sTarget, std::string(1 << 20, 'x')); },
                      "the output file (" + sTarget + ") cannot be written: No space left on device");
    std::string sSam = "@SQ\tSN:c\tLN:100000\n";
    for (int i = 0; i < 4000; ++i) sSam += "r" + std::to_string(i) + "\t0\tc\t" + std::to_string(i + 1) + "\t255\t4M\t*\t0\t0\tACGT\tIIII\n";
    WriteFile(dir.File("reads.sam"), sSam);
    InputFile input(dir.File("reads.sam"));
    NoValues values;
    ExpectOutputError([&] { WriteOutput(input, {}, {OutputFormat::Sam, sTarget, ProbMode::Both, "", 1, "korvex"},
                                        values, 4001); },
                      "the output file (" + sTarget + ") cannot be written");
    EXPECT_EQ(ReadFile(sTarget), "previous\n");
    EXPECT_EQ(DirectoryEntries(sMount), std::vector<std::string>{"out.sam+"});
    EXPECT_EQ(std::system(("umount '" + sMount + "'").c_str()), 0);
}

}  // namespace
