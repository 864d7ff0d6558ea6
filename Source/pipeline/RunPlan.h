#ifndef KORVEX_RUNPLAN_H
#define KORVEX_RUNPLAN_H

#include <string>
#include <vector>

#include "LineSources.h"
#include "OutputTarget.h"
#include "RunFiles.h"

class InputFile;
struct RunSettings;

// What a run or a merge reads and writes, for the settings in force: how the input is decoded,
// the output's format and name, a part's own files, the log, and the list of them all.

// How the input is decoded.
InputOptions InputOptionsOf(const RunSettings& settings);

// What the whole run writes: OUTPUT_FORMAT, else the format the input calls for; OUTPUT_FILE,
// else the name beside the input.
OutputTarget FinalOutputTarget(const RunSettings& settings, const InputFile& input);

// The files one run writes. A run that is not divided writes its output under the final name.
// Part k of n writes its output (or, with PART_OUTPUT=VALUES, only its values) under a name
// carrying ".partKofN", and beside it a manifest: that name with ".manifest" appended.
struct PartFiles {
    std::string sOutput;    // the output, or the values file
    std::string sManifest;  // empty when the run is not divided
    bool bValuesOnly = false;
};

PartFiles PartFilesOf(const std::string& sFinalOutput, int iPart, int iNumParts, bool bValuesOnly);
PartFiles PartFilesOf(const std::string& sFinalOutput, const RunSettings& settings);

// The name of a part's own file: ".partKofN" before the extensions of the file name, so that
// the parts of a divided run never share a file ("reads.sam+" gives "reads.part2of3.sam+",
// "reads.korvex.bam" gives "reads.part2of3.korvex.bam", "Logger" gives "Logger.part2of3").
// A run that is not divided keeps the name.
std::string PartFileName(const std::string& sPath, int iPart, int iNumParts);

// The files a run or merge writes beside its output for pipelines and reports, once the output is
// in place: the stats file of the file it wrote ("reads.sam+.stats.json"; a part's
// "reads.part2of3.sam+.stats.json") and, for a run that is not divided and for a merge, unless
// MULTIQC=0, the MultiQC sections of the sample: the final output's name without its directory and
// extensions ("reads"), as "reads.korvex_general_mqc.json" and so on beside the output.
struct ReportFiles {
    std::string sStats;
    std::string sSample;
    std::vector<std::string> vMultiqc;  // in the order of MultiqcSectionNames()
};
ReportFiles ReportFilesOf(bool bMerge, const RunSettings& settings, const std::string& sFinalOutput);

// The log of a run or a merge. The log of a part of a divided run carries the part in its name,
// and the log of a merge ".merge", so that no two runs of one data set write the same log.
std::string LogFileName(bool bMerge, const RunSettings& settings);

// The files of a run, or of a merge (bMerge), with these settings: what it reads (the
// configuration file, the SAM file or the copy of standard input, the reference; a merge also
// the files and manifests of the parts), then what it writes (the output, or a part's output or
// values file and its manifest, the report files; then the log). Without pInput (settings refused, or an input that
// cannot be opened) the command writes nothing but its log, and only the log is listed as written.
RunFiles FilesOfCommand(bool bMerge, const std::string& sConfigFile, const RunSettings& settings,
                        const InputFile* pInput);

#endif
