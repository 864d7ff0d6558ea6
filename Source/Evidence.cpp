#include "KorvexCalc.h"

int KorvexCalc::countMatchingUniqueReads_at_flanking(const std::vector<MultiRead*>&, const Read&,
                                                     std::vector<int>&, bool, int&, int&) { return 0; }
int KorvexCalc::FindMatchingUniqueReads_at_k_2(int, const std::vector<MultiRead*>&, const Read&,
                                               std::vector<int>&, int, int, std::vector<MisMatchData>& out,
                                               bool) { return (int)out.size(); }
int KorvexCalc::FindMisMatches_at_k(int, const Read&, Read&, std::vector<MisMatchData>& out) {
    return (int)out.size();
}
