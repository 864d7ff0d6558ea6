#include "ErrorScore.h"

#include <iostream>

namespace {

// One counter per possible character value; bSeen tells which have a Count.
struct CountTable {
    Count aCounts[256];
    bool abSeen[256];
};

int Index(char c) { return static_cast<unsigned char>(c); }

void CountQualityText(const Read& read, CountTable& table) {
    const int iLength = read.QualityLength();  // never past the 121-byte field
    for (int i = 0; i < iLength; ++i) {
        int iIndex = Index(read.quality[i]);
        table.abSeen[iIndex] = true;
        ++table.aCounts[iIndex].iTotal;
    }
}

void CountMismatches(const Read& read, CountTable& table) {
    for (const ReadMismatch& mismatch : read.vMismatches) {
        if (mismatch.position == -1) continue;
        int iIndex = Index(mismatch.qualityChar);
        if (!table.abSeen[iIndex]) {
            std::cout << "calc_error_score: Error:  Character (" << mismatch.qualityChar << ") at  position: ("
                      << mismatch.position
                      << ") in vMismatches array in Read structure is not in the error_score map." << std::endl;
            continue;
        }
        ++table.aCounts[iIndex].iMismatches;
    }
}

}  // namespace

void calc_error_score(std::vector<MultiRead*>& uniqueReads, std::map<char, double>& error_score) {
    CountTable table = {};
    for (const MultiRead* pMultiRead : uniqueReads) {
        const Read& read = pMultiRead->Reads(0);
        CountQualityText(read, table);
        CountMismatches(read, table);
    }
    for (int iValue = -128; iValue < 128; ++iValue) {
        char c = static_cast<char>(iValue);
        if (!table.abSeen[Index(c)]) continue;
        const Count& count = table.aCounts[Index(c)];
        double dScore = static_cast<double>(count.iMismatches) / static_cast<double>(count.iTotal);
        error_score[c] = (dScore >= 1.0) ? 0.99 : dScore;
    }
}
