#ifndef KORVEX_MERGECOMMAND_H
#define KORVEX_MERGECOMMAND_H

#include <memory>
#include <optional>

#include "RunSummary.h"

class InputFile;
struct RunSettings;

// The input of a merge, after the checks that need no file; throws InputError naming the problem.
std::unique_ptr<InputFile> OpenMergeInput(const RunSettings& settings);

// korvex merge: combines the output of the NUM_PARTS parts of a divided run of this input into
// the output of the whole run, and gives the whole run's summary from the parts' manifests (none
// from the manifests of an earlier build). Returns the exit status.
int RunMergeCommand(const RunSettings& settings, const InputFile& input, std::optional<RunSummary>& summary);

#endif
