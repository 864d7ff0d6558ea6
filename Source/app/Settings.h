#ifndef KORVEX_SETTINGS_H
#define KORVEX_SETTINGS_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RunSettings.h"

// Where the settings of one run come from. Later sources win: the positional nparts and
// part over the defaults, the file over them, the command line over the file.
struct SettingSources {
    std::string sConfigFile;                                         // empty: no configuration file
    std::map<std::string, std::string> filePairs;                    // as the configuration file holds them
    std::vector<std::pair<std::string, std::string>> vCommandLinePairs;  // in argument order; the last of a key wins
    std::string sNparts;  // the positional arguments as given; empty when absent
    std::string sPart;
    std::vector<std::string> vFileWarnings;  // lines of the configuration file that hold no pair
    bool bMerge = false;                     // the sources of korvex merge
};

// The outcome of settling: the settings, and every message for the log. The texts carry
// no prefix; the caller puts the name of its command in front.
struct SettledSettings {
    RunSettings settings;
    std::vector<std::string> vMissing;   // "failed to find" lines of keys left at their default
    std::vector<std::string> vWarnings;  // unknown keys of the file, its lines without a pair
    std::vector<std::string> vErrors;    // refusals (also unknown keys of the command line): the run must not start
    std::string sDump;                   // the configuration file, the command line and the values in force
};

// True for an argument of the form KEY=VALUE, KEY made of letters, digits and '_'.
bool IsSettingArgument(const std::string& sArgument);

// Sorts the arguments that follow the program name (bMerge: that follow "merge") into
// sources: [-q] CONFIG [nparts [part]] [KEY=VALUE ...], or [-q] KEY=VALUE ... without a
// configuration file; for merge CONFIG NPARTS [KEY=VALUE ...], NPARTS taking the place of
// nparts. -q is QUIET=1 at its place, and an option of the settings table (-t N, --threads N,
// --threads=N) is its KEY=VALUE at its place. Returns what is wrong with them, empty when nothing.
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
struct OptionHelp {
    std::string sForms;    // "-t N, --threads N"
    std::string sMeaning;  // "sets NUM_THREADS"
};
struct HelpContents {
    std::vector<std::string> vUsageLines;
    std::string sExplanation;
    std::vector<OptionHelp> vOptions;  // the options of the settings table
    std::vector<SettingHelp> vSettings;
};
HelpContents HelpContentsOfSettings();

// The start of --help, which a bare korvex prints: the program and what it does, and the usage lines.
std::string UsageText();

// The text of --help: the usage lines and every key with its default, range and meaning.
std::string HelpText();
std::string MergeHelpText();

// Every key name, in the order of the settings table.
std::vector<std::string> SettingNames();

// The known key nearest to sName by edit distance, or empty when none is reasonably near.
std::string NearestSettingName(const std::string& sName);

#endif
