#include "SettingsTable.h"

#include "NumberText.h"
#include "OutputTarget.h"

namespace {

// Changes a row the helpers below built.
struct Row : SettingInfo {
    Row(const SettingInfo& info) : SettingInfo(info) {}
    Row UpTo(int RunSettings::*pFrom, const char* pKey) const {
        Row row = *this;
        row.pMaxFrom = pFrom;
        row.pMaxKey = pKey;
        return row;
    }
    Row SetBy(const char* pArgument, const char* pShown) const {
        Row row = *this;
        row.pPositional = pArgument;
        row.pDefaultShown = pShown;
        return row;
    }
    Row Shown(const char* pShown) const {
        Row row = *this;
        row.pDefaultShown = pShown;
        return row;
    }
    Row Required() const {
        Row row = *this;
        row.bRequired = true;
        row.pDefaultShown = "none, required";
        return row;
    }
    Row Option(const char* pShort, const char* pLong, const char* pValue) const {
        Row row = *this;
        row.pShortOption = pShort;
        row.pLongOption = pLong;
        row.pOptionValue = pValue;
        return row;
    }
    Row SharedByParts() const {
        Row row = *this;
        row.bSharedByParts = true;
        return row;
    }
};

Row Integer(const char* pName, int RunSettings::*pField, int iMin, int iMax, const char* pHelp) {
    SettingInfo info{pName, SettingKind::Integer, pHelp};
    info.pInteger = pField;
    info.iMin = iMin;
    info.iMax = iMax;
    return info;
}

Row Rate(const char* pName, double RunSettings::*pField, const char* pHelp) {
    SettingInfo info{pName, SettingKind::Rate, pHelp};
    info.pRate = pField;
    return info;
}

Row Path(const char* pName, std::string RunSettings::*pField, const char* pHelp) {
    SettingInfo info{pName, SettingKind::Path, pHelp};
    info.pPath = pField;
    return info;
}

template <class T>
struct Same {
    using Type = T;
};

// A Choice row: each word stands for the value beside it.
template <class T>
Row Choice(const char* pName, T RunSettings::*pField,
           const std::vector<std::pair<const char*, typename Same<T>::Type>>& vWordValues, const char* pHelp) {
    SettingInfo info{pName, SettingKind::Choice, pHelp};
    std::vector<T> vValues;
    for (const auto& [pWord, value] : vWordValues) {
        info.vWords.push_back(pWord);
        vValues.push_back(value);
    }
    info.wordInForce = [pField, vValues](const RunSettings& settings) {
        for (std::size_t i = 0; i < vValues.size(); ++i)
            if (settings.*pField == vValues[i]) return static_cast<int>(i);
        return -1;
    };
    info.chooseWord = [pField, vValues](RunSettings& settings, int iWord) { settings.*pField = vValues[iWord]; };
    return info;
}

std::vector<std::pair<const char*, std::optional<OutputFormat>>> OutputFormatWords() {
    std::vector<std::pair<const char*, std::optional<OutputFormat>>> vWords;
    for (OutputFormat format : {OutputFormat::Samplus, OutputFormat::Sam, OutputFormat::Bam, OutputFormat::Cram})
        vWords.emplace_back(FormatName(format), format);
    return vWords;
}

// Iterations of one chain: far beyond any useful run, so that a mistyped number is refused
// rather than running for days.
const int MAX_ITERATIONS = 10000000;
// Jobs per container: beyond the cores of today's largest servers; a job costs only a line in the
// log, and the threads that run the jobs are no more than the runtime grants.
const int MAX_THREADS = 1024;

}  // namespace

