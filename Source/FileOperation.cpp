#include "FileOperation.h"

#include <cstdio>
#include <fstream>
#include <iostream>

bool FileOperation::Merge(std::vector<std::string>& inputFiles, std::string outputFile) {
    std::ofstream out(outputFile.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        std::cout << "Merge" << ":  Output file (" << outputFile << ") can not be opened for writing." << std::endl;
        return false;
    }
    std::string sLine;
    for (const std::string& sName : inputFiles) {
        std::ifstream in(sName.c_str());
        if (!in.is_open()) {
            std::cout << "Merge" << ":  File (" << sName << ") can not be opened." << std::endl;
            continue;
        }
        while (std::getline(in, sLine)) out << sLine << std::endl;
    }
    out.close();
    if (out.fail()) {
        std::cout << "Merge" << ":  Output file (" << outputFile << ") could not be written completely." << std::endl;
        return false;
    }
    return true;
}

void FileOperation::DeleteInputFiles(std::vector<std::string>& files) {
    for (const std::string& sName : files) {
        if (std::remove(sName.c_str()) != 0) std::cout << "DeleteInputFiles" << ": error deleting " << sName << std::endl;
    }
}
