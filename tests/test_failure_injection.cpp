// Every file a run writes, injected with a fault: its directory cannot be written, or its disk is
// full (/dev/full behind a fixed name; as root, a small filled tmpfs). A final output that
// cannot be written fails the run (status 1), the message names the file and nothing
// half-written stays under its name; an intermediate file that cannot be written is reported
// and loses nothing. As root, an unwritable directory is tested by running the program as
// nobody, since root writes anywhere.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "TestHelpers.h"

namespace {

namespace fs = std::filesystem;

const char* const SETTINGS =
    "STRANDNESS_OPTION=OFF\nTOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\nNUM_THREADS=3\nQUIET=1\n";
const char* const NOBODY = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// Every case must pass; a case that cannot be injected on this machine is skipped with its reason.

enum class FileKind { Samplus, Log, CallRecord };
enum class Fault { UnwritableDirectory, DevFull, FullTmpfs };

struct Injection {
    FileKind file;
    Fault fault;
    std::string Name() const {
        static const char* const FILES[] = {"SAMplus file", "log file", "call_record files"};
        static const char* const FAULTS[] = {"unwritable directory", "full disk (/dev/full)", "full disk (tmpfs)"};
        return std::string(FILES[static_cast<int>(file)]) + ", " + FAULTS[static_cast<int>(fault)];
    }
};

// A small tmpfs mounted on a directory for the lifetime of the object and filled to the last byte.
class FullTmpfs {
public:
    explicit FullTmpfs(const std::string& sPath) : sMountPoint(sPath) {
        bMounted = ::mount("tmpfs", sPath.c_str(), "tmpfs", 0, "size=2m,mode=0777") == 0;
        if (!bMounted) sProblem = std::strerror(errno);
    }
    ~FullTmpfs() {
        if (bMounted) ::umount2(sMountPoint.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return bMounted; }
    const std::string& Problem() const { return sProblem; }
    // Writes a filler file until the file system refuses another byte.
    void Fill() const {
        std::FILE* pFiller = std::fopen((sMountPoint + "/filler").c_str(), "wb");
        ASSERT_NE(pFiller, nullptr);
        std::setvbuf(pFiller, nullptr, _IONBF, 0);
        const std::string sBlock(4096, 'x');
        while (std::fwrite(sBlock.data(), 1, sBlock.size(), pFiller) == sBlock.size()) {}
        while (std::fputc('x', pFiller) != EOF) {}
        std::fclose(pFiller);
    }

private:
    std::string sMountPoint;
    bool bMounted = false;
    std::string sProblem;
};

// The directories of one run: the working directory (also TMPDIR), the SAM file's (where the
// SAMplus file goes) and the log's, each writable by whoever runs the program.
struct RunDirectories {
    TempDir root;
    std::string sWork = root.File("work"), sData = root.File("data"), sLogs = root.File("logs");
    std::string sIo = root.File("io");
    RunDirectories() {
        for (const std::string& sDir : {sWork, sData, sLogs, sIo}) fs::create_directory(sDir);
        for (const std::string& sDir : {sWork, sData, sLogs}) ::chmod(sDir.c_str(), 0777);
        ::chmod(root.Path().c_str(), 0755);  // mkdtemp made it 0700; nobody must get through
    }
    // The configuration and the SAM file, and with bPrevious a SAMplus file of an earlier run.
    void Populate(bool bPrevious) const {
        WriteFile(sWork + "/run.cfg", std::string(SETTINGS) + "MAP_FILENAME=" + sData +
                                          "/example.sam\nLOG_FILENAME=" + sLogs + "/run.log\n");
        fs::copy_file(TestDataPath("example.sam"), sData + "/example.sam");
        if (bPrevious) WriteFile(sData + "/example.sam+", "previous run\n");
    }
    std::string DirectoryOf(FileKind file) const {
        return file == FileKind::Samplus ? sData : file == FileKind::Log ? sLogs : sWork;
    }
};

struct Outcome {
    int iExitStatus;
    std::string sStderr;
};

// As nobody, the program runs from a copy in the run's directories, since the build tree may
// lie where nobody cannot reach it.
Outcome RunProgram(const RunDirectories& dirs, bool bAsNobody) {
    std::string sProgram = KORVEX_BINARY;
    if (bAsNobody) {
        sProgram = dirs.root.File("korvex");
        fs::copy_file(KORVEX_BINARY, sProgram);
        ::chmod(sProgram.c_str(), 0755);
    }
    const std::string sCommand = "cd '" + dirs.sWork + "' && " + (bAsNobody ? NOBODY : "") + "env TMPDIR='" +
                                 dirs.sWork + "' OMP_NUM_THREADS=2 '" + sProgram + "' run.cfg >'" + dirs.sIo +
                                 "/stdout' 2>'" + dirs.sIo + "/stderr'";
    return Outcome{RunShell(sCommand), ReadFile(dirs.sIo + "/stderr")};
}

std::set<std::string> Listing(const std::string& sDir) {
    std::set<std::string> vNames;
    for (const auto& entry : fs::recursive_directory_iterator(sDir)) vNames.insert(entry.path().string());
    return vNames;
}

// The SAMplus file of an undisturbed run, to which an intermediate file's fault must lose nothing.
const std::string& ReferenceSamplus() {
    static const std::string sSamplus = [] {
        RunDirectories dirs;
        dirs.Populate(false);
        RunProgram(dirs, false);
        return ReadFile(dirs.sData + "/example.sam+");
    }();
    return sSamplus;
}

// Sets the fault up; returns why it cannot be injected here, empty when it was.
std::string Inject(const Injection& injection, RunDirectories& dirs, std::unique_ptr<FullTmpfs>& pTmpfs,
                   bool& bAsNobody) {
    const std::string sDir = dirs.DirectoryOf(injection.file);
    const bool bRoot = ::geteuid() == 0;
    switch (injection.fault) {
        case Fault::UnwritableDirectory:
            if (bRoot && RunShell("command -v setpriv >/dev/null") != 0) return "setpriv is missing";
            dirs.Populate(false);
            ::chmod(sDir.c_str(), 0555);
            bAsNobody = bRoot;
            return std::string();
        case Fault::DevFull:
            if (!FileExists("/dev/full")) return "there is no /dev/full";
            dirs.Populate(false);
            fs::create_symlink("/dev/full", dirs.sLogs + "/run.log");
            return std::string();
        case Fault::FullTmpfs:
            if (!bRoot) return "mounting a tmpfs needs root";
            pTmpfs = std::make_unique<FullTmpfs>(sDir);
            if (!pTmpfs->Mounted()) return "a tmpfs cannot be mounted here: " + pTmpfs->Problem();
            dirs.Populate(injection.file == FileKind::Samplus);
            pTmpfs->Fill();
            return std::string();
    }
    return "unknown fault";
}

// What is wrong with the outcome; empty when it is as it must be.
std::string Check(const Injection& injection, const RunDirectories& dirs, const Outcome& outcome,
                  const std::set<std::string>& vBefore, const std::string& sPrevious) {
    const std::string sDir = dirs.DirectoryOf(injection.file);
    std::string sProblems;
    if (injection.file == FileKind::CallRecord) {
        if (outcome.sStderr.find("call_record") == std::string::npos && outcome.sStderr.find(sDir) == std::string::npos)
            sProblems += "no message names the call_record file or its directory; ";
        const std::string sSamplus = ReadFile(dirs.sData + "/example.sam+");
        if (outcome.iExitStatus == 0 && sSamplus != ReferenceSamplus()) sProblems += "the SAMplus file lost values; ";
        if (outcome.iExitStatus != 0 && FileExists(dirs.sData + "/example.sam+"))
            sProblems += "a failed run left a SAMplus file; ";
        for (const std::string& sPath : Listing(dirs.sWork))
            if (sPath.find("call_record_") != std::string::npos) sProblems += sPath + " was left behind; ";
        return sProblems;
    }
    const std::string sName = injection.file == FileKind::Samplus ? "example.sam+" : "run.log";
    if (outcome.iExitStatus != 1) sProblems += "exit status " + std::to_string(outcome.iExitStatus) + ", not 1; ";
    if (outcome.sStderr.find(sName) == std::string::npos) sProblems += "standard error does not name " + sName + "; ";
    if (injection.file == FileKind::Samplus) {
        const std::string sFinal = sDir + "/example.sam+";
        if (FileExists(sFinal) && ReadFile(sFinal) != sPrevious) sProblems += "the previous SAMplus file was changed; ";
        if (Listing(sDir) != vBefore) sProblems += "files were left in " + sDir + "; ";
    }
    return sProblems;
}

TEST(FailureInjection, EveryOutputAndIntermediateFile) {
    ASSERT_FALSE(ReferenceSamplus().empty());
    const Injection injections[] = {
        {FileKind::Samplus, Fault::UnwritableDirectory}, {FileKind::Samplus, Fault::FullTmpfs},
        {FileKind::Log, Fault::UnwritableDirectory},     {FileKind::Log, Fault::DevFull},
        {FileKind::Log, Fault::FullTmpfs},               {FileKind::CallRecord, Fault::UnwritableDirectory},
        {FileKind::CallRecord, Fault::FullTmpfs}};
    for (const Injection& injection : injections) {
        const std::string sName = injection.Name();
        SCOPED_TRACE(sName);
        RunDirectories dirs;
        std::unique_ptr<FullTmpfs> pTmpfs;
        bool bAsNobody = false;
        const std::string sSkipped = Inject(injection, dirs, pTmpfs, bAsNobody);
        if (!sSkipped.empty()) {
            std::cout << "[ SKIPPED  ] " << sName << ": " << sSkipped << std::endl;
            continue;
        }
        const std::string sDir = dirs.DirectoryOf(injection.file);
        const std::set<std::string> vBefore = Listing(sDir);
        const std::string sPrevious = ReadFile(sDir + "/example.sam+");
        const Outcome outcome = RunProgram(dirs, bAsNobody);
        const std::string sProblems = Check(injection, dirs, outcome, vBefore, sPrevious);
        ::chmod(sDir.c_str(), 0777);  // so that the directory can be removed
        EXPECT_EQ(sProblems, "") << outcome.sStderr;
    }
}

}  // namespace
