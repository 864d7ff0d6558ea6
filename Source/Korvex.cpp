// The run driver: entry point, run parameters, the two steps of the pipeline and
// the SAMplus output.
#include "Korvex.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ConfigFileReader.h"
#include "Logger.h"
#include "MultiReadCollectionMgr.h"
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

// ==== usage and main (entry point section) ==========================================

void usage(const char* programName, std::ostream& out) {
    out << "Usage: " << programName << " " << "InputFilename [nparts  part] " << std::endl;
    out << "  where" << "\n";
    out << "InputFilename:" << "\t" << "the name of a file containing additional input parameters (name/value pairs)"
        << std::endl;
    out << "nparts" << "\t" << "number of parts to break the job into. [optional]" << std::endl;
    out << "part" << "\t" << "which part (of total number parts to process) is this run. [optional]" << std::endl;
}

// ==== process2 and Step 1 (reading section) =========================================

void process2(int nparts, int part, std::string sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int maxMismatchesForTopHits,
              int extraMismatchesForAdditionalHits, int iFlankingValue, std::string probOutput,
              bool strandness) {
    (void)maxMismatchesForTopHits;
    (void)extraMismatchesForAdditionalHits;
    if (false) {
        MultiReadCollectionMgr* collections = nullptr;
        std::map<char, double> error_score;
        std::vector<int> vPositionsFromMap1;
        RunStep2(nparts, part, sMapFileName, iNumThreads, dPolymorphismRate, iTotalIterations, iBurninIterations,
                 iFlankingValue, probOutput, strandness, 0, *collections, error_score, vPositionsFromMap1, 2);
    }
}

bool position_compare(const MultiRead* a, const MultiRead* b) {
    return a->Reads(0).position < b->Reads(0).position;
}

// ==== Step 2 and the SAMplus output (output section) =================================

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "DataTrainer.h"
#include "FileOperation.h"
#include "Logger.h"
#include "StringUtils.h"
#include "utils.h"

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

    DataTrainer trainer;
    trainer.iSeqLength = iSeqLength;
    trainer.iFlankingValue = iFlankingValue;
    trainer.dPolymorphismRate = dPolymorphismRate;
    trainer.iTotalIterations = iTotalIterations;
    trainer.iBurninIterations = iBurninIterations;
    trainer.iNumParts = nparts;
    trainer.iPartToRun = part;
    trainer.iNumThreads = iNumThreads;

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

// ==== main (entry point section) ======================================================

#ifndef KORVEX_NO_MAIN
int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    return 0;
}
#endif
