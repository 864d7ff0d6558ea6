// Writing files: the atomic file alone, and every file a run writes with a fault injected (an
// unwritable directory, /dev/full behind its name, or as root a full tmpfs): a final output fails
// the run naming the file (on a full disk also the reason) and leaves nothing half-written; an
// intermediate one loses nothing. As root, an unwritable directory needs a copy of the program
// run as nobody.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "AtomicFile.h"
#include "InputFile.h"
#include "TestHelpers.h"

namespace fs = std::filesystem;

enum FileKind { SAMPLUS, BAM, CRAM, LOG, CALL_RECORD };
enum class Fault { UnwritableDirectory, DevFull, FullTmpfs };
const char* const FILE_NAMES[] = {"example.sam+", "example.korvex.bam", "example.korvex.cram", "run.log", "call_record"};

std::set<std::string> Listing(const std::string& sDir) {
    std::set<std::string> vNames;
    for (const auto& entry : fs::recursive_directory_iterator(sDir)) vNames.insert(entry.path().string());
    return vNames;
}

// The directories of one run, writable by anyone: the working directory (also TMPDIR, for the
// call_record files), the SAM file's (for the output) and the log's.
struct RunDirectories : TempDir {
    std::string sWork = File("work"), sData = File("data"), sLogs = File("logs"), sMount;
    bool bAsNobody = false;
    RunDirectories() {
        for (const std::string& sDir : {sWork, sData, sLogs}) {
            fs::create_directory(sDir);
            ::chmod(sDir.c_str(), 0777);
        }
        ::chmod(Path().c_str(), 0755);  // mkdtemp made it 0700; nobody must get through
    }
    ~RunDirectories() {
        if (!sMount.empty()) ::umount2(sMount.c_str(), MNT_DETACH);
    }
    std::string DirectoryOf(FileKind file) const { return file == LOG ? sLogs : file == CALL_RECORD ? sWork : sData; }
    // The configuration and the SAM file, and with bPrevious an output of an earlier run.
    void Populate(FileKind file, bool bPrevious) const {
        WriteFile(sWork + "/run.cfg", "STRANDNESS_OPTION=OFF\nNUM_THREADS=3\nQUIET=1\nMAP_FILENAME=" + sData +
                                          "/example.sam\nLOG_FILENAME=" + sLogs + "/run.log\n" +
                                          (file == BAM ? "OUTPUT_FORMAT=BAM\n" : file == CRAM ? "OUTPUT_FORMAT=CRAM\n" : ""));
        fs::copy_file(TestDataPath("example.sam"), sData + "/example.sam");
        if (bPrevious) WriteFile(sData + "/" + FILE_NAMES[file], "previous run\n");
    }
    // Sets the fault up; returns why it cannot be injected here, empty when it was.
    std::string Inject(FileKind file, Fault fault) {
        const bool bRoot = ::geteuid() == 0;
        if (fault == Fault::UnwritableDirectory) {
            if (bRoot && RunShell("command -v setpriv >/dev/null") != 0)
                return "setpriv is missing (apt-get install -y util-linux), which runs the program as nobody";
            Populate(file, false);
            ::chmod(DirectoryOf(file).c_str(), 0555);
            bAsNobody = bRoot;
        } else if (fault == Fault::DevFull) {
            if (!FileExists("/dev/full")) return "there is no /dev/full in this system";
            Populate(file, false);
            fs::create_symlink("/dev/full", sLogs + "/run.log");
        } else {
            if (!bRoot) return "mounting a tmpfs needs root";
            if (::mount("tmpfs", DirectoryOf(file).c_str(), "tmpfs", 0, "size=2m,mode=0777") != 0)
                return std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
            sMount = DirectoryOf(file);
            Populate(file, file != LOG && file != CALL_RECORD);
            RunShell("cat /dev/zero > '" + sMount + "/filler' 2>/dev/null");  // to the last byte
        }
        return "";
    }
    ProgramResult Run() const {
        std::string sProgram = KORVEX_BINARY, sAs;
        if (bAsNobody) {
            sProgram = File("korvex");
            fs::copy_file(KORVEX_BINARY, sProgram);
            sAs = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        }
        const int iStatus = RunShell("cd '" + sWork + "' && " + sAs + "env TMPDIR='" + sWork + "' OMP_NUM_THREADS=2 '" +
                                     sProgram + "' run.cfg >/dev/null 2>'" + File("stderr") + "'");
        return {iStatus, "", ReadFile(File("stderr"))};
    }
};

