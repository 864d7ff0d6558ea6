// Every file a run writes, injected with a fault: its directory cannot be written, or its disk is
// full (/dev/full behind a fixed name; as root, a small filled tmpfs). A final output that cannot
// be written fails the run (status 1), the message names the file and nothing half-written stays
// under its name; an intermediate file that cannot be written is reported and loses nothing. As
// root, an unwritable directory is tested by running the program as nobody, who copies it first,
// since root writes anywhere and the build tree may lie where nobody cannot reach it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "TestHelpers.h"

namespace {

namespace fs = std::filesystem;

enum class FileKind { Samplus, Bam, Log, CallRecord };
enum class Fault { UnwritableDirectory, DevFull, FullTmpfs };
const char* const FILE_NAMES[] = {"example.sam+", "example.korvex.bam", "run.log", "call_record"};

// The directories of one run, each writable by whoever runs the program: the working directory
// (also TMPDIR, where the call_record files go), the SAM file's (where the output goes) and the log's.
struct RunDirectories : TempDir {
    std::string sWork = File("work"), sData = File("data"), sLogs = File("logs"), sMount;
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
    // The configuration and the SAM file, and with bPrevious an output of an earlier run.
    void Populate(FileKind file, bool bPrevious) const {
        WriteFile(sWork + "/run.cfg", "STRANDNESS_OPTION=OFF\nTOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\nNUM_THREADS=3\n"
                  "QUIET=1\nMAP_FILENAME=" + sData + "/example.sam\nLOG_FILENAME=" + sLogs + "/run.log\n" +
                  (file == FileKind::Bam ? "OUTPUT_FORMAT=BAM\n" : ""));
        fs::copy_file(TestDataPath("example.sam"), sData + "/example.sam");
        if (bPrevious) WriteFile(sData + "/" + FILE_NAMES[static_cast<int>(file)], "previous run\n");
    }
    std::string DirectoryOf(FileKind file) const {
        return file == FileKind::Log ? sLogs : file == FileKind::CallRecord ? sWork : sData;
    }
    ProgramResult Run(bool bAsNobody) const {
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
    // Mounts a small tmpfs on sDir, puts the run's files in place and fills it to the last byte.
    std::string MountFull(const std::string& sDir, FileKind file) {
        if (::mount("tmpfs", sDir.c_str(), "tmpfs", 0, "size=2m,mode=0777") != 0) return std::strerror(errno);
        sMount = sDir;
        Populate(file, file == FileKind::Samplus || file == FileKind::Bam);
        RunShell("cat /dev/zero > '" + sDir + "/filler' 2>/dev/null");
        return "";
    }
};

std::set<std::string> Listing(const std::string& sDir) {
    std::set<std::string> vNames;
    for (const auto& entry : fs::recursive_directory_iterator(sDir)) vNames.insert(entry.path().string());
    return vNames;
}

// The SAMplus file of an undisturbed run, to which an intermediate file's fault must lose nothing.
const std::string& ReferenceSamplus() {
    static const std::string sSamplus = [] {
        RunDirectories dirs;
        dirs.Populate(FileKind::Samplus, false);
        dirs.Run(false);
        return ReadFile(dirs.sData + "/example.sam+");
    }();
    return sSamplus;
}

// Sets the fault up; returns why it cannot be injected here, empty when it was.
std::string Inject(FileKind file, Fault fault, RunDirectories& dirs, bool& bAsNobody) {
    const bool bRoot = ::geteuid() == 0;
    switch (fault) {
        case Fault::UnwritableDirectory:
            if (bRoot && RunShell("command -v setpriv >/dev/null") != 0) return "setpriv is missing";
            dirs.Populate(file, false);
            ::chmod(dirs.DirectoryOf(file).c_str(), 0555);
            bAsNobody = bRoot;
            return "";
        case Fault::DevFull:
            if (!FileExists("/dev/full")) return "there is no /dev/full";
            dirs.Populate(file, false);
            fs::create_symlink("/dev/full", dirs.sLogs + "/run.log");
            return "";
        case Fault::FullTmpfs:
            if (!bRoot) return "mounting a tmpfs needs root";
            const std::string sProblem = dirs.MountFull(dirs.DirectoryOf(file), file);
            return sProblem.empty() ? "" : "a tmpfs cannot be mounted here: " + sProblem;
    }
    return "unknown fault";
}

// What is wrong with the outcome; empty when it is as it must be.
std::string Check(FileKind file, const RunDirectories& dirs, const ProgramResult& outcome,
                  const std::set<std::string>& vBefore, const std::string& sPrevious) {
    const std::string sDir = dirs.DirectoryOf(file), sName = FILE_NAMES[static_cast<int>(file)];
    std::string sProblems;
    if (file == FileKind::CallRecord) {
        if (outcome.sStderr.find(sName) == std::string::npos && outcome.sStderr.find(sDir) == std::string::npos)
            sProblems += "no message names the call_record file or its directory; ";
        if (outcome.iExitStatus == 0 && ReadFile(dirs.sData + "/example.sam+") != ReferenceSamplus())
            sProblems += "the SAMplus file lost values; ";
        if (outcome.iExitStatus != 0 && FileExists(dirs.sData + "/example.sam+")) sProblems += "a failed run left a SAMplus file; ";
        for (const std::string& sPath : Listing(dirs.sWork))
            if (sPath.find("call_record_") != std::string::npos) sProblems += sPath + " was left behind; ";
        return sProblems;
    }
    if (outcome.iExitStatus != 1) sProblems += "exit status " + std::to_string(outcome.iExitStatus) + ", not 1; ";
    if (outcome.sStderr.find(sName) == std::string::npos) sProblems += "standard error does not name " + sName + "; ";
    if (file != FileKind::Log) {
        if (FileExists(sDir + "/" + sName) && ReadFile(sDir + "/" + sName) != sPrevious) sProblems += "the previous output was changed; ";
        if (Listing(sDir) != vBefore) sProblems += "files were left in " + sDir + "; ";
    }
    return sProblems;
}

TEST(FailureInjection, EveryOutputAndIntermediateFile) {
    ASSERT_FALSE(ReferenceSamplus().empty());
    const char* const KINDS[] = {"SAMplus file", "BAM file", "log file", "call_record files"};
    const char* const FAULTS[] = {"unwritable directory", "full disk (/dev/full)", "full disk (tmpfs)"};
    const std::pair<FileKind, Fault> injections[] = {
        {FileKind::Samplus, Fault::UnwritableDirectory}, {FileKind::Samplus, Fault::FullTmpfs},
        {FileKind::Bam, Fault::FullTmpfs},               {FileKind::Log, Fault::UnwritableDirectory},
        {FileKind::Log, Fault::DevFull},                 {FileKind::Log, Fault::FullTmpfs},
        {FileKind::CallRecord, Fault::UnwritableDirectory}, {FileKind::CallRecord, Fault::FullTmpfs}};
    for (const auto& [file, fault] : injections) {
        const std::string sName = std::string(KINDS[static_cast<int>(file)]) + ", " + FAULTS[static_cast<int>(fault)];
        SCOPED_TRACE(sName);
        RunDirectories dirs;
        bool bAsNobody = false;
        const std::string sSkipped = Inject(file, fault, dirs, bAsNobody);
        if (!sSkipped.empty()) {
            std::cout << "[ SKIPPED  ] " << sName << ": " << sSkipped << std::endl;
            continue;
        }
        const std::string sDir = dirs.DirectoryOf(file);
        const std::set<std::string> vBefore = Listing(sDir);
        const std::string sPrevious = file == FileKind::Log ? "" : ReadFile(sDir + "/" + FILE_NAMES[static_cast<int>(file)]);
        const ProgramResult outcome = dirs.Run(bAsNobody);
        ::chmod(sDir.c_str(), 0777);  // so that the directory can be removed
        EXPECT_EQ(Check(file, dirs, outcome, vBefore, sPrevious), "") << outcome.sStderr;
    }
}

}  // namespace
