#ifndef KORVEX_SETTINGS_H
#define KORVEX_SETTINGS_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Formats.h"

// What one part of a divided run writes: the whole output, with "NA" for the alignments
// of the other parts, or only its own values, for a later merge.
enum class PartOutput { Full, Values };

// Every setting of a run. The member initialisers are the defaults (the one place they
// are written); SettleSettings applies the positional nparts and part, the configuration
// file and the command line over them, checks them and fills the fields marked "from".
struct RunSettings {
    std::string sLogFilename = "Logger.out";
    int maxMismatchesForTopHits = 2;
    int extraMismatchesForAdditionalHits = 2;
    int iMaxAlignments = 5;
    int iFlankingValue = 0;
    std::string sStrandnessOption;  // "ON" or "OFF"; required, no default
    bool strandness = false;        // from sStrandnessOption
    std::string probOutput = "BOTH";
    ProbMode probMode = ProbMode::Both;  // from probOutput
    int nparts = 1;
    int part = 1;
    int iNumThreads = 1;
    std::string sMapFileName;  // empty: no input, which the pipeline refuses
    double dPolymorphismRate = 0.1;
    int iTotalIterations = 1000;
    int iBurninIterations = 200;
    std::string sOutputFormat;                          // empty: the run picks the format by its input
    bool bOutputFormatGiven = false;                    // from sOutputFormat
    OutputFormat outputFormat = OutputFormat::Samplus;  // from sOutputFormat when given
    std::string sOutputFile;                            // empty: derived from the input's name
    std::string sReference;                             // FASTA reference for CRAM
    std::string sQuiet = "0";
    bool bQuiet = false;  // from sQuiet
    std::string sPartOutput = "FULL";
    PartOutput partOutput = PartOutput::Full;  // from sPartOutput
    // Not a setting: the command as "korvex [CONFIG] [KEY=VALUE ...]", recorded in the @PG
    // header line of tagged output (a part's nparts and part and -q are left out, so that a
    // divided run merges into the very file of a whole run).
    std::string sCommandLine;
};

// Where the settings of one run come from. Later sources win: the positional nparts and
// part over the defaults, the file over them, the command line over the file.
struct SettingSources {
    std::string sConfigFile;                                         // empty: no configuration file
    std::map<std::string, std::string> filePairs;                    // as the configuration file holds them
    std::vector<std::pair<std::string, std::string>> vCommandLinePairs;  // in argument order; the last of a key wins
    std::string sNparts;  // the positional arguments as given; empty when absent
    std::string sPart;
    std::vector<std::string> vFileWarnings;  // lines of the configuration file that hold no pair
};

// The outcome of settling: the settings, and every message for the log. The texts carry
// no prefix; the caller puts the name of its command in front.
struct SettledSettings {
    RunSettings settings;
    std::vector<std::string> vMissing;   // "failed to find" lines of keys left at their default
    std::vector<std::string> vWarnings;  // unknown keys, lines without a pair
    std::vector<std::string> vErrors;    // refusals: the run must not start
    std::string sDump;                   // the configuration file, the command line and the values in force
};

// True for an argument of the form KEY=VALUE, KEY made of letters, digits and '_'.
bool IsSettingArgument(const std::string& sArgument);

// Sorts the arguments that follow the program name (bMerge: that follow "merge") into
// sources: [-q] CONFIG [nparts [part]] [KEY=VALUE ...], or [-q] KEY=VALUE ... without a
// configuration file; for merge CONFIG NPARTS [KEY=VALUE ...], NPARTS taking the place of
// nparts. -q is QUIET=1 at its place. Returns what is wrong with them, empty when nothing.
std::string ParseArguments(const std::vector<std::string>& vArguments, bool bMerge, SettingSources& sources);

// Reads sources.sConfigFile into sources.filePairs. Returns the refusal when the file cannot
// be opened or read, empty otherwise.
std::string ReadConfigurationFile(SettingSources& sources);

// Applies the sources over the defaults and checks every value: one error line per problem.
SettledSettings SettleSettings(const SettingSources& sources);

// What --help says, in pieces that the manual page shares: the usage lines (each without
// indent or line end), the paragraph that explains them, and every key of the settings table
// in its order with its default, what it allows and its meaning, as --help words them.
struct SettingHelp {
    std::string sName;
    std::string sDefault;
    std::string sAllowed;
    std::string sMeaning;
};
struct HelpContents {
    std::vector<std::string> vUsageLines;
    std::string sExplanation;
    std::vector<SettingHelp> vSettings;
};
HelpContents HelpContentsOfSettings();

// The text of --help: the usage lines and every key with its default, range and meaning.
std::string HelpText();
std::string MergeHelpText();

// Every key name, in the order of the settings table.
std::vector<std::string> SettingNames();

// The known key nearest to sName by edit distance, or empty when none is reasonably near.
std::string NearestSettingName(const std::string& sName);

#endif
