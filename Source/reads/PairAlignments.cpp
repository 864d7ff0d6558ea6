#include "PairAlignments.h"

#include <algorithm>
#include <cstring>

bool FormsPair(const MateLine& first, const MateLine& second, int iMaxFragmentLength) {
    const Read& a = *first.pRead;
    const Read& b = *second.pRead;
    if (a.strand == b.strand) return false;
    if (a.chromosome != b.chromosome && std::strcmp(a.chromosome, b.chromosome) != 0) return false;
    const AlignedSpan& forward = a.strand == '+' ? first.span : second.span;
    const AlignedSpan& reverse = a.strand == '+' ? second.span : first.span;
    if (forward.iFirst > reverse.iFirst) return false;
    const long long iFragment = std::max(forward.Last(), reverse.Last()) - forward.iFirst + 1;
    return iFragment <= iMaxFragmentLength;
}

std::vector<PairCandidate> FormPairAlignments(const std::vector<MateLine>& vFirst,
                                              const std::vector<MateLine>& vSecond, int iMaxFragmentLength) {
    std::vector<PairCandidate> vPairs;
    for (std::size_t i = 0; i < vFirst.size(); ++i)
        for (std::size_t j = 0; j < vSecond.size(); ++j) {
            if (!FormsPair(vFirst[i], vSecond[j], iMaxFragmentLength)) continue;
            const int iMismatches = std::max(vFirst[i].pRead->MismatchCount(), vSecond[j].pRead->MismatchCount());
            vPairs.push_back(PairCandidate{static_cast<int>(i), static_cast<int>(j), iMismatches});
        }
    return vPairs;
}

int LinesOfPairs(const std::vector<PairCandidate>& vPairs) {
    std::vector<char> vFirst, vSecond;  // whether each line of a mate is joined
    auto mark = [](std::vector<char>& vJoined, int iLine) {
        if (iLine >= static_cast<int>(vJoined.size())) vJoined.resize(static_cast<std::size_t>(iLine) + 1, 0);
        vJoined[static_cast<std::size_t>(iLine)] = 1;
    };
    for (const PairCandidate& pair : vPairs) {
        mark(vFirst, pair.iFirst);
        mark(vSecond, pair.iSecond);
    }
    return static_cast<int>(std::count(vFirst.begin(), vFirst.end(), 1) + std::count(vSecond.begin(), vSecond.end(), 1));
}

int KeepPairAlignments(const KeepRuleLimits& limits, std::vector<PairCandidate>& vPairs, int iFirstLine,
                       KeepRuleDrops& drops) {
    if (vPairs.empty()) return 0;
    int iBest = vPairs[0].iMismatches;
    for (const PairCandidate& pair : vPairs) iBest = std::min(iBest, pair.iMismatches);
    if (iBest > limits.iMaxMismatchesForTopHits) {
        drops.Add(DropReason::BestAboveLimit, iFirstLine, LinesOfPairs(vPairs));
        return 0;
    }
    const int iLimit = iBest + limits.iExtraMismatches;
    vPairs.erase(std::remove_if(vPairs.begin(), vPairs.end(),
                                [iLimit](const PairCandidate& pair) { return pair.iMismatches > iLimit; }),
                 vPairs.end());
    if (static_cast<int>(vPairs.size()) > limits.iMaxAlignments) {
        drops.Add(DropReason::TooManyAlignments, iFirstLine, LinesOfPairs(vPairs));
        return 0;
    }
    return static_cast<int>(vPairs.size());
}
