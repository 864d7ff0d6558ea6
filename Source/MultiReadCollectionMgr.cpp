#include "MultiReadCollectionMgr.h"

#include <stdexcept>

MultiReadCollectionMgr::MultiReadCollectionMgr(int a, int b)
    : maxMismatchesForTopHits(a), extraMismatchesForAdditionalHits(b) {}
MultiReadCollectionMgr::~MultiReadCollectionMgr() {}
int64_t MultiReadCollectionMgr::BuildReadCollections(std::string, bool, std::string&) { return 0; }
std::vector<MultiRead*>& MultiReadCollectionMgr::GetReadMap(int) { throw std::runtime_error("stub"); }
void MultiReadCollectionMgr::ProcessCurrentTmpContainer(TmpReadContainer&) {}
void MultiReadCollectionMgr::PutReadsIntoProperContainer(int, TmpReadContainer&) {}
void MultiReadCollectionMgr::OutputThe_Map_x_Files() {}
void MultiReadCollectionMgr::Output_a_map_x_file(std::string, const std::vector<MultiRead*>&) {}
void MultiReadCollectionMgr::DeleteMap_xs() {}
