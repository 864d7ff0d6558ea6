#ifndef KORVEX_ATOMICFILE_H
#define KORVEX_ATOMICFILE_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "ContentChecksum.h"

class InputFile;

// A failure to write an output file; the message names the file and the reason.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An output file written under a temporary name in its target's directory and renamed into
// place by Commit, only after everything was written and the file closed without error. Until
// then a file under the target's name, if any, stays as it was; the destructor removes the
// temporary file of an output never committed. A target that is a symbolic link is followed:
// the file it points to is replaced, the link stays.
//
// Bytes given to Write and Put collect in one large buffer that is written out when full and
// at Commit. Writers with their own buffering (htslib) write through a duplicate of the
// descriptor, DuplicateDescriptor(), and close it before Commit.
class AtomicFile {
public:
    // Throws OutputError naming the target when it exists and is not a regular file, when it is
    // the input file (same path, or same device and inode), or when the temporary file cannot
    // be created.
    explicit AtomicFile(const std::string& sTarget, const InputFile* pInput = nullptr);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::string& Target() const { return sTarget; }
    // A new descriptor of the temporary file, owned by the caller; throws OutputError on failure.
    int DuplicateDescriptor();

    void Write(const char* pData, std::size_t iLength);
    void Put(char c) {
        if (iUsed == vBuffer.size()) Drain();
        vBuffer[iUsed++] = c;
    }
    // The checksum of everything written: what Write and Put gave, or, once a writer of its own
    // wrote through a duplicate descriptor (closed by now), the file read back. Call before Commit.
    ContentChecksum Checksum();
    // Writes out the buffer, closes the file and renames it to the target; throws OutputError
    // naming the target on any failure, leaving the target untouched.
    void Commit();

private:
    void Drain();
    void WriteOut(const char* pData, std::size_t iLength);
    [[noreturn]] void Fail(const std::string& sWhat, int iErrno) const;

    std::string sTarget;     // as given, for messages
    std::string sFinalPath;  // the target with symbolic links followed: where the file lands
    std::string sTempPath;
    int iFd;                    // the temporary file; owned, closed by Commit or the destructor
    std::vector<char> vBuffer;  // allocated at the first Write or Put
    std::size_t iUsed;
    bool bCommitted;
    bool bDuplicated;         // written through a duplicate descriptor too
    ContentChecksum written;  // of the bytes written out through WriteOut
};

#endif
