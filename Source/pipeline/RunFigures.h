#ifndef KORVEX_RUNFIGURES_H
#define KORVEX_RUNFIGURES_H

#include <optional>
#include <string>
#include <vector>

#include "Formats.h"
#include "Manifest.h"
#include "RunSummary.h"

class MultiReadCollectionMgr;

// The figures of a run for pipelines and reports (the stats file, the MultiQC sections), and
// how the parts of a divided run hand them to their merge: in their manifests.

// The number of bins of the top value per multiread: bin i holds top values from i/10 up to
// (i+1)/10, the last also 1; so the last bin is the multireads whose top value is at least 0.9.
constexpr int TOP_VALUE_BINS = 10;

// Fills summary.figures after Step 2, once only the values this run writes are left: the
// rejections and drops of Step 1 by stable key, and for every multiread whose values the run
// writes its number of alignments and the bin of its top value (of the posterior when the run
// computes it, else of the unique-read share).
void CollectRunFigures(const MultiReadCollectionMgr& collections, ProbMode mode, RunSummary& summary);

// The multireads the figures count, and those whose top value is at least 0.9.
int64_t MultireadsWritten(const RunFigures& figures);
int64_t MultireadsResolved(const RunFigures& figures);

// A run's summary as entries of a part's manifest ("figure_..."): what Step 1 found, the same in
// every part, with the first line of each reason; the multireads the part scored and those whose
// values it writes; the bins of their top values.
void AddFiguresToManifest(const RunSummary& summary, Manifest& manifest);

// The summary a manifest records, with complete figures; none when it records none (an earlier
// build wrote it). Throws std::runtime_error naming sManifestName when an entry is missing or damaged.
std::optional<RunSummary> FiguresFromManifest(const Manifest& manifest, const std::string& sManifestName);

// The summary of a whole divided run from those of its parts, in part order: Step 1's figures,
// which every part must report alike, and the sums of the rest. Throws std::runtime_error naming
// the parts' manifests when they disagree.
RunSummary AddUpParts(const std::vector<RunSummary>& vParts, const std::vector<std::string>& vManifestNames);

#endif
