#include "ErrorScore.h"

#include <sstream>

#include "Logger.h"

namespace {

int Index(char c) { return static_cast<unsigned char>(c); }

}  // namespace

ErrorScoreCounter::ErrorScoreCounter() : aCounts() {}

void ErrorScoreCounter::Add(const Read& read) {
    for (const char* p = read.quality; *p != '\0'; ++p) ++aCounts[Index(*p)].iTotal;
    for (int i = 0; i < read.MismatchCount(); ++i) {
        const ReadMismatch& mismatch = read.Mismatch(i);
        int iIndex = Index(mismatch.qualityChar);
        if (aCounts[iIndex].iTotal == 0) {  // a character no quality text has held so far
            std::ostringstream message;
            message << "calc_error_score: Error:  Character (" << mismatch.qualityChar << ") at  position: ("
                    << mismatch.position << ") in vMismatches array in Read structure is not in the error_score map."
                    << std::endl;
            GetLogger()->Write(message, true, LogLevel::Warning);
            continue;
        }
        ++aCounts[iIndex].iMismatches;
    }
}

void ErrorScoreCounter::Finish(std::map<char, double>& error_score) const {
    for (int iValue = -128; iValue < 128; ++iValue) {
        char c = static_cast<char>(iValue);
        const Count& count = aCounts[Index(c)];
        if (count.iTotal == 0) continue;
        double dScore = static_cast<double>(count.iMismatches) / static_cast<double>(count.iTotal);
        error_score[c] = (dScore >= 1.0) ? 0.99 : dScore;
    }
}
