// The run driver: entry point, run parameters, the two steps of the pipeline and
// the SAMplus output.
#include "Korvex.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ConfigFileReader.h"
#include "DataTrainer.h"
#include "FileOperation.h"
#include "Logger.h"
#include "MultiReadCollectionMgr.h"
#include "StringUtils.h"
#include "utils.h"

const char* const PROGRAM_NAME = "KORVEX v2.0.0";

namespace {

// Step 2: computes map_2 to map_5, writes the SAMplus file and clears the merged
// call_record files. Runs on the initial thread; the workers live inside trainData.
void RunStep2(int nparts, int part, const std::string& sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int iFlankingValue, const std::string& probOutput,
              bool strandness, int iSeqLength, MultiReadCollectionMgr& collections,
              std::map<char, double>& error_score, std::vector<int>& vPositionsFromMap1, int iNumProbColumns);

}  // namespace

void usage(const char* programName, std::ostream& out) {
    out << "Usage: " << programName << " " << "InputFilename [nparts  part] " << std::endl;
    out << "  where" << "\n";
    out << "InputFilename:" << "\t" << "the name of a file containing additional input parameters (name/value pairs)"
        << std::endl;
    out << "nparts" << "\t" << "number of parts to break the job into. [optional]" << std::endl;
    out << "part" << "\t" << "which part (of total number parts to process) is this run. [optional]" << std::endl;
}

namespace {

// Throws when the SAM file could not be opened or read to its end, so that the run
// ends as a failure naming the file instead of passing for an empty input.
void ThrowIfSamFileUnreadable(const std::string& sMapFileName, const MultiReadCollectionMgr& collections) {
    if (collections.FileError().empty()) return;
    throw std::runtime_error("process2: The SAM file (" + sMapFileName + ") could not be read: " +
                             collections.FileError() + ".");
}

// The number of probability columns of the SAMplus file for PROB_OUTPUT, or 0 when the
// value is none of "BOTH", "BAYES" and "PROP" (compared exactly).
int ProbabilityColumns(const std::string& probOutput) {
    if (probOutput == "BOTH") return 2;
    if (probOutput == "BAYES" || probOutput == "PROP") return 1;
    return 0;
}

}  // namespace

void process2(int nparts, int part, std::string sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int maxMismatchesForTopHits,
              int extraMismatchesForAdditionalHits, int iFlankingValue, std::string probOutput,
              bool strandness) {
    std::ostringstream message;
    Logger* pLogger = GetLogger();
    const double dStepStart = WallClockSeconds();
    message << std::endl << "==> Step 1: Reading the SAM file, processing into multiread containers." << std::endl;
    pLogger->Write(message, true);

    // Owns every MultiRead of the run until process2 returns; only the initial thread
    // changes it, the workers of Step 2 write probability values of their own jobs.
    MultiReadCollectionMgr collections(maxMismatchesForTopHits, extraMismatchesForAdditionalHits);
    std::string sBuildError;
    const int64_t iLinesRead = collections.BuildReadCollections(sMapFileName, false, sBuildError);
    if (iLinesRead < 1) {
        message << std::endl
                << "process2: ZERO lines read from the input file... nothing left to do.... exiting." << std::endl
                << std::endl;
        pLogger->Write(message, true);
        ThrowIfSamFileUnreadable(sMapFileName, collections);
        return;
    }
    ThrowIfSamFileUnreadable(sMapFileName, collections);

    std::vector<MultiRead*>& map_1 = collections.GetReadMap(1);
    const int iSeqLength = GetSequenceLength();
    std::map<char, double> error_score = collections.error_score;

    const double dSeconds = WallClockSeconds() - dStepStart;
    const double dMinutes = dSeconds / 60.0;
    message << "process2: We read (" << iLinesRead << ") lines from the map file." << std::endl;
    pLogger->Write(message, true);
    for (int k = 1; k <= 5; ++k) {
        message << "process2: map_" << k << "    now contains (" << collections.GetReadMap(k).size() << ") items."
                << std::endl;
        pLogger->Write(message, true);
    }
    message << "process2: elapsed time (" << dSeconds << ") secs   (" << dMinutes << " mins)" << std::endl;
    pLogger->Write(message, true);

    // Stable, so unique reads at equal positions keep their file order on every platform;
    // that order decides which uniform each of their draws takes in the sampler.
    std::stable_sort(map_1.begin(), map_1.end(), position_compare);

    const int iNumProbColumns = ProbabilityColumns(probOutput);
    if (iNumProbColumns == 0) {
        message << "Invalid PROB_OUTPUT value (" << probOutput << "): it must be BOTH, BAYES or PROP. Exiting program."
                << std::endl;
        pLogger->Write(message, true);
        std::exit(1);
    }

    std::vector<int> vPositionsFromMap1;
    vPositionsFromMap1.reserve(map_1.size());
    for (MultiRead* pUnique : map_1) {
        Read& read = pUnique->Reads(0);
        vPositionsFromMap1.push_back(read.position);
        read.probability[0] = 1.0;
        read.probability[1] = 1.0;
    }

    message << "process2: The size of the LineNumberMap is: " << collections.LineNumberMap.size() << std::endl;
    pLogger->Write(message, true);
    message << "==> Step 1: Finished." << std::endl;
    pLogger->Write(message, true);

    RunStep2(nparts, part, sMapFileName, iNumThreads, dPolymorphismRate, iTotalIterations, iBurninIterations,
             iFlankingValue, probOutput, strandness, iSeqLength, collections, error_score, vPositionsFromMap1,
             iNumProbColumns);
}

