#ifndef KORVEX_FILEOPERATION_H
#define KORVEX_FILEOPERATION_H

#include <string>
#include <vector>

// Concatenation and removal of the call_record files.
class FileOperation {
public:
    // Writes the lines of inputFiles, in order, to outputFile. Unreadable inputs are
    // reported and skipped. Returns false (after reporting it) when outputFile cannot
    // be opened or fully written.
    bool Merge(std::vector<std::string>& inputFiles, std::string outputFile);
    void DeleteInputFiles(std::vector<std::string>& files);
};

#endif
