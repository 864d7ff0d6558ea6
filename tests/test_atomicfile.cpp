#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "AtomicFile.h"
#include "InputFile.h"
#include "TestHelpers.h"

namespace {

void WriteThrough(const std::string& sTarget, const std::string& sText, const InputFile* pInput = nullptr) {
    AtomicFile file(sTarget, pInput);
    file.Write(sText.data(), sText.size());
    file.Commit();
}

// A target that cannot be created, is no regular file, or is the input under any name: an error
// that names it, and the directory stays as it was.
TEST(AtomicFile, FailuresLeaveTheTargetAsItWas) {
    TempDir dir;
    const std::string sInput = dir.File("reads.sam"), sMissing = dir.File("missing/out.sam+");
    WriteFile(sInput, "r1\t0\n");
    InputFile input(sInput);
    ASSERT_EQ(symlink("/dev/full", dir.File("full").c_str()), 0);
    ASSERT_EQ(link(sInput.c_str(), dir.File("hardlink.sam").c_str()), 0);
    ASSERT_EQ(symlink(sInput.c_str(), dir.File("symlink.sam").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    const std::set<std::string> vBefore = FileNames(dir.Path());
    const std::pair<std::string, std::string> cases[] = {
        {sMissing, "the output file (" + sMissing + ") cannot be created (as " + sMissing + ".tmp"},
        {dir.File("full"), "the output file (" + dir.File("full") + ") exists and is not a regular file (it is a character device)"},
        {dir.File("sub"), "is not a regular file (it is a directory)"},
        {sInput, "the output file (" + sInput + ") is the input file (" + sInput + "), which korvex never overwrites"},
        {dir.File("hardlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("symlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("./sub/../reads.sam"), "is the input file"}};
    for (const auto& [sTarget, sFragment] : cases) {
        try {
            WriteThrough(sTarget, "new\n", &input);
            ADD_FAILURE() << "no error; expected: " << sFragment;
        } catch (const OutputError& error) {
            EXPECT_NE(std::string(error.what()).find(sFragment), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(ReadFile(sInput), "r1\t0\n");
    EXPECT_EQ(FileNames(dir.Path()), vBefore);
    EXPECT_TRUE(FileNames(dir.File("sub")).empty());
}

// Nothing is under the final name before Commit; a link stays and the file it names is replaced
// with its mode kept; an abandoned file leaves nothing.
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
        EXPECT_EQ(ReadFile(sTarget), "old");
        file.Commit();
    }
    EXPECT_EQ(ReadFile(sTarget), sText);
    EXPECT_TRUE(std::filesystem::is_symlink(sLink));
    struct stat status;
    ASSERT_EQ(stat(sTarget.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    { AtomicFile abandoned(dir.File("never.txt")); abandoned.Write("x", 1); }
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"link.txt", "out.txt"}));
}

}  // namespace