bool position_compare(const MultiRead* a, const MultiRead* b) {
    return a->Reads(0).position < b->Reads(0).position;
}

namespace {

// Every alignment of map_2 to map_5 starts without a value, so that the multireads that
// this run does not compute (those of other parts) are written as "NA".
void MarkMultiReadsNotComputed(MultiReadCollectionMgr& collections) {
    const double dNoValue = std::numeric_limits<double>::quiet_NaN();
    for (int k = 2; k <= 5; ++k) {
        for (MultiRead* pMultiRead : collections.GetReadMap(k)) {
            for (int j = 0; j < k; ++j) {
                Read& read = pMultiRead->Reads(j);
                read.probability[0] = dNoValue;
                read.probability[1] = dNoValue;
            }
        }
    }
}

const char* CountWord(int k) {
    static const char* const COUNT_WORDS[] = {"twice", "three times", "four times", "five times"};
    return COUNT_WORDS[k - 2];
}

// Removes the merged call_record files that exist; absent ones are skipped silently.
void ClearMergedFiles() {
    std::vector<std::string> vMergedFiles;
    for (int k = 1; k <= 5; ++k) {
        std::string sName = "call_record_L" + convertS(k) + "_combined";
        std::ifstream probe(sName.c_str());
        if (probe.good()) vMergedFiles.push_back(sName);
    }
    FileOperation fileOperation;
    fileOperation.DeleteInputFiles(vMergedFiles);
}

void RunStep2(int nparts, int part, const std::string& sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int iFlankingValue, const std::string& probOutput,
              bool strandness, int iSeqLength, MultiReadCollectionMgr& collections,
              std::map<char, double>& error_score, std::vector<int>& vPositionsFromMap1, int iNumProbColumns) {
    Logger* pLogger = GetLogger();
    std::ostringstream message;
    message << std::endl << "==> Step 2: Processing each of the multiread containers." << std::endl;
    pLogger->Write(message, true);

    MarkMultiReadsNotComputed(collections);

    DataTrainer trainer{iSeqLength, iFlankingValue, dPolymorphismRate, iTotalIterations, iBurninIterations,
                        /*iNumParts*/ nparts, /*iPartToRun*/ part, iNumThreads};

    std::vector<MultiRead*>& map_1 = collections.GetReadMap(1);
    for (int k = 2; k <= 5; ++k) {
        trainer.trainData(map_1, collections.GetReadMap(k), error_score, vPositionsFromMap1, probOutput,
                          strandness);
        message << "process2" << ": Alignment for ID appearing " << CountWord(k) << ": finished!" << std::endl;
        pLogger->Write(message, true);
        if (k == 2) {
            message << "process2" << ": The size of probability map is: " << collections.LineNumberMap.size()
                    << std::endl;
            pLogger->Write(message, true);
        }
        message << "--------" << std::endl << std::endl;
        pLogger->Write(message, true);
    }

    message << "process2" << ": Writing final output to SAMplus file." << std::endl;
    pLogger->Write(message, true);
    if (!OutputSAMplus(sMapFileName, collections.LineNumberMap, iNumProbColumns))
        throw std::runtime_error("process2: the SAMplus file (" + sMapFileName + "+) could not be written.");
    message << "process2" << ": Finished generating SAMplus file." << std::endl;
    pLogger->Write(message, true);
    message << "process2" << ": Now clearing intermediate call_record files..." << std::endl;
    pLogger->Write(message, true);

    ClearMergedFiles();

    message << "==> Step 2: Finished." << std::endl;
    pLogger->Write(message, true);
}

// Writes the probability fields of one line: the Read's values, "NA" for a value not
// computed, or all "NA" when the line has no Read.
void WriteProbabilityFields(std::ostream& out, const Read* pRead, int iNumProbColumns) {
    for (int i = 0; i < iNumProbColumns; ++i) {
        if (pRead == nullptr || std::isnan(pRead->probability[i]))
            out << "NA";
        else
            out << pRead->probability[i];
        out << '\t';
    }
}

}  // namespace