struct Injection {
    FileKind file;
    Fault fault;
    const char* pName;
};

void PrintTo(const Injection& injection, std::ostream* pOut) { *pOut << injection.pName; }  // as ctest lists it

class EveryFile : public testing::TestWithParam<Injection> {};

TEST_P(EveryFile, FailsTheRunOrLosesNothing) {
    const auto [file, fault, pName] = GetParam();
    const std::string sGolden = ReadFile(TestDataPath("golden/example_default.sam+"));  // an undisturbed run's
    RunDirectories dirs;
    const std::string sSkipped = dirs.Inject(file, fault);
    if (!sSkipped.empty()) GTEST_SKIP() << sSkipped;
    const std::string sDir = dirs.DirectoryOf(file), sFile = sDir + "/" + FILE_NAMES[file];
    const std::set<std::string> vBefore = Listing(sDir);
    const std::string sPrevious = file == LOG ? "" : ReadFile(sFile);  // the log may be /dev/full
    const ProgramResult outcome = dirs.Run();
    ::chmod(sDir.c_str(), 0777);  // so that the directory can be removed
    if (file == CALL_RECORD) {
        EXPECT_TRUE(outcome.sStderr.find(FILE_NAMES[file]) != std::string::npos ||
                    outcome.sStderr.find(sDir) != std::string::npos) << outcome.sStderr;
        if (outcome.iExitStatus == 0) { EXPECT_EQ(ReadFile(dirs.sData + "/example.sam+"), sGolden); }
        else { EXPECT_FALSE(FileExists(dirs.sData + "/example.sam+")); }
        for (const std::string& sPath : Listing(dirs.sWork)) EXPECT_EQ(sPath.find("call_record_"), std::string::npos);
        return;
    }
    EXPECT_EQ(outcome.iExitStatus, 1);
    EXPECT_NE(outcome.sStderr.find(FILE_NAMES[file]), std::string::npos) << outcome.sStderr;
    if (fault == Fault::FullTmpfs && (file == SAMPLUS || file == CRAM)) {  // the reason too
        EXPECT_NE(outcome.sStderr.find("No space left on device"), std::string::npos) << outcome.sStderr;
    }
    if (file == LOG) return;
    if (FileExists(sFile)) { EXPECT_EQ(ReadFile(sFile), sPrevious); }
    EXPECT_EQ(Listing(sDir), vBefore);
}

INSTANTIATE_TEST_SUITE_P(
    FailureInjection, EveryFile,
    testing::Values(Injection{SAMPLUS, Fault::UnwritableDirectory, "SamplusUnwritableDirectory"},
                    Injection{SAMPLUS, Fault::FullTmpfs, "SamplusFullTmpfs"},
                    Injection{BAM, Fault::FullTmpfs, "BamFullTmpfs"},
                    Injection{CRAM, Fault::FullTmpfs, "CramFullTmpfs"},
                    Injection{LOG, Fault::UnwritableDirectory, "LogUnwritableDirectory"},
                    Injection{LOG, Fault::DevFull, "LogDevFull"},
                    Injection{LOG, Fault::FullTmpfs, "LogFullTmpfs"},
                    Injection{CALL_RECORD, Fault::UnwritableDirectory, "CallRecordUnwritableDirectory"},
                    Injection{CALL_RECORD, Fault::FullTmpfs, "CallRecordFullTmpfs"}),
    [](const testing::TestParamInfo<Injection>& test) { return std::string(test.param.pName); });

// A run stopped by a signal (Ctrl-C, a batch system's time limit) while it copies standard
// input leaves no copy behind, and still ends by that signal.
TEST(FailureInjection, StoppedRunLeavesNoCopyOfStandardInput) {
    TempDir dir;
    fs::create_directory(dir.File("tmp"));
    const std::string sScript = "cd '" + dir.Path() + "' && mkfifo in || exit 1; TMPDIR=\"$PWD/tmp\" '" KORVEX_BINARY
                                "' MAP_FILENAME=- STRANDNESS_OPTION=OFF <in >/dev/null 2>&1 & k=$!; exec 3>in; i=0; "
                                "while [ -z \"$(ls tmp)\" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done; "
                                "kill -TERM $k; wait $k; s=$?; exec 3>&-; "
                                "[ $i -lt 200 ] && [ $s -eq 143 ] && [ -z \"$(ls tmp)\" ]";
    EXPECT_EQ(RunShell(sScript), 0);
}

