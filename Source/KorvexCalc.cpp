#include "KorvexCalc.h"

#include "ThreadDataMgr.h"

void KorvexCalc::Run(std::vector<MultiRead*>&, std::vector<MultiRead*>&, std::map<char, double>&,
                     std::vector<int>&, JobInfo&, std::string, bool) {}
