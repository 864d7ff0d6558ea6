#ifndef KORVEX_MAPFILEREADER_H
#define KORVEX_MAPFILEREADER_H

#include <cstddef>
#include <fstream>
#include <ios>
#include <string>
#include <vector>

#include "Read.h"

// Reads a SAM file line by line and turns each usable alignment line into a Read.
class MapFileReader {
public:
    MapFileReader();

    bool SetFileName(const std::string& name);
    bool OpenFile();
    void CloseFile();
    int TestStreamFlags(std::basic_ios<char>& s);
    int TestStreamFlags();
    void TrimSpaces(std::string& s);
    bool GetSequenceLenFromSAMFile(std::string& errorMessage);
    bool GetSequenceLenFromFile(std::string& errorMessage);
    bool Read_a_Line(Read& read, int& rejectedCount);
    int ParseMismatchString(Read& read, const char& strand, const std::string& mdField);

    // Why the file could not be opened, or why reading stopped before its end;
    // empty while the file opened and every read reached either a line or the end.
    const std::string& StreamError() const { return sStreamError; }

private:
    // One non-empty tab-separated field of sLine; its text is NUL-terminated in place.
    struct FieldSpan {
        std::size_t iStart;
        std::size_t iLength;
    };

    bool ReadNextLine();
    int SplitLineInPlace();
    const char* Field(int i) const { return sLine.data() + vFields[i].iStart; }
    std::size_t FieldLength(int i) const { return vFields[i].iLength; }
    bool IsAcceptedAlignment(char& strand) const;
    void StoreRead(Read& read, char strand) const;
    const std::string& FindMismatchField();

    std::ifstream inputStream;
    std::string fileName;
    int currentLineNumber;
    char delimiter;

    std::string sLine;             // the current line; reused for every line
    std::vector<FieldSpan> vFields;  // fields of sLine; reused for every line
    std::string sMdField;          // the MD tag of the current line; reused for every line
    std::string sStreamError;
};

// The read length of the run (1 to 999) once the reader has fixed it; 0 before.
int GetSequenceLength();

#endif
