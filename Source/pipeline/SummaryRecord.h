#ifndef KORVEX_SUMMARYRECORD_H
#define KORVEX_SUMMARYRECORD_H

#include <optional>
#include <vector>

#include "Manifest.h"
#include "RunSummary.h"

// The figures of a part's summary that its merge reports again, as entries of the part's
// manifest: what Step 1 found (the same in every part) and the multireads this part scored.
void RecordSummary(const RunSummary& summary, Manifest& manifest);

// The summary of a merge from the manifests of its parts, in part order: Step 1's figures from
// the first, the multireads scored summed over all; none when the first has no summary (it was
// written by an earlier build). Throws std::runtime_error when an entry cannot be read.
std::optional<RunSummary> MergedSummary(const std::vector<const Manifest*>& vManifests);

#endif