bool OutputSAMplus(std::string sMapFileName, std::map<int, Read*>& LineNumberMap, int iNumProbColumns) {
    std::ostringstream message;
    std::string sOutFileName = sMapFileName + "+";
    std::ifstream in(sMapFileName.c_str());
    if (!in.is_open()) {
        message << "OutputSAMplus" << ": the SAM file (" << sMapFileName << ") can not be opened for reading."
                << std::endl;
        GetLogger()->Write(message, true);
        return false;
    }
    std::ofstream out(sOutFileName.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        message << "OutputSAMplus" << ": the SAMplus file (" << sOutFileName << ") can not be created." << std::endl;
        GetLogger()->Write(message, true);
        return false;
    }

    // The keys are the numbers of lines of this same file, met in ascending order.
    std::map<int, Read*>::const_iterator itNext = LineNumberMap.begin();
    std::string sLine;
    int iLineNumber = 1;
    while (std::getline(in, sLine)) {
        const Read* pRead = nullptr;
        if (itNext != LineNumberMap.end() && itNext->first == iLineNumber) {
            pRead = itNext->second;
            ++itNext;
        }
        out << sLine << '\t';
        WriteProbabilityFields(out, pRead, iNumProbColumns);
        out << std::endl;
        ++iLineNumber;
    }

    out.close();
    bool bComplete = !in.bad() && !out.fail() && itNext == LineNumberMap.end();
    if (!bComplete) {
        message << "OutputSAMplus" << ": the SAMplus file (" << sOutFileName
                << ") could not be written completely (write error, or the SAM file changed since it was read)."
                << std::endl;
        GetLogger()->Write(message, true);
    }
    return bComplete;
}

