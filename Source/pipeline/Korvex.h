#ifndef KORVEX_KORVEX_H
#define KORVEX_KORVEX_H

#include <memory>

class InputFile;
class StepProgress;
struct RunSettings;
struct RunSummary;

// The input of a run, MAP_FILENAME; throws InputError naming the problem when there is none or
// it cannot be opened.
std::unique_ptr<InputFile> OpenRunInput(const RunSettings& settings);

// The whole run for the settings in force: Step 1, Step 2 and the output; fills the summary and
// tells progress how far Step 2 has come. Throws InputError or OutputError (naming the file)
// when the run cannot be completed.
void RunPipeline(const RunSettings& settings, const InputFile& input, RunSummary& summary, StepProgress& progress);

#endif
