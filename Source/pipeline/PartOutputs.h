#ifndef KORVEX_PARTOUTPUTS_H
#define KORVEX_PARTOUTPUTS_H

#include <cstdint>
#include <string>

#include "ContentChecksum.h"
#include "Manifest.h"
#include "RunPlan.h"
#include "RunSummary.h"

class InputFile;
class MultiReadCollectionMgr;
struct InputOptions;
struct RunSettings;

// Whether the lines of unique reads carry their value 1 in this part's output: in part 1 of a
// divided run (the one source of theirs in a merge), and in an undivided run.
bool UniqueValuesWrittenByThisPart(const RunSettings& settings);

// Leaves values on multireads only where this part is their one source in a merge: each
// multiread in the part whose slice holds it, and the multireads of a container that has no
// more of them than there are parts (every part computes those) in part 1.
void KeepOnlyValuesOwnedByThisPart(MultiReadCollectionMgr& collections, const RunSettings& settings);

// The entries that parts of one run and their merge must agree on: the input's identity and
// every setting that changes the numbers or the files.
Manifest SharedManifestEntries(const RunSettings& settings, const InputFile& input, const InputOptions& options);

// Removes the manifest of an earlier run of this part, so that an output being replaced is
// never taken for the one that manifest describes.
void RemoveOldManifest(const PartFiles& files);

// What a part read, kept and computed, and the checksums of what it read and wrote in full: the
// input's content as Step 1 read it (see LineSource::Checksum) and the part's output file.
struct PartWork {
    int64_t iInputLines = 0;
    int64_t iKeptAlignments = 0;
    int64_t iValueLines = 0;  // the kept alignments this part gives a value
    int64_t iMultireadsComputed = 0;
    ContentChecksum input;
    ContentChecksum output;
    RunSummary summary;  // the part's summary and figures, which the merge adds up (RunFigures.h)
};

// Writes the manifest of a part, atomically, after its output is in place; it records the
// output's size and both checksums, which the merge checks.
void WritePartManifest(const PartFiles& files, const RunSettings& settings, const InputFile& input,
                       const PartWork& work);

#endif
