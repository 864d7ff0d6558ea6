// The pipeline driver: Step 1 reads the SAM file into the multiread containers, Step 2
// computes them and writes the SAMplus file.
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
#include "SamplusOutput.h"
#include "Settings.h"
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

// A run without a usable line ends normally, but the user is told why, also on standard error.
void ExplainEmptyRun(const std::string& sMapFileName, const std::string& sBuildError,
                     const LineRejections& rejections) {
    std::ostringstream message;
    message << "process2: the SAM file (" << sMapFileName << ") has no usable alignment line: ";
    if (!sBuildError.empty())
        message << sBuildError;
    else
        message << "all " << rejections.Total() << " alignment lines were rejected (the reasons are listed above).";
    message << " No output was written." << std::endl;
    GetLogger()->Write(message, true, LogLevel::Warning);
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
    if (sMapFileName.empty()) throw InputError("process2: no SAM file was given: set MAP_FILENAME");
    std::string sBuildError;
    const int64_t iLinesRead = collections.BuildReadCollections(sMapFileName, false, sBuildError);
    if (iLinesRead < 1) {
        message << std::endl
                << "process2: ZERO lines read from the input file... nothing left to do.... exiting." << std::endl
                << std::endl;
        pLogger->Write(message, true);
        ExplainEmptyRun(sMapFileName, sBuildError, collections.Rejections());
        return;
    }

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

    // Unique reads at equal positions keep their file order on every platform; that order
    // decides which uniform each of their draws takes in the sampler.
    std::vector<int> vPositionsFromMap1 = SortUniqueReadsByPosition(map_1);

    const int iNumProbColumns = ProbabilityColumns(probOutput);
    if (iNumProbColumns == 0) {
        message << "Invalid PROB_OUTPUT value (" << probOutput << "): it must be BOTH, BAYES or PROP. Exiting program."
                << std::endl;
        pLogger->Write(message, true);
        std::exit(1);
    }

    for (MultiRead* pUnique : map_1) {
        Read& read = pUnique->Reads(0);
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
                        /*iNumParts*/ nparts, /*iPartToRun*/ part, iNumThreads,
                        /*sCallRecordDirectory*/ ""};

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

}  // namespace

void RunPipeline(const RunSettings& settings, RunSummary& /*summary*/) {
    process2(settings.nparts, settings.part, settings.sMapFileName, settings.iNumThreads, settings.dPolymorphismRate,
             settings.iTotalIterations, settings.iBurninIterations, settings.maxMismatchesForTopHits,
             settings.extraMismatchesForAdditionalHits, settings.iFlankingValue, settings.probOutput,
             settings.strandness);
}
