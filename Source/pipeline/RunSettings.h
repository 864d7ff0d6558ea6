#ifndef KORVEX_RUNSETTINGS_H
#define KORVEX_RUNSETTINGS_H

#include <optional>
#include <string>

#include "Formats.h"

// What one part of a divided run writes: the whole output, with "NA" for the alignments
// of the other parts, or only its own values, for a later merge.
enum class PartOutput { Full, Values };

// Every setting of a run, as the settings table (SettingsTable.h) describes each key. The member
// initialisers are the defaults (the one place they are written); SettleSettings (Settings.h)
// applies the positional nparts and part, the configuration file and the command line over them.
struct RunSettings {
    std::string sLogFilename = "Logger.out";
    int maxMismatchesForTopHits = 2;
    int extraMismatchesForAdditionalHits = 2;
    int iMaxAlignments = 5;
    int iMaxFragmentLength = 1000;
    int iFlankingValue = 0;
    bool strandness = false;  // STRANDNESS_OPTION=ON: unique reads count only on the alignment's strand
    ProbMode probMode = ProbMode::Both;
    int nparts = 1;
    int part = 1;
    int iNumThreads = 1;
    std::string sMapFileName;  // empty: no input, which the pipeline refuses
    double dPolymorphismRate = 0.1;
    int iTotalIterations = 1000;
    int iBurninIterations = 200;
    std::optional<OutputFormat> outputFormat;  // none: the run picks the format by its input
    std::string sOutputFile;                   // empty: derived from the input's name
    std::string sReference;                    // FASTA reference for CRAM
    bool bQuiet = false;
    PartOutput partOutput = PartOutput::Full;
    bool bMultiqc = true;  // MultiQC sections beside the output of a whole run or a merge
    // Not a setting: the command as "korvex [CONFIG] [KEY=VALUE ...]", recorded in the @PG
    // header line of tagged output (a part's nparts and part and -q are left out, so that a
    // divided run merges into the very file of a whole run).
    std::string sCommandLine;
};

#endif