#ifndef KORVEX_NO_MAIN
namespace {

// Every run parameter with its default; the command line and the configuration file
// replace them, the file winning over the command line.
struct RunParameters {
    std::string sLogFilename = "Logger.out";
    int maxMismatchesForTopHits = 2;
    int extraMismatchesForAdditionalHits = 2;
    int iFlankingValue = 0;
    std::string sStrandnessOption;  // no default: must be "ON" or "OFF"
    bool strandness = false;
    std::string probOutput = "BOTH";
    int nparts = 1;
    int part = 1;
    int iNumThreads = 1;
    std::string sMapFileName;
    double dPolymorphismRate = 0.1;
    int iTotalIterations = 1000;
    int iBurninIterations = 200;
};

// No InputFilename: banner, error and usage on standard error, then wait for one character.
int RefuseMissingArgument(const std::ostringstream& banner) {
    std::cerr << banner.str();
    std::cerr << PROGRAM_NAME << ": " << "invalid number of program arguments." << std::endl;
    usage(PROGRAM_NAME, std::cerr);
    std::cout << std::endl << "\n\n" << "Waiting for a character and <cr>: ";
    char cAnswer;
    std::cin >> cAnswer;
    return 1;
}

// Looks key up into value; a missing key is logged and leaves the default in place.
template <class T>
void LookUp(ConfigFileReader& config, const char* key, T& value, std::ostringstream& message) {
    if (config.GetValue(key, value)) return;
    message << "main" << ": failed to find " << key << " in Input file (" << config.Filename() << ")" << std::endl;
    GetLogger()->Write(message, true);
}

// The first run parameter outside the range the pipeline can work with, as
// "<condition> is false (<values>)"; empty when all are valid. A part below 1 would give
// negative job ranges, and a chain of fewer than two iterations or a burn-in outside the
// chain would make the sampler divide by zero or give negative probabilities.
std::string FirstInvalidRunParameter(const RunParameters& p) {
    std::ostringstream values;
    const char* sCondition = nullptr;
    if (!(p.nparts > 0)) {
        sCondition = "nparts > 0";
        values << "nparts = " << p.nparts;
    } else if (!(p.part > 0)) {
        sCondition = "part > 0";
        values << "part = " << p.part;
    } else if (!(p.part <= p.nparts)) {
        sCondition = "part <= nparts";
        values << "part = " << p.part << ", nparts = " << p.nparts;
    } else if (!(p.iNumThreads > 0 && p.iNumThreads < 8)) {
        sCondition = "iNumThreads > 0 && iNumThreads < 8";
        values << "iNumThreads = " << p.iNumThreads;
    } else if (!(p.iTotalIterations > 1)) {
        sCondition = "iTotalIterations > 1";
        values << "iTotalIterations = " << p.iTotalIterations;
    } else if (!(p.iBurninIterations >= 0 && p.iBurninIterations <= p.iTotalIterations)) {
        sCondition = "iBurninIterations >= 0 && iBurninIterations <= iTotalIterations";
        values << "iBurninIterations = " << p.iBurninIterations << ", iTotalIterations = " << p.iTotalIterations;
    }
    if (sCondition == nullptr) return std::string();
    return std::string(sCondition) + " is false (" + values.str() + ")";
}

// Settles every run parameter from the command line and the configuration file, creates
// the log (whose first record is the banner waiting in message) and validates the values.
// False when the run is refused; the reason is then in the log.
bool SettleRunParameters(int argc, char** argv, ConfigFileReader& config, RunParameters& params,
                         std::ostringstream& message) {
    if (argc != 2) params.nparts = std::atoi(argv[2]);
    if (argc >= 4) params.part = std::atoi(argv[3]);

    if (!config.GetValue("LOG_FILENAME", params.sLogFilename))
        std::cout << "main" << ": failed to find " << "LOG_FILENAME" << " in Input file (" << argv[1]
                  << "), using default name (" << "Logger.out" << ")." << std::endl;
    Logger* pLogger = GetLogger();
    pLogger->CreateOutFile(params.sLogFilename);
    pLogger->Write(message, true);

    LookUp(config, "MAX_NUM_MISMATCHES_FOR_TOP_HITS", params.maxMismatchesForTopHits, message);
    LookUp(config, "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS", params.extraMismatchesForAdditionalHits, message);
    LookUp(config, "SEQ_FLANKING_VALUE", params.iFlankingValue, message);
    LookUp(config, "STRANDNESS_OPTION", params.sStrandnessOption, message);
    if (params.sStrandnessOption == "OFF") {
        params.strandness = false;
    } else if (params.sStrandnessOption == "ON") {
        params.strandness = true;
    } else {
        message << "main" << ": Invalid value of STRANDNESS_OPTION: " << params.sStrandnessOption << ". Exit program."
                << std::endl;
        pLogger->Write(message, true);
        return false;
    }
    LookUp(config, "PROB_OUTPUT", params.probOutput, message);
    LookUp(config, "NUM_PARTS", params.nparts, message);
    LookUp(config, "PART_TO_RUN", params.part, message);
    LookUp(config, "NUM_THREADS", params.iNumThreads, message);
    LookUp(config, "MAP_FILENAME", params.sMapFileName, message);
    LookUp(config, "POLYMORPHISM_RATE", params.dPolymorphismRate, message);
    LookUp(config, "TOTAL_ITERATIONS", params.iTotalIterations, message);
    LookUp(config, "BURNIN_ITERATIONS", params.iBurninIterations, message);

    std::string sInvalid = FirstInvalidRunParameter(params);
    if (sInvalid.empty()) return true;
    message << "main" << ": invalid run parameters: " << sInvalid << "." << std::endl;
    pLogger->Write(message, true);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    double t0 = WallClockSeconds();
    std::ostringstream message;  // main's message buffer; every successful Write empties it
    message << std::endl << PROGRAM_NAME << " -- probabilities of the alignments of multireads" << std::endl << std::endl;

    if (argc < 2) return RefuseMissingArgument(message);

    Logger* pLogger = GetLogger();
    int iExitStatus = 0;
    try {
        ConfigFileReader config(argv[1]);  // lives until the parameters are handed over
        config.ReadInputFile();
        RunParameters params;
        if (!SettleRunParameters(argc, argv, config, params, message)) return 1;

        message << "Contents of the configuration file (" << config.Filename() << "): " << std::endl
                << config.ToString() << std::endl;
        pLogger->Write(message, true);

        process2(params.nparts, params.part, params.sMapFileName, params.iNumThreads, params.dPolymorphismRate,
                 params.iTotalIterations, params.iBurninIterations, params.maxMismatchesForTopHits,
                 params.extraMismatchesForAdditionalHits, params.iFlankingValue, params.probOutput,
                 params.strandness);
    } catch (const std::exception& e) {
        message << PROGRAM_NAME << ": " << e.what() << std::endl;
        pLogger->Write(message, true);
        iExitStatus = 1;
    } catch (...) {
        message << PROGRAM_NAME << ": " << "unhandled exception" << std::endl;
        pLogger->Write(message, true);
        iExitStatus = 1;
    }

    double dSeconds = WallClockSeconds() - t0;
    message << std::endl
            << "main" << ": Time taken = " << dSeconds << " secs  (" << dSeconds / 3600.0 << " hrs)" << std::endl;
    pLogger->Write(message, true);
    return iExitStatus;
}
#endif
