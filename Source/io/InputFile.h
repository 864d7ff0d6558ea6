#ifndef KORVEX_INPUTFILE_H
#define KORVEX_INPUTFILE_H

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "Formats.h"

// The SAM file a run reads, checked once and then trusted by nobody: it must be a regular
// file (or "-": standard input, copied to a private temporary file first), its container is
// recognised by content, and its size and modification time are remembered so that a file
// changed between the two passes of a run is caught. Errors are InputError naming the file.
class InputFile {
public:
    explicit InputFile(const std::string& sMapFileName);
    ~InputFile();  // removes the copy of standard input
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& Name() const { return sName; }  // as given, for messages
    const std::string& Path() const { return sPath; }  // what to open
    InputFormat Format() const { return format; }
    bool IsStandardInput() const { return bSpooled; }
    dev_t Device() const { return iDevice; }
    ino_t Inode() const { return iInode; }
    off_t Size() const { return iSize; }

    // Throws InputError when the file's size or modification time differ from construction.
    void CheckUnchanged() const;

private:
    void SpoolStandardInput();
    void RemoveSpooledCopy();
    void RecordIdentity();

    std::string sName;
    std::string sPath;
    InputFormat format;
    bool bSpooled;  // sPath is a temporary copy of standard input, owned and removed by this object
    int iCopyLockFd;  // holds the copy's lock, which tells later runs that a live run uses it; -1: none
    dev_t iDevice;
    ino_t iInode;
    off_t iSize;
    timespec modified;
};

// What a file that is not a regular one is, for messages: "a directory", "a FIFO", ...
const char* KindOfNonRegular(mode_t iMode);

#endif
