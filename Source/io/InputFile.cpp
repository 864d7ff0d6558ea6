#include "InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <htslib/hfile.h>
#include <htslib/hts.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FileDescriptor.h"
#include "Leftovers.h"
#include "LineSource.h"
#include "SignalCleanup.h"

namespace {

const std::size_t COPY_BLOCK = 1 << 20;

// Formats that are text, which the SAM text reader judges line by line.
bool IsTextFormat(enum htsExactFormat iFormat) {
    switch (iFormat) {
        case sam: case text_format: case empty_format: case vcf: case bed: case htsget:
        case fasta_format: case fastq_format: case fai_format: case fqi_format:
            return true;
        default:
            return false;
    }
}

// The container of an opened file by its first bytes; throws when it is none korvex reads, or
// reads that were never aligned.
InputFormat Recognise(const std::string& sName, const htsFormat& detected) {
    if (detected.format == fastq_format || detected.format == fasta_format)
        throw InputError(DescribeSamFile(sName) + " looks like " +
                         (detected.format == fastq_format ? "FASTQ reads" : "FASTA sequences") +
                         ", not alignments: align the reads first and give the aligner's SAM, BAM or CRAM output");
    if (detected.format == bam) return InputFormat::Bam;
    if (detected.format == cram) return InputFormat::Cram;
    if (IsTextFormat(detected.format)) {
        if (detected.compression == no_compression) return InputFormat::Sam;
        if (detected.compression == gzip || detected.compression == bgzf) return InputFormat::CompressedSam;
    }
    char* pDescription = hts_format_description(&detected);
    std::string sFound = pDescription ? pDescription : "unknown data";
    std::free(pDescription);
    throw InputError(DescribeSamFile(sName) + " is not SAM, BAM or CRAM (found: " + sFound +
                     "); give SAM text (plain, gzip or bgzip), BAM or CRAM");
}

InputFormat DetectFormat(const std::string& sName, const std::string& sPath) {
    hFILE* pFile = hopen(sPath.c_str(), "r");
    if (pFile == nullptr) throw InputError(DescribeSamFile(sName) + " cannot be opened: " + std::strerror(errno));
    htsFormat detected;
    int iDetected = hts_detect_format(pFile, &detected);
    int iErrno = errno;
    if (hclose(pFile) != 0 || iDetected < 0)
        throw InputError(DescribeSamFile(sName) + " cannot be read: " + std::strerror(iErrno));
    return Recognise(sName, detected);
}

void CopyStandardInputTo(int iFd) {
    std::vector<char> vBlock(COPY_BLOCK);
    for (;;) {
        ssize_t iRead = ::read(STDIN_FILENO, vBlock.data(), vBlock.size());
        if (iRead < 0 && errno == EINTR) continue;
        if (iRead < 0) throw std::runtime_error(std::strerror(errno));
        if (iRead == 0) return;
        if (!WriteAll(iFd, vBlock.data(), static_cast<std::size_t>(iRead)))
            throw std::runtime_error(std::strerror(errno));
    }
}

}  // namespace

InputFile::InputFile(const std::string& sMapFileName)
    : sName(sMapFileName), sPath(sMapFileName), format(InputFormat::Sam), bSpooled(false), iCopyLockFd(-1),
      iDevice(0), iInode(0), iSize(0), modified{} {
    if (sName.empty()) throw InputError("no SAM file was given (MAP_FILENAME is empty)");
    if (sName == "-") SpoolStandardInput();
    try {
        RecordIdentity();
        format = DetectFormat(sName, sPath);
    } catch (...) {
        if (bSpooled) RemoveSpooledCopy();
        throw;
    }
}

InputFile::~InputFile() {
    if (bSpooled) RemoveSpooledCopy();
}

void InputFile::RemoveSpooledCopy() {
    ::unlink(sPath.c_str());
    ForgetOnSignal(sPath);
    if (iCopyLockFd >= 0) ::close(iCopyLockFd);
    iCopyLockFd = -1;
}

// Copies standard input to a private file under TMPDIR (or /tmp), so that both passes of the
// run read the same bytes.
void InputFile::SpoolStandardInput() {
    // With standard input closed, the temporary file would get its descriptor and be read as input.
    struct stat status;
    if (::fstat(STDIN_FILENO, &status) != 0)
        throw InputError(std::string("standard input (-) cannot be read: ") + std::strerror(errno));
    const char* pTmpDir = std::getenv("TMPDIR");
    std::string sTemplate = std::string(pTmpDir && *pTmpDir ? pTmpDir : "/tmp") + "/korvex-stdin-XXXXXX";
    int iFd = -1;
    int iErrno = 0;
    {
        const SignalHold hold;  // until the copy is registered for removal
        iFd = ::mkstemp(&sTemplate[0]);
        iErrno = errno;
        if (iFd >= 0) RemoveOnSignal(sTemplate);
    }
    if (iFd < 0)
        throw InputError("standard input (-) cannot be copied: the temporary file (" + sTemplate +
                         ") cannot be created: " + std::strerror(iErrno));
    sPath = sTemplate;
    bSpooled = true;
    MarkAsBeingWritten(iFd);
    iCopyLockFd = ::dup(iFd);  // the lock stays while this duplicate is open
    try {
        CopyStandardInputTo(iFd);
    } catch (const std::exception& error) {
        ::close(iFd);
        RemoveSpooledCopy();
        throw InputError("standard input (-) cannot be copied to the temporary file (" + sPath + "): " + error.what());
    }
    if (::close(iFd) != 0) {
        std::string sReason = std::strerror(errno);
        RemoveSpooledCopy();
        throw InputError("standard input (-) cannot be copied to the temporary file (" + sPath + "): " + sReason);
    }
}

void InputFile::RecordIdentity() {
    struct stat status;
    if (::stat(sPath.c_str(), &status) != 0)
        throw InputError(DescribeSamFile(sName) + " cannot be opened: " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw InputError(DescribeSamFile(sName) + " is not a regular file (it is " + KindOfNonRegular(status.st_mode) +
                         "); give a file, or - for standard input");
    iDevice = status.st_dev;
    iInode = status.st_ino;
    iSize = status.st_size;
    modified = status.st_mtim;
}

void InputFile::CheckUnchanged() const {
    struct stat status;
    if (::stat(sPath.c_str(), &status) != 0)
        throw InputError(DescribeSamFile(sName) + " cannot be read again: " + std::strerror(errno));
    bool bSame = status.st_dev == iDevice && status.st_ino == iInode && status.st_size == iSize &&
                 status.st_mtim.tv_sec == modified.tv_sec && status.st_mtim.tv_nsec == modified.tv_nsec;
    if (!bSame)
        throw InputError(DescribeSamFile(sName) +
                         " changed while korvex was running (its size or modification time differs from when it "
                         "was first read); run again on a file that stays put");
}

const char* KindOfNonRegular(mode_t iMode) {
    if (S_ISDIR(iMode)) return "a directory";
    if (S_ISFIFO(iMode)) return "a FIFO";
    if (S_ISCHR(iMode)) return "a character device";
    if (S_ISBLK(iMode)) return "a block device";
    if (S_ISSOCK(iMode)) return "a socket";
    return "not a plain file";
}
