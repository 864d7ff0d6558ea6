#ifndef KORVEX_FILEOPERATION_H
#define KORVEX_FILEOPERATION_H

#include <string>
#include <vector>

// Concatenation and removal of the call_record files.
class FileOperation {
public:
    void Merge(std::vector<std::string>& inputFiles, std::string outputFile);
    void DeleteInputFiles(std::vector<std::string>& files);
};

#endif