const std::vector<SettingInfo>& SettingTable() {
    using S = RunSettings;
    static const std::vector<SettingInfo> vTable = {
        Path("LOG_FILENAME", &S::sLogFilename, "log file"),
        Integer("MAX_NUM_MISMATCHES_FOR_TOP_HITS", &S::maxMismatchesForTopHits, 0, 10,
                "a read is dropped when its best alignment has more mismatches")
            .SharedByParts(),
        Integer("EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS", &S::extraMismatchesForAdditionalHits, 0, 10,
                "further alignments are kept with up to this many more mismatches than the best")
            .SharedByParts(),
        Integer("MAX_ALIGNMENTS", &S::iMaxAlignments, 2, 100, "a read is dropped when it keeps more alignments")
            .SharedByParts(),
        Integer("MAX_FRAGMENT_LENGTH", &S::iMaxFragmentLength, 1, 100000,
                "longest fragment of a pair alignment, from the first aligned base of its mates to the last")
            .SharedByParts(),
        Integer("SEQ_FLANKING_VALUE", &S::iFlankingValue, INT_MIN, INT_MAX,
                "how far the window of unique reads reaches beyond an alignment on each side")
            .SharedByParts(),
        Choice("STRANDNESS_OPTION", &S::strandness, {{"ON", true}, {"OFF", false}},
               "ON: unique reads count only on the alignment's strand; OFF: on both")
            .Required()
            .SharedByParts(),
        Choice("PROB_OUTPUT", &S::probMode,
               {{"BOTH", ProbMode::Both}, {"BAYES", ProbMode::Bayes}, {"PROP", ProbMode::Proportional}},
               "BOTH: unique-read share and posterior; BAYES: posterior; PROP: unique-read share")
            .SharedByParts(),
        Integer("NUM_PARTS", &S::nparts, 1, INT_MAX, "number of separate runs one data set is divided into")
            .SetBy("nparts", "the nparts argument, else 1"),
        Integer("PART_TO_RUN", &S::part, 1, INT_MAX, "which of them this run computes")
            .UpTo(&S::nparts, "NUM_PARTS")
            .SetBy("part", "the part argument, else 1"),
        Integer("NUM_THREADS", &S::iNumThreads, 1, MAX_THREADS,
                "largest number of jobs, and so of worker threads, per container (set it to the cores)")
            .Option("-t", "--threads", "N"),
        Path("MAP_FILENAME", &S::sMapFileName, "SAM file to read").Shown("none"),
        Rate("POLYMORPHISM_RATE", &S::dPolymorphismRate, "polymorphism rate of the Bayesian model").SharedByParts(),
        Integer("TOTAL_ITERATIONS", &S::iTotalIterations, 2, MAX_ITERATIONS, "iterations of each MCMC chain")
            .SharedByParts(),
        Integer("BURNIN_ITERATIONS", &S::iBurninIterations, 0, MAX_ITERATIONS, "burn-in iterations of each MCMC chain")
            .UpTo(&S::iTotalIterations, "TOTAL_ITERATIONS")
            .SharedByParts(),
        Choice("OUTPUT_FORMAT", &S::outputFormat, OutputFormatWords(),
               "SAMPLUS: the SAM lines with probability fields; SAM, BAM, CRAM: the records with probability tags")
            .Shown("chosen by the input"),
        Path("OUTPUT_FILE", &S::sOutputFile, "output file")
            .Shown("derived from MAP_FILENAME")
            .Option("-o", "--output", "PATH"),
        Path("REFERENCE", &S::sReference, "FASTA reference, for CRAM").Shown("none"),
        Choice("QUIET", &S::bQuiet, {{"0", false}, {"1", true}},
               "1: the console shows only warnings, errors, progress and the summary (-q)"),
        Choice("PART_OUTPUT", &S::partOutput, {{"FULL", PartOutput::Full}, {"VALUES", PartOutput::Values}},
               "what a part of a divided run writes: FULL the whole output, VALUES its values for merge"),
        Choice("MULTIQC", &S::bMultiqc, {{"0", false}, {"1", true}},
               "1: a run that is not divided, and a merge, write the MultiQC sections beside the output"),
    };
    return vTable;
}

const SettingInfo* FindSetting(const std::string& sName) {
    for (const SettingInfo& info : SettingTable())
        if (sName == info.pName) return &info;
    return nullptr;
}

const SettingInfo* FindOption(const std::string& sOption) {
    for (const SettingInfo& info : SettingTable())
        if (info.pShortOption != nullptr && (sOption == info.pShortOption || sOption == info.pLongOption))
            return &info;
    return nullptr;
}

int WordIndex(const SettingInfo& info, const std::string& sWord) {
    for (std::size_t i = 0; i < info.vWords.size(); ++i)
        if (sWord == info.vWords[i]) return static_cast<int>(i);
    return -1;
}

std::string ValueText(const SettingInfo& info, const RunSettings& settings) {
    switch (info.kind) {
        case SettingKind::Integer:
            return std::to_string(settings.*info.pInteger);
        case SettingKind::Rate:
            return ShortNumberText(settings.*info.pRate);
        case SettingKind::Path:
            return settings.*info.pPath;
        case SettingKind::Choice: {
            const int iWord = info.wordInForce(settings);
            return iWord < 0 ? std::string() : info.vWords[iWord];
        }
    }
    return std::string();
}

std::vector<std::pair<std::string, std::string>> SettingsSharedByParts(const RunSettings& settings) {
    std::vector<std::pair<std::string, std::string>> vShared;
    for (const SettingInfo& info : SettingTable()) {
        if (!info.bSharedByParts) continue;
        vShared.emplace_back(info.pName, info.kind == SettingKind::Rate ? ExactNumberText(settings.*info.pRate)
                                                                         : ValueText(info, settings));
    }
    return vShared;
}