// Starts the built korvex in sDir with the extra environment vEnv, standard input from sStdin
// (/dev/null when empty), its console in sConsoleDir, and the signal iIgnored ignored as nohup does.
pid_t StartKorvex(const std::string& sDir, const std::vector<std::string>& vArgs, const std::vector<std::string>& vEnv,
                  const std::string& sStdin, const std::string& sConsoleDir, int iIgnored = 0) {
    std::string sCommand = "cd '" + sDir + "' && exec env";
    for (const std::string& sWord : vEnv) sCommand += " '" + sWord + "'";
    sCommand += " '" KORVEX_BINARY "'";
    for (const std::string& sWord : vArgs) sCommand += " '" + sWord + "'";
    sCommand += " <'" + (sStdin.empty() ? "/dev/null" : sStdin) + "' >'" + sConsoleDir + "/stdout' 2>'" + sConsoleDir + "/stderr'";
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (int iSignal : {SIGHUP, SIGINT, SIGTERM}) ::signal(iSignal, iSignal == iIgnored ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execl("/bin/sh", "sh", "-c", sCommand.c_str(), static_cast<char*>(nullptr));  // sh execs korvex: the same process
    ::_exit(127);
}

// The private run directory under sTmp once it holds a call_record file (Step 2 has begun);
// empty when none appears within 30 s.
std::string RunDirectoryInStep2(const std::string& sTmp) {
    for (int i = 0; i < 1500; ++i) {
        for (const auto& entry : fs::directory_iterator(sTmp)) {
            if (entry.path().filename().string().rfind("korvex-run-", 0) != 0) continue;
            std::error_code error;
            for (const auto& file : fs::directory_iterator(entry.path(), error))
                if (file.path().filename().string().rfind("call_record_", 0) == 0) return entry.path().string();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

const std::string LONG_RUN = "MAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\nTOTAL_ITERATIONS=1000000\nQUIET=1\n";

// A run stopped in Step 2 by SIGHUP, SIGINT or SIGTERM removes its run directory with its
// call_record files and the copy of standard input, and still ends by that signal; a signal
// ignored from the start (nohup) stays ignored.
TEST(FailureInjection, StoppedRunRemovesItsRunDirectory) {
    const struct { int iSignal; bool bStdin; int iIgnored; } cases[] = {
        {SIGTERM, false, 0}, {SIGINT, false, 0}, {SIGHUP, false, 0}, {SIGTERM, true, 0},
        {SIGINT, true, 0},   {SIGHUP, true, 0},  {SIGTERM, false, SIGHUP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.iSignal)) + (c.bStdin ? ", standard input" : "") +
                     (c.iIgnored ? ", SIGHUP ignored" : ""));
        ExampleDir dir(LONG_RUN + (c.bStdin ? "MAP_FILENAME=-\n" : ""));
        TempDir tmp, console;
        const std::set<std::string> vBefore = FileNames(dir.Path());
        const pid_t pid = StartKorvex(dir.Path(), {"run.cfg"}, {"TMPDIR=" + tmp.Path(), "OMP_NUM_THREADS=2"},
                                      c.bStdin ? dir.File("example.sam") : "", console.Path(), c.iIgnored);
        const bool bInStep2 = !RunDirectoryInStep2(tmp.Path()).empty();
        if (c.iIgnored != 0) {
            ::kill(pid, c.iIgnored);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0);  // still running
        }
        ::kill(pid, c.iSignal);
        int iStatus = 0;
        ASSERT_EQ(::waitpid(pid, &iStatus, 0), pid);
        ASSERT_TRUE(bInStep2) << ReadFile(console.File("stderr"));
        EXPECT_TRUE(WIFSIGNALED(iStatus) && WTERMSIG(iStatus) == c.iSignal) << iStatus;
        EXPECT_EQ(FileNames(tmp.Path()), std::set<std::string>());
        std::set<std::string> vExpected = vBefore;
        vExpected.insert("Logger.out");
        EXPECT_EQ(FileNames(dir.Path()), vExpected);
    }
}

// Only SIGKILL leaves files. The next run in that place names what runs no longer alive left
// there, and leaves it; the directory of a run still running is never named.
TEST(FailureInjection, TheNextRunNamesWhatAKilledRunLeft) {
    ExampleDir dir(LONG_RUN);
    TempDir tmp, console;
    const std::vector<std::string> vEnv = {"TMPDIR=" + tmp.Path(), "OMP_NUM_THREADS=1"};
    const pid_t pid = StartKorvex(dir.Path(), {"run.cfg"}, vEnv, "", console.Path());
    const std::string sLeft = RunDirectoryInStep2(tmp.Path());
    const ProgramResult whileRunning = dir.Run({"run.cfg", "TOTAL_ITERATIONS=2", "BURNIN_ITERATIONS=0",
                                                "OUTPUT_FILE=b.sam+", "LOG_FILENAME=b.log"}, vEnv);
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
    ASSERT_FALSE(sLeft.empty()) << ReadFile(console.File("stderr"));
    EXPECT_EQ(whileRunning.iExitStatus, 0);
    EXPECT_EQ(whileRunning.sStderr, "");
    WriteFile(dir.File("c.sam+.tmpAbC123"), "cut short");  // an output a killed run did not finish
    const ProgramResult next = dir.Run({"run.cfg", "TOTAL_ITERATIONS=2", "BURNIN_ITERATIONS=0",
                                        "OUTPUT_FILE=c.sam+", "LOG_FILENAME=c.log"}, vEnv);
    EXPECT_EQ(next.iExitStatus, 0);
    const std::vector<std::string> vWarnings = SplitLines(next.sStderr);
    ASSERT_EQ(vWarnings.size(), 2u) << next.sStderr;
    EXPECT_EQ(vWarnings[0], "RunDirectory: (" + sLeft + ") was left by a run that no longer runs (process " +
                                std::to_string(pid) + " on this host); it can be removed.");
    EXPECT_EQ(vWarnings[1], "RunDirectory: (" + fs::canonical(dir.Path()).string() +
                                "/c.sam+.tmpAbC123) is an output that a stopped run did not finish; it can be removed.");
    EXPECT_TRUE(FileExists(sLeft) && FileExists(dir.File("c.sam+.tmpAbC123")));
    EXPECT_EQ(FileNames(tmp.Path()), std::set<std::string>{fs::path(sLeft).filename().string()});
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
        {dir.File("full"), dir.File("full") + ") exists and is not a regular file (it is a character device)"},
        {dir.File("sub"), "is not a regular file (it is a directory)"},
        {sInput, "the output file (" + sInput + ") is the input file (" + sInput + "), which korvex never overwrites"},
        {dir.File("hardlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("symlink.sam"), "is the input file (" + sInput + ")"},
        {dir.File("./sub/../reads.sam"), "is the input file"}};
    for (const auto& [sTarget, sFragment] : cases) {
        const std::string sMessage = ErrorOf<OutputError>([&, sTarget = sTarget] {
            AtomicFile file(sTarget, &input);
            file.Write("new\n", 4);
            file.Commit();
        });
        EXPECT_NE(sMessage.find(sFragment), std::string::npos) << sTarget << ": " << sMessage;
    }
    EXPECT_EQ(ReadFile(sInput), "r1\t0\n");
    EXPECT_EQ(FileNames(dir.Path()), vBefore);
    EXPECT_TRUE(FileNames(dir.File("sub")).empty());
}

// Nothing is under the final name before Commit; a link stays and the file it names is replaced
// with its mode kept, or made; an abandoned file leaves nothing.
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
    // A relative link to a file not there yet: the file is made where the link points.
    ASSERT_EQ(symlink("new.txt", dir.File("dangling.txt").c_str()), 0);
    { AtomicFile file(dir.File("dangling.txt")); file.Write("new", 3); file.Commit(); }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.txt")));
    EXPECT_EQ(ReadFile(dir.File("new.txt")), "new");
}
