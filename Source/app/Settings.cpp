// What is built from the table of settings for the user: parsing and checking the configuration
// file and the command line, the configuration dump, --help (in pieces that the manual page
// shares) and the suggestion for a misspelt key.
#include "Settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

#include "ConfigFileReader.h"
#include "SettingsTable.h"
#include "Trim.h"
#include "Version.h"

namespace {

const char* const USAGE_LINES[] = {
    "korvex [-q] [-t N] [-o PATH] CONFIG [nparts [part]] [KEY=VALUE ...]",
    "korvex [-q] [-t N] [-o PATH] KEY=VALUE ...",
    "korvex merge CONFIG NPARTS [KEY=VALUE ...]",
    "korvex --help | -h",
    "korvex --version",
};

const char* const USAGE_EXPLANATION =
    "CONFIG is a file of KEY=VALUE lines; '#' starts a comment. A KEY=VALUE argument wins over\n"
    "the file, the file over the defaults. nparts and part run one part of a divided run\n"
    "(NUM_PARTS and PART_TO_RUN); a file that would set another NUM_PARTS or PART_TO_RUN is\n"
    "then refused. When the first argument is KEY=VALUE, all settings come from the command line.\n"
    "A path is the first word of its value in CONFIG; on the command line a path may hold no\n"
    "blank. An unknown key is refused on the command line and a warning in CONFIG. -q is short\n"
    "for QUIET=1; the options below set their key like a KEY=VALUE argument at their place.\n"
    "Beside the output (OUTPUT_FILE) a run writes its figures as JSON to OUTPUT.stats.json and,\n"
    "unless MULTIQC=0 or divided, MultiQC sections to SAMPLE.korvex_*_mqc.json (SAMPLE: the\n"
    "output's name without directory and extensions).\n"
    "merge combines the output of the NPARTS parts of a divided run.\n";

const char* const MERGE_USAGE = "korvex merge CONFIG NPARTS [KEY=VALUE ...]";

std::string FirstWord(const std::string& sText) {
    std::istringstream in(sText);
    std::string sWord;
    in >> sWord;
    return sWord;
}

std::string QuotedIfEmpty(const std::string& sText) { return sText.empty() ? "\"\"" : sText; }

// "A, B or C": the words of a Choice row.
std::string ChoiceList(const SettingInfo& info) {
    std::string sList;
    for (std::size_t i = 0; i < info.vWords.size(); ++i)
        sList += (i == 0 ? "" : i + 1 == info.vWords.size() ? " or " : ", ") + std::string(info.vWords[i]);
    return sList;
}

// The whole text is one whole number (an optional sign and digits); out of the range of
// long long counts as not whole.
bool ParseWholeNumber(const std::string& sText, long long& iValue) {
    if (sText.empty() || std::isspace(static_cast<unsigned char>(sText[0]))) return false;
    char* pEnd = nullptr;
    errno = 0;
    iValue = std::strtoll(sText.c_str(), &pEnd, 10);
    return errno == 0 && *pEnd == '\0';
}

bool ParseNumber(const std::string& sText, double& dValue) {
    if (sText.empty() || std::isspace(static_cast<unsigned char>(sText[0]))) return false;
    char* pEnd = nullptr;
    dValue = std::strtod(sText.c_str(), &pEnd);
    return *pEnd == '\0';
}

std::string AllowedText(const SettingInfo& info) {
    switch (info.kind) {
        case SettingKind::Integer:
            if (info.pMaxKey != nullptr)
                return std::to_string(info.iMin) + " to " + info.pMaxKey +
                       (info.iMax == INT_MAX ? "" : ", at most " + std::to_string(info.iMax));
            if (info.iMin == INT_MIN && info.iMax == INT_MAX) return "any whole number";
            if (info.iMax == INT_MAX) return std::to_string(info.iMin) + " or more";
            return std::to_string(info.iMin) + " to " + std::to_string(info.iMax);
        case SettingKind::Rate:
            return "between 0 and 1 (exclusive)";
        case SettingKind::Path:
            return "a path";
        case SettingKind::Choice:
            return ChoiceList(info);
    }
    return std::string();
}

// The value of the key's field as text; an empty text as what leaving it empty means.
std::string FieldText(const SettingInfo& info, const RunSettings& settings) {
    const std::string sText = ValueText(info, settings);
    if (!sText.empty() || info.pDefaultShown == nullptr) return sText;
    return "(" + std::string(info.pDefaultShown) + ")";
}

std::string DefaultText(const SettingInfo& info) {
    if (info.pDefaultShown != nullptr) return info.pDefaultShown;
    return FieldText(info, RunSettings());
}

// Where the value in force of a key came from.
enum class ValueSource { Default, Positional, File, CommandLine };

struct FoundValue {
    const std::string* pText = nullptr;  // null: no source names the key
    ValueSource source = ValueSource::Default;
};

FoundValue FindValue(const SettingInfo& info, const SettingSources& sources) {
    FoundValue found;
    for (auto it = sources.vCommandLinePairs.rbegin(); it != sources.vCommandLinePairs.rend(); ++it)
        if (it->first == info.pName) return {&it->second, ValueSource::CommandLine};
    auto inFile = sources.filePairs.find(info.pName);
    if (inFile != sources.filePairs.end()) return {&inFile->second, ValueSource::File};
    if (info.pPositional == nullptr) return found;
    const std::string& sPositional = std::strcmp(info.pPositional, "nparts") == 0 ? sources.sNparts : sources.sPart;
    if (!sPositional.empty()) return {&sPositional, ValueSource::Positional};
    return found;
}

const std::string* CommandLinePair(const SettingSources& sources, const char* pKey) {
    for (auto it = sources.vCommandLinePairs.rbegin(); it != sources.vCommandLinePairs.rend(); ++it)
        if (it->first == pKey) return &it->second;
    return nullptr;
}

// A part of a divided run named on the command line (nparts, or NUM_PARTS=) whose configuration
// file would decide NUM_PARTS or PART_TO_RUN otherwise (the file wins over nparts and part) would
// not run the part it was meant to: with a file copied from a whole run, every part would compute
// the same share and write the same file. Refused with the fix. A KEY=VALUE setting wins over the
// file, so a file's value that one overrides is harmless.
void RefuseADivisionTheFileContradicts(const SettingSources& sources, std::vector<std::string>& vErrors) {
    if (sources.bMerge || (sources.sNparts.empty() && CommandLinePair(sources, "NUM_PARTS") == nullptr)) return;
    std::string sContradicting;
    for (const char* pKey : {"NUM_PARTS", "PART_TO_RUN"}) {
        auto inFile = sources.filePairs.find(pKey);
        if (inFile == sources.filePairs.end() || CommandLinePair(sources, pKey) != nullptr) continue;
        const std::string sInFile(Trim(inFile->second, WHITE_SPACE));
        const std::string& sArgument = std::strcmp(pKey, "NUM_PARTS") == 0 ? sources.sNparts : sources.sPart;
        if (!sArgument.empty() && std::string(Trim(sArgument, WHITE_SPACE)) == sInFile) continue;
        sContradicting += (sContradicting.empty() ? "" : " and ") + std::string(pKey) + " = " + sInFile;
    }
    if (sContradicting.empty()) return;
    vErrors.push_back("the configuration file (" + sources.sConfigFile + ") sets " + sContradicting +
                      ", but the command line runs a part of a divided run: remove NUM_PARTS and PART_TO_RUN "
                      "from the configuration file and give them on the command line (korvex " +
                      sources.sConfigFile + " NPARTS PART)");
}

// "-" reads standard input as MAP_FILENAME, so as OUTPUT_FILE or LOG_FILENAME it reads as
// standard output, which the run writes neither to (it carries the summary): it would be a file
// named "-".
void RefuseStandardOutputAsOutput(const RunSettings& settings, std::vector<std::string>& vErrors) {
    const std::pair<const char*, const std::string*> files[] = {{"OUTPUT_FILE", &settings.sOutputFile},
                                                              {"LOG_FILENAME", &settings.sLogFilename}};
    for (const auto& [pKey, pValue] : files)
        if (*pValue == "-")
            vErrors.push_back(std::string(pKey) + " = - would write a file named -, not standard output, which " +
                              "carries the summary: name a file (./- if that name is meant)");
}

std::string SourceText(const SettingInfo& info, ValueSource source) {
    switch (source) {
        case ValueSource::Default: return "default";
        case ValueSource::Positional: return std::string(info.pPositional) + " argument";
        case ValueSource::File: return "file";
        case ValueSource::CommandLine: return "command line";
    }
    return std::string();
}

// "KEY = value", with the positional argument named when it gave the value.
std::string Subject(const SettingInfo& info, const std::string& sValue, ValueSource source) {
    std::string sSubject = std::string(info.pName) + " = " + (sValue.empty() ? "\"\"" : sValue);
    if (source == ValueSource::Positional) sSubject += " (the " + std::string(info.pPositional) + " argument)";
    if (source == ValueSource::Default) sSubject += " (the default)";
    return sSubject;
}

// Checks and stores an integer; bBoundRefused: the key that bounds it was refused, so only its
// own upper bound is known.
std::string ApplyInteger(const SettingInfo& info, const std::string& sValue, const std::string& sSubject,
                         bool bBoundRefused, RunSettings& settings) {
    long long iValue = 0;
    if (!ParseWholeNumber(sValue, iValue)) return sSubject + " is not a whole number";
    const bool bBoundByKey = info.pMaxFrom != nullptr && !bBoundRefused && settings.*info.pMaxFrom <= info.iMax;
    const long long iMax = bBoundByKey ? settings.*info.pMaxFrom : info.iMax;
    if (iValue < info.iMin || iValue > iMax) {
        if (info.pMaxFrom == nullptr && info.iMax == INT_MAX && info.iMin != INT_MIN)
            return sSubject + (iValue < info.iMin ? " must be at least " + std::to_string(info.iMin)
                                                  : " must be at most " + std::to_string(INT_MAX));
        std::string sRange = std::to_string(info.iMin) + " to " + std::to_string(iMax);
        if (bBoundByKey) sRange += " (" + std::string(info.pMaxKey) + ")";
        return sSubject + " is outside " + sRange;
    }
    settings.*info.pInteger = static_cast<int>(iValue);
    return std::string();
}

// Checks the value and stores it; returns the refusal, empty when the value is accepted.
std::string ApplyValue(const SettingInfo& info, const std::string& sValue, ValueSource source, bool bBoundRefused,
                       RunSettings& settings) {
    const std::string sSubject = Subject(info, sValue, source);
    switch (info.kind) {
        case SettingKind::Integer:
            return ApplyInteger(info, sValue, sSubject, bBoundRefused, settings);
        case SettingKind::Rate: {
            double dValue = 0.0;
            if (!ParseNumber(sValue, dValue)) return sSubject + " is not a number";
            if (!(dValue > 0.0 && dValue < 1.0)) return sSubject + " is outside 0 to 1 (exclusive)";
            settings.*info.pRate = dValue;
            return std::string();
        }
        case SettingKind::Path:
            if (!sValue.empty()) settings.*info.pPath = FirstWord(sValue);
            return std::string();
        case SettingKind::Choice: {
            const int iWord = WordIndex(info, sValue);
            if (iWord < 0) return sSubject + " must be " + ChoiceList(info);
            info.chooseWord(settings, iWord);
            return std::string();
        }
    }
    return std::string();
}

// A path is the first word of its value. On the command line, where the shell keeps the blanks
// that were quoted, a path of more words is refused: the run would read or write another file
// than the one named (-o "my run.sam" writing to "my"). In the file, which has always been read
// by that rule, the words dropped are a warning.
void CheckOneWordPath(const SettingInfo& info, const std::string& sValue, ValueSource source, SettledSettings& settled) {
    const std::string sPath = FirstWord(sValue);
    if (sPath == sValue) return;
    const std::string sSubject = Subject(info, sValue, source);
    if (source == ValueSource::CommandLine)
        settled.vErrors.push_back(sSubject + " holds a blank, which no path may hold");
    else
        settled.vWarnings.push_back(sSubject + ": a path is the first word of its value, so " + sPath +
                                    " is used and the rest is ignored");
}

bool IsKnownKey(const std::string& sName) { return FindSetting(sName) != nullptr; }

std::string UnknownKeyWarning(const std::string& sName) {
    std::string sWarning = (sName.empty() ? std::string("\"\"") : sName) + ": unknown key";
    std::string sNearest = NearestSettingName(sName);
    if (!sNearest.empty()) sWarning += "; did you mean " + sNearest + "?";
    return sWarning;
}

// An unknown key of the configuration file is a warning; on the command line, where it is
// typed for this run, it is refused: the run would otherwise go on without the setting meant.
void CheckUnknownKeys(const SettingSources& sources, SettledSettings& settled) {
    settled.vWarnings.insert(settled.vWarnings.end(), sources.vFileWarnings.begin(), sources.vFileWarnings.end());
    for (const auto& pair : sources.filePairs)
        if (!IsKnownKey(pair.first))
            settled.vWarnings.push_back(sources.sConfigFile + ": " + UnknownKeyWarning(pair.first));
    for (const auto& pair : sources.vCommandLinePairs)
        if (!IsKnownKey(pair.first))
            settled.vErrors.push_back(UnknownKeyWarning(pair.first) + " (on the command line; korvex --help lists the keys)");
}

// A key given again on the command line with another value (-t 4 beside NUM_THREADS=8): the
// last wins, as for any option, and the warning says which value that is.
void WarnOfRepeatedCommandLineKeys(const SettingSources& sources, SettledSettings& settled) {
    std::map<std::string, std::string> valueOfKey;
    for (const auto& [sKey, sValue] : sources.vCommandLinePairs) {
        const auto [itValue, bFirst] = valueOfKey.try_emplace(sKey, sValue);
        if (!bFirst && itValue->second != sValue)
            settled.vWarnings.push_back(sKey + " is given again on the command line (" +
                                        QuotedIfEmpty(itValue->second) + ", then " + QuotedIfEmpty(sValue) +
                                        "); the last value is used");
        itValue->second = sValue;
    }
}

std::string PairLines(const std::string& sKey, const std::string& sValue) {
    return "  " + sKey + " = " + sValue + "\n";
}

// The file's pairs as the file reader lists them, then the command line's, then every key
// with its value in force and where that came from.
std::string Dump(const SettingSources& sources, const std::string& sInForce) {
    std::string sDump;
    if (!sources.sConfigFile.empty()) {
        sDump += "Contents of the configuration file (" + sources.sConfigFile + "): \n";
        for (const auto& pair : sources.filePairs) sDump += PairLines(pair.first, pair.second);
        sDump += "\n";
    }
    if (!sources.vCommandLinePairs.empty()) {
        sDump += "Settings on the command line (they win over the file): \n";
        for (const auto& pair : sources.vCommandLinePairs) sDump += PairLines(pair.first, pair.second);
        sDump += "\n";
    }
    return sDump + "Settings in force: \n" + sInForce + "\n";
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> vRow(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) vRow[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t iDiagonal = vRow[0];
        vRow[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t iAbove = vRow[j];
            vRow[j] = std::min({vRow[j] + 1, vRow[j - 1] + 1, iDiagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            iDiagonal = iAbove;
        }
    }
    return vRow[b.size()];
}

// Why the file cannot be read, empty when it can. Nothing is read from it: a pipe, as bash's
// <(...) gives, would lose what was read here before the reader opens it again.
std::string UnreadableReason(const std::string& sPath) {
    std::FILE* pFile = std::fopen(sPath.c_str(), "r");
    if (pFile == nullptr) return std::strerror(errno);
    struct stat status {};
    std::string sReason;
    if (::fstat(fileno(pFile), &status) == 0 && S_ISDIR(status.st_mode)) sReason = std::strerror(EISDIR);
    std::fclose(pFile);
    return sReason;
}

}  // namespace

bool IsSettingArgument(const std::string& sArgument) {
    std::size_t iEquals = sArgument.find('=');
    if (iEquals == 0 || iEquals == std::string::npos) return false;
    for (std::size_t i = 0; i < iEquals; ++i)
        if (!std::isalnum(static_cast<unsigned char>(sArgument[i])) && sArgument[i] != '_') return false;
    return true;
}

namespace {

// An option that sets a key: "-t N", "--threads N" or "--threads=N" becomes NUM_THREADS=N. i is
// the option's index and moves past a value given as the next argument.
std::string ParseOption(const std::vector<std::string>& vArguments, std::size_t& i, SettingSources& sources) {
    const std::string& sArgument = vArguments[i];
    const std::size_t iEquals = sArgument.rfind("--", 0) == 0 ? sArgument.find('=') : std::string::npos;
    const std::string sOption = sArgument.substr(0, iEquals);
    const SettingInfo* pInfo = FindOption(sOption);
    if (pInfo == nullptr) return "unknown option " + sArgument + " (korvex --help lists the options)";
    if (iEquals != std::string::npos) {
        sources.vCommandLinePairs.emplace_back(pInfo->pName, sArgument.substr(iEquals + 1));
        return std::string();
    }
    if (i + 1 == vArguments.size())
        return "option " + sOption + " needs a value: " + sOption + " " + pInfo->pOptionValue + " sets " + pInfo->pName;
    sources.vCommandLinePairs.emplace_back(pInfo->pName, vArguments[++i]);
    return std::string();
}

}  // namespace

std::string ParseArguments(const std::vector<std::string>& vArguments, bool bMerge, SettingSources& sources) {
    std::vector<std::string> vPositional;
    bool bSettingSeen = false;
    sources.bMerge = bMerge;
    for (std::size_t i = 0; i < vArguments.size(); ++i) {
        const std::string& sArgument = vArguments[i];
        const bool bOption = sArgument.size() > 1 && sArgument[0] == '-' &&
                             !std::isdigit(static_cast<unsigned char>(sArgument[1]));  // -1 is a number
        if (sArgument == "-q") {
            sources.vCommandLinePairs.emplace_back("QUIET", "1");
        } else if (bOption) {
            const std::string sProblem = ParseOption(vArguments, i, sources);
            if (!sProblem.empty()) return sProblem;
        } else if (IsSettingArgument(sArgument)) {
            const std::size_t iEquals = sArgument.find('=');
            sources.vCommandLinePairs.emplace_back(sArgument.substr(0, iEquals), sArgument.substr(iEquals + 1));
            bSettingSeen = true;
        } else if (bSettingSeen) {
            return "argument " + sArgument + " is not KEY=VALUE: only settings may follow the first setting";
        } else {
            vPositional.push_back(sArgument);
        }
    }
    if (bMerge && vPositional.size() < 2) return std::string("usage: ") + MERGE_USAGE;
    const std::size_t iMaxPositional = bMerge ? 2 : 3;
    if (vPositional.size() > iMaxPositional)
        return "argument " + vPositional[iMaxPositional] + " is not KEY=VALUE: only settings may follow " +
               (bMerge ? "NPARTS" : "CONFIG [nparts [part]]");
    if (!vPositional.empty()) sources.sConfigFile = vPositional[0];
    if (bMerge) {
        // The merge's NPARTS names the parts to find: it wins over the file like a setting
        // (a later NUM_PARTS= still wins over it).
        sources.vCommandLinePairs.insert(sources.vCommandLinePairs.begin(), {"NUM_PARTS", vPositional[1]});
        return std::string();
    }
    if (vPositional.size() > 1) sources.sNparts = vPositional[1];
    if (vPositional.size() > 2) sources.sPart = vPositional[2];
    return std::string();
}

std::string ReadConfigurationFile(SettingSources& sources) {
    std::string sReason = UnreadableReason(sources.sConfigFile);
    if (!sReason.empty())
        return "the configuration file (" + sources.sConfigFile + ") could not be opened: " + sReason;
    ConfigFileReader reader(sources.sConfigFile);
    reader.ReadInputFile();
    if (reader.LooksLike() != nullptr)
        return "the configuration file (" + sources.sConfigFile + ") looks like " + reader.LooksLike() +
               ", not KEY=VALUE lines: give the configuration file first and the alignments as MAP_FILENAME";
    const ControlCharacter& control = reader.FirstControlCharacter();
    if (control.iLine > 0) {
        char acByte[8];
        std::snprintf(acByte, sizeof acByte, "0x%02x", control.cByte);
        return "the configuration file (" + sources.sConfigFile + "), line " + std::to_string(control.iLine) +
               " holds a control character (byte " + acByte + "), which no setting may hold";
    }
    sources.filePairs = reader.Pairs();
    sources.vFileWarnings.clear();
    for (const LineWithoutSeparator& line : reader.LinesWithoutSeparator())
        sources.vFileWarnings.push_back(sources.sConfigFile + ", line " + std::to_string(line.iNumber) + ": \"" +
                                        line.sText + "\" is not KEY=VALUE; the line is ignored");
    for (const RepeatedKey& repeated : reader.RepeatedKeys())
        sources.vFileWarnings.push_back(sources.sConfigFile + ", line " + std::to_string(repeated.iNumber) + ": " +
                                        repeated.sKey + " is set again (line " +
                                        std::to_string(repeated.iEarlierNumber) + ": " +
                                        QuotedIfEmpty(repeated.sEarlierValue) + "); the last value, " +
                                        QuotedIfEmpty(repeated.sValue) + ", is used");
    return std::string();
}

namespace {

// "korvex [CONFIG] [KEY=VALUE ...]": the settings that choose what is computed, without the
// part of a divided run and without QUIET.
std::string CommandLineText(const SettingSources& sources) {
    std::string sText = "korvex";
    if (!sources.sConfigFile.empty()) sText += " " + sources.sConfigFile;
    for (const auto& pair : sources.vCommandLinePairs)
        if (pair.first != "QUIET" && pair.first != "NUM_PARTS" && pair.first != "PART_TO_RUN")
            sText += " " + pair.first + "=" + pair.second;
    return sText;
}

}  // namespace

SettledSettings SettleSettings(const SettingSources& sources) {
    SettledSettings settled;
    const std::vector<SettingInfo>& vTable = SettingTable();
    std::vector<std::string> vRefused;  // names of the keys whose value was refused
    const std::string sWhere =
        sources.sConfigFile.empty() ? std::string(" on the command line") : " in Input file (" + sources.sConfigFile + ")";
    std::string sInForce;
    for (const SettingInfo& info : vTable) {
        const FoundValue found = FindValue(info, sources);
        const std::string sValue =
            found.pText != nullptr ? std::string(Trim(*found.pText, WHITE_SPACE)) : std::string();
        std::string sShown;  // the value in force as the log shows it
        const bool bBoundRefused =
            info.pMaxKey != nullptr && std::find(vRefused.begin(), vRefused.end(), info.pMaxKey) != vRefused.end();
        if (found.pText == nullptr && info.bRequired) {
            settled.vErrors.push_back(std::string(info.pName) + " is missing: it must be " + ChoiceList(info));
            sShown = "(" + std::string(info.pDefaultShown) + ")";
        } else if (found.pText == nullptr) {
            settled.vMissing.push_back("failed to find " + std::string(info.pName) + sWhere);
            // A default bounded by another key can lie above it (BURNIN_ITERATIONS 200 with
            // TOTAL_ITERATIONS 100): checked like a given value, so such a run never starts.
            if (info.pMaxFrom != nullptr) {
                std::string sRefusal = ApplyValue(info, FieldText(info, settled.settings), ValueSource::Default,
                                                  bBoundRefused, settled.settings);
                if (!sRefusal.empty()) settled.vErrors.push_back(sRefusal);
            }
        } else {
            std::string sRefusal = ApplyValue(info, sValue, found.source, bBoundRefused, settled.settings);
            if (!sRefusal.empty()) {
                settled.vErrors.push_back(sRefusal);
                vRefused.push_back(info.pName);
            }
            if (info.kind != SettingKind::Path) sShown = sValue;  // as given: a rate keeps all its digits
            else CheckOneWordPath(info, sValue, found.source, settled);
        }
        if (sShown.empty()) sShown = FieldText(info, settled.settings);
        sInForce += "  " + std::string(info.pName) + " = " + sShown + "  (" + SourceText(info, found.source) + ")\n";
    }
    // A merge reads the input again, which standard input cannot give.
    if (settled.settings.nparts > 1 && settled.settings.sMapFileName == "-")
        settled.vErrors.push_back("MAP_FILENAME = - (standard input) cannot be divided into NUM_PARTS = " +
                                  std::to_string(settled.settings.nparts) +
                                  " parts: their merge must read the input again; save it to a file first");
    RefuseStandardOutputAsOutput(settled.settings, settled.vErrors);
    settled.settings.sCommandLine = CommandLineText(sources);
    RefuseADivisionTheFileContradicts(sources, settled.vErrors);
    CheckUnknownKeys(sources, settled);
    WarnOfRepeatedCommandLineKeys(sources, settled);
    settled.sDump = Dump(sources, sInForce);
    return settled;
}

HelpContents HelpContentsOfSettings() {
    HelpContents contents;
    contents.vUsageLines.assign(std::begin(USAGE_LINES), std::end(USAGE_LINES));
    contents.sExplanation = USAGE_EXPLANATION;
    for (const SettingInfo& info : SettingTable()) {
        contents.vSettings.push_back({info.pName, DefaultText(info), AllowedText(info), info.pHelp});
        if (info.pShortOption == nullptr) continue;
        const std::string sValue = std::string(" ") + info.pOptionValue;
        contents.vOptions.push_back({info.pShortOption + sValue + ", " + info.pLongOption + sValue,
                                     std::string("sets ") + info.pName + " (also " + info.pLongOption + "=" +
                                         info.pOptionValue + ")"});
    }
    return contents;
}

std::string UsageText() {
    std::string sText = std::string(PROGRAM_NAME) + " -- " + PROGRAM_PURPOSE + "\n\nUsage:\n";
    for (const char* pLine : USAGE_LINES) sText += "  " + std::string(pLine) + "\n";
    return sText;
}

std::string HelpText() {
    const HelpContents contents = HelpContentsOfSettings();
    std::string sText = UsageText() + "\n" + contents.sExplanation + "\nOptions:\n";
    for (const OptionHelp& option : contents.vOptions) {
        char sForms[32];
        std::snprintf(sForms, sizeof(sForms), "  %-26s", option.sForms.c_str());
        sText += sForms + option.sMeaning + "\n";
    }
    sText += "\nSettings (default; allowed values):\n";
    for (const SettingHelp& setting : contents.vSettings)
        sText += "  " + setting.sName + " (" + setting.sDefault + "; " + setting.sAllowed + ")\n      " +
                 setting.sMeaning + "\n";
    return sText;
}

std::string MergeHelpText() {
    return std::string("Usage: ") + MERGE_USAGE +
           "\n\nCombines the output of the NPARTS parts of a run divided with nparts and part (or\n"
           "NUM_PARTS and PART_TO_RUN) into the output of the whole run. CONFIG and the settings\n"
           "are those of the parts; NPARTS wins over the file's NUM_PARTS, and a NUM_PARTS=N setting\n"
           "wins over NPARTS. korvex --help lists the settings.\n";
}

std::vector<std::string> SettingNames() {
    std::vector<std::string> vNames;
    for (const SettingInfo& info : SettingTable()) vNames.push_back(info.pName);
    return vNames;
}

std::string NearestSettingName(const std::string& sName) {
    std::string sUpper = sName;
    for (char& c : sUpper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string sNearest;
    std::size_t iBest = std::max<std::size_t>(2, sName.size() / 3) + 1;  // farther is not a typo
    for (const SettingInfo& info : SettingTable()) {
        std::size_t iDistance = EditDistance(sUpper, info.pName);
        if (iDistance < iBest) {
            iBest = iDistance;
            sNearest = info.pName;
        }
    }
    return sNearest;
}
