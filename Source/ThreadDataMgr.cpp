#include "ThreadDataMgr.h"

void GetPartSlice(int n, int, int, int& start, int& end) { start = 0; end = n; }
ThreadDataMgr::ThreadDataMgr() {}
ThreadDataMgr::~ThreadDataMgr() {}
int ThreadDataMgr::PopulateJobInfoVector(int, int, int, int, int) { return 0; }
void ThreadDataMgr::MergeOutputFiles() {}
