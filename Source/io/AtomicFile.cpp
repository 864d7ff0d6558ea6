#include "AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FileDescriptor.h"
#include "InputFile.h"
#include "Leftovers.h"
#include "PathNames.h"
#include "SignalCleanup.h"

namespace {

const std::size_t BUFFER_SIZE = 1 << 20;

std::string Describe(const std::string& sTarget) { return "the output file (" + sTarget + ")"; }

// The permissions a newly created file gets: 0666 less the process's umask.
mode_t NewFileMode() {
    mode_t iMask = ::umask(0);
    ::umask(iMask);
    return 0666 & ~iMask;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& sTarget_, const InputFile* pInput)
    : sTarget(sTarget_), sFinalPath(ResolvedPath(sTarget_)), iFd(-1), iUsed(0), bCommitted(false), bDuplicated(false) {
    if (sTarget.empty()) throw OutputError("no output file name was given");
    struct stat existing;
    bool bExists = ::lstat(sFinalPath.c_str(), &existing) == 0;
    if (bExists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        throw OutputError(Describe(sTarget) + " exists and is not a regular file (it is " +
                          KindOfNonRegular(existing.st_mode) + "); choose another output file");
    if (pInput != nullptr) {
        bool bSameFile = bExists && existing.st_dev == pInput->Device() && existing.st_ino == pInput->Inode();
        if (bSameFile || sFinalPath == ResolvedPath(pInput->Path()))
            throw OutputError(Describe(sTarget) + " is the input file (" + pInput->Name() +
                              "), which korvex never overwrites; choose another output file");
    }
    sTempPath = sFinalPath + ".tmpXXXXXX";
    {
        const SignalHold hold;  // until the temporary file is registered for removal
        iFd = ::mkstemp(&sTempPath[0]);
        if (iFd < 0) Fail("cannot be created (as " + sTempPath + ")", errno);
        RemoveOnSignal(sTempPath);
    }
    MarkAsBeingWritten(iFd);
    mode_t iMode = bExists && S_ISREG(existing.st_mode) ? (existing.st_mode & 07777) : NewFileMode();
    if (::fchmod(iFd, iMode) != 0) {
        int iErrno = errno;
        ::close(iFd);
        ::unlink(sTempPath.c_str());
        ForgetOnSignal(sTempPath);
        Fail("cannot be created (as " + sTempPath + ")", iErrno);
    }
}

AtomicFile::~AtomicFile() {
    if (iFd >= 0) ::close(iFd);
    if (!bCommitted) ::unlink(sTempPath.c_str());
    ForgetOnSignal(sTempPath);
}

void AtomicFile::Fail(const std::string& sWhat, int iErrno) const {
    throw OutputError(Describe(sTarget) + " " + sWhat + ": " + std::strerror(iErrno));
}

int AtomicFile::DuplicateDescriptor() {
    int iCopy = ::dup(iFd);
    if (iCopy < 0) Fail("cannot be written", errno);
    bDuplicated = true;
    return iCopy;
}

ContentChecksum AtomicFile::Checksum() {
    if (iUsed > 0) Drain();
    if (!bDuplicated) return written;
    ContentChecksum readBack;
    if (!AddFileContent(iFd, readBack)) Fail("cannot be read back (as " + sTempPath + ")", errno);
    return readBack;
}

void AtomicFile::WriteOut(const char* pData, std::size_t iLength) {
    written.Add(pData, iLength);
    if (!WriteAll(iFd, pData, iLength)) Fail("cannot be written", errno);
}

void AtomicFile::Drain() {
    if (vBuffer.empty()) vBuffer.resize(BUFFER_SIZE);
    WriteOut(vBuffer.data(), iUsed);
    iUsed = 0;
}

void AtomicFile::Write(const char* pData, std::size_t iLength) {
    if (vBuffer.size() - iUsed < iLength) {
        Drain();
        if (iLength > vBuffer.size()) {
            WriteOut(pData, iLength);
            return;
        }
    }
    std::memcpy(vBuffer.data() + iUsed, pData, iLength);
    iUsed += iLength;
}

void AtomicFile::Commit() {
    if (iUsed > 0) Drain();
    int iResult = ::close(iFd);
    iFd = -1;
    if (iResult != 0) Fail("cannot be written", errno);
    if (::rename(sTempPath.c_str(), sFinalPath.c_str()) != 0)
        Fail("cannot be put in place (from " + sTempPath + ")", errno);
    bCommitted = true;
}
