// The SAMplus file: the SAM file line for line, each line extended by its probabilities.
#include "SamplusOutput.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "Logger.h"
#include "utils.h"

namespace {

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

bool OutputSAMplus(std::string sMapFileName, const LineIndex& LineNumberMap, int iNumProbColumns) {
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
    LineIndex::const_iterator itNext = LineNumberMap.begin();
    std::string sLine;
    int iLineNumber = 1;
    while (std::getline(in, sLine)) {
        const Read* pRead = nullptr;
        if (itNext != LineNumberMap.end() && (*itNext)->lineNumber == iLineNumber) {
            pRead = *itNext;
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

