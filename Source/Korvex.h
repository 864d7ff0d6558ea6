#ifndef KORVEX_KORVEX_H
#define KORVEX_KORVEX_H

#include <memory>
#include <string>

#include "LineSources.h"
#include "OutputWriters.h"

struct RunSettings;
struct RunSummary;

// The input of a run, MAP_FILENAME; throws InputError naming the problem when there is none or
// it cannot be opened.
std::unique_ptr<InputFile> OpenRunInput(const RunSettings& settings);

// The whole run for the settings in force: Step 1, Step 2 and the output; fills the summary.
// Throws InputError or OutputError (naming the file) when the run cannot be completed.
void RunPipeline(const RunSettings& settings, const InputFile& input, RunSummary& summary);

// How the input is decoded and what the whole run writes, for the settings in force.
InputOptions InputOptionsOf(const RunSettings& settings);
OutputSpec FinalOutputSpec(const RunSettings& settings, const InputFile& input);

#endif
