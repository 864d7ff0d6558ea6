#include "Leftovers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Logger.h"
#include "PathNames.h"

namespace fs = std::filesystem;

namespace {

const char* const OWNER_FILE = "owner";
const char* const RUN_DIRECTORY_PREFIX = "korvex-run-";
const char* const STDIN_COPY_PREFIX = "korvex-stdin-";
const std::size_t RANDOM_PART = 6;  // the XXXXXX of mkdtemp and mkstemp

std::string HostName() {
    char acName[HOST_NAME_MAX + 1] = {};
    if (::gethostname(acName, sizeof acName - 1) != 0) return std::string();
    return acName;
}

// The process that owns a run directory of this host, 0 when the directory has no readable
// record or belongs to another host (whose processes cannot be asked).
pid_t OwnerOnThisHost(const std::string& sRunDirectory) {
    std::ifstream in(sRunDirectory + "/" + OWNER_FILE);
    std::string sPidWord, sHostWord, sHost;
    long long iPid = 0;
    if (!(in >> sPidWord >> iPid >> sHostWord >> sHost) || sPidWord != "pid" || sHostWord != "host") return 0;
    if (iPid <= 0 || iPid > INT_MAX || sHost != HostName()) return 0;
    return static_cast<pid_t>(iPid);
}

bool IsRunning(pid_t iPid) {
    if (::kill(iPid, 0) != 0 && errno == ESRCH) return false;
    // A zombie has ended: only its parent has not collected it yet. Its state follows the name,
    // which ends with the last ')'.
    std::ifstream status("/proc/" + std::to_string(iPid) + "/stat");
    std::string sLine;
    std::getline(status, sLine);
    const std::size_t iEnd = sLine.rfind(')');
    if (iEnd == std::string::npos || iEnd + 2 >= sLine.size()) return true;
    return sLine[iEnd + 2] != 'Z' && sLine[iEnd + 2] != 'X';
}

// Whether no process holds the lock of a file that a run marks as being written.
bool NoLongerWritten(const std::string& sPath) {
    const int iFd = ::open(sPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (iFd < 0) return false;
    const bool bFree = ::flock(iFd, LOCK_EX | LOCK_NB) == 0;
    ::close(iFd);
    return bFree;
}

bool HasRandomPart(const std::string& sName, const std::string& sPrefix) {
    return sName.size() == sPrefix.size() + RANDOM_PART && sName.compare(0, sPrefix.size(), sPrefix) == 0;
}

void Warn(const std::string& sText) {
    GetLogger()->Write("RunDirectory: " + sText + "; it can be removed.\n", LogLevel::Warning);
}

void ReportRunDirectories(const std::string& sOwnDirectory) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(DirectoryOf(sOwnDirectory), error)) {
        const std::string sPath = entry.path().string();
        if (!HasRandomPart(entry.path().filename().string(), RUN_DIRECTORY_PREFIX) || sPath == sOwnDirectory) continue;
        const pid_t iOwner = OwnerOnThisHost(sPath);
        if (iOwner == 0 || IsRunning(iOwner)) continue;
        Warn("(" + sPath + ") was left by a run that no longer runs (process " + std::to_string(iOwner) +
             " on this host)");
    }
}

// Files "<prefix>XXXXXX" in sDirectory that no live run is writing.
void ReportUnfinishedFiles(const std::string& sDirectory, const std::string& sPrefix, const std::string& sWhat) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(sDirectory, error)) {
        if (!HasRandomPart(entry.path().filename().string(), sPrefix) || !entry.is_regular_file(error)) continue;
        if (NoLongerWritten(entry.path().string())) Warn("(" + entry.path().string() + ") is " + sWhat);
    }
}

}  // namespace

void WriteOwnerRecord(const std::string& sRunDirectory) {
    std::ofstream(sRunDirectory + "/" + OWNER_FILE) << "pid " << ::getpid() << "\nhost " << HostName() << "\n";
}

void MarkAsBeingWritten(int iFd) { ::flock(iFd, LOCK_EX); }

void ReportUnfinishedOutputs(const std::vector<std::string>& vOutputs) {
    for (const std::string& sOutput : vOutputs) {
        if (sOutput.empty()) continue;
        const std::string sFinal = ResolvedPath(sOutput);
        ReportUnfinishedFiles(DirectoryOf(sFinal), fs::path(sFinal).filename().string() + ".tmp",
                              "an output that a stopped run did not finish");
    }
}

void ReportLeftovers(const std::string& sRunDirectory, const std::vector<std::string>& vOutputs,
                     const std::string& sStandardInputCopy) {
    ReportRunDirectories(sRunDirectory);
    ReportUnfinishedOutputs(vOutputs);
    if (!sStandardInputCopy.empty())
        ReportUnfinishedFiles(DirectoryOf(sStandardInputCopy), STDIN_COPY_PREFIX,
                              "a copy of standard input that a stopped run left");
}
