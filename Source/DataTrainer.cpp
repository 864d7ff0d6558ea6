#include "DataTrainer.h"

void DataTrainer::trainData(std::vector<MultiRead*>&, std::vector<MultiRead*>&, std::map<char, double>&,
                            std::vector<int>&, std::string, bool) {}
