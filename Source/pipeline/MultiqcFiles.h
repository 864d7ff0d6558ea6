#ifndef KORVEX_MULTIQCFILES_H
#define KORVEX_MULTIQCFILES_H

#include <string>
#include <utility>
#include <vector>

#include "RunSummary.h"

// The MultiQC sections of a run: custom-content files ("*_mqc.json") that MultiQC shows without a
// plugin, one per section: a row of the general statistics, a bar chart of the lines by fate and
// a line plot of the top value per multiread. Sections of the same id from several samples are
// shown together.

// The sections' names, which end the files' names ("general", ...), in the order of MultiqcTexts.
std::vector<std::string> MultiqcSectionNames();

// The text of each section for the sample, in the order of MultiqcSectionNames; summary.figures
// must be complete.
std::vector<std::string> MultiqcTexts(const std::string& sSample, const RunSummary& summary);

#endif
