#ifndef KORVEX_MAPFILEREADER_H
#define KORVEX_MAPFILEREADER_H

#include <fstream>
#include <ios>
#include <string>

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

private:
    std::ifstream inputStream;
    std::string fileName;
    int currentLineNumber;
    char delimiter;
};

// The read length of the run (1 to 999) once the reader has fixed it; 0 before.
int GetSequenceLength();

#endif
