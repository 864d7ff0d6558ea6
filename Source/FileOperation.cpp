#include "FileOperation.h"

void FileOperation::Merge(std::vector<std::string>&, std::string) {}
void FileOperation::DeleteInputFiles(std::vector<std::string>&) {}
