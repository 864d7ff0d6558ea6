#ifndef KORVEX_RUNREPORTS_H
#define KORVEX_RUNREPORTS_H

#include <string>
#include <vector>

#include "RunPlan.h"
#include "RunSummary.h"

class InputFile;
struct RunSettings;

// The report files of a run or merge (RunPlan.h: ReportFiles): the stats file and the MultiQC
// sections, written once the output is in place.

// Refuses, before any work, report files that could not be written in place (a directory of
// that name, a directory without write permission): throws OutputError naming the file.
void ProbeReportFiles(const ReportFiles& files, const InputFile& input);

// Removes the report files of an earlier run of this output before the output is replaced, so
// that they never describe another output; throws OutputError naming a file that stays.
void RemoveOldReports(const ReportFiles& files);

// Writes the report files of a finished run (bMerge: merge) whose summary holds complete
// figures, each atomically, and returns their names; throws OutputError naming a file that
// cannot be written.
std::vector<std::string> WriteReports(bool bMerge, const RunSettings& settings, const InputFile& input,
                                      const RunSummary& summary);

#endif
