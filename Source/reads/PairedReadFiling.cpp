// How MultiReadCollectionMgr files the lines of a pair read, and how the values of its pair
// alignments reach its lines.
#include <algorithm>
#include <cstring>

#include "MultiReadCollectionMgr.h"

namespace {

// Whether each line of a mate belongs to one of the pair alignments (by mate 1's side or mate 2's).
std::vector<char> LinesInPairs(std::size_t iLines, const std::vector<PairCandidate>& vPairs, bool bFirst) {
    std::vector<char> vIn(iLines, 0);
    for (const PairCandidate& pair : vPairs) vIn[bFirst ? pair.iFirst : pair.iSecond] = 1;
    return vIn;
}

}  // namespace

// The lines of a read with mates: mate 1's and mate 2's lines as pair alignments (or each mate
// as a single-end read when they form none), lines without a mate flag as a single-end read.
// The texts of the group are kept only as far as the filed alignments need them.
void MultiReadCollectionMgr::FilePairedGroup(TmpReadContainer& tmp) {
    LineIndex& vMultireadLines = keptLines.MultireadLines();
    const std::size_t iIndexedBefore = vMultireadLines.size();
    std::vector<MateLine> avMates[3];
    for (std::size_t i = 0; i < tmp.size(); ++i)
        avMates[tmp[i].iMate].push_back(MateLine{&tmp[i], vGroupSpans[i], static_cast<int>(i)});

    int iLargest = 0;  // the most alignments filed for one read of the group
    std::vector<PairCandidate> vPairs = FormPairAlignments(avMates[1], avMates[2], iMaxFragmentLength);
    if (vPairs.empty()) {
        iLargest = std::max(FileSingleEndLines(avMates[1]), FileSingleEndLines(avMates[2]));
    } else {
        iLargest = FilePairs(avMates, vPairs, tmp);
    }
    iLargest = std::max(iLargest, FileSingleEndLines(avMates[0]));

    // Mate lines were filed mate by mate: the index stays in line order.
    std::sort(vMultireadLines.begin() + static_cast<std::ptrdiff_t>(iIndexedBefore), vMultireadLines.end(),
              [](const Read* pA, const Read* pB) { return pA->lineNumber < pB->lineNumber; });
    if (iLargest <= 1) ReleaseGroupTexts();  // unique reads hold copies of what they need
}

// The lines of one mate (or of a single-end read) under the keep rules for single-end reads;
// returns how many were filed.
int MultiReadCollectionMgr::FileSingleEndLines(const std::vector<MateLine>& vLines) {
    if (vLines.empty()) return 0;
    TmpReadContainer lines;
    for (const MateLine& line : vLines) lines.push_back(*line.pRead);
    iFiledCount = 0;
    ProcessCurrentTmpContainer(lines);
    return iFiledCount;
}

// The pair alignments of a read under the keep rules; every mate line left without a kept pair
// alignment is counted by its reason, the lines of a dropped read with the read. Returns how many
// were filed as a read's alignments: 1 for a unique pair (its mates are unique reads), N for a
// pair multiread, 0 for a dropped read.
int MultiReadCollectionMgr::FilePairs(const std::vector<MateLine> (&avMates)[3], std::vector<PairCandidate>& vPairs,
                                      const TmpReadContainer& tmp) {
    // The aligner reported other places of this read when a mate has two or more lines.
    if (avMates[1].size() >= 2 || avMates[2].size() >= 2) ++iReadsWithSeveralAlignments;
    const std::vector<char> avFormed[2] = {LinesInPairs(avMates[1].size(), vPairs, true),
                                           LinesInPairs(avMates[2].size(), vPairs, false)};
    const int iKept = KeepPairAlignments(limits, vPairs, tmp[0].lineNumber, drops);
    const std::vector<char> avKept[2] = {LinesInPairs(avMates[1].size(), vPairs, true),
                                         LinesInPairs(avMates[2].size(), vPairs, false)};
    for (int iMate = 1; iMate <= 2; ++iMate)
        for (std::size_t i = 0; i < avMates[iMate].size(); ++i) {
            const int iLine = avMates[iMate][i].pRead->lineNumber;
            if (!avFormed[iMate - 1][i]) drops.Add(DropReason::MateInNoPair, iLine);
            else if (!avKept[iMate - 1][i]) drops.Add(DropReason::AboveBestPlusExtra, iLine);
        }
    if (iKept == 1) {
        FileUniqueLine(*avMates[1][vPairs[0].iFirst].pRead);
        FileUniqueLine(*avMates[2][vPairs[0].iSecond].pRead);
        ++iUniquePairs;
    } else if (iKept > 1) {
        FilePairMultiread(avMates, vPairs, tmp);
        ++iPairMultireads;
    }
    return iKept;
}

// A unique read, or a mate of a unique pair: its quality counted for the error scores, a copy of
// what the evidence needs kept, and its line known as kept.
void MultiReadCollectionMgr::FileUniqueLine(const Read& line) {
    errorCounts.Add(line);
    uniqueReads.Add(line);
    keptLines.AddUnique(line.lineNumber);
}

// The kept pair alignments of a read as one MultiRead, and copies of the lines they join, which
// receive their values.
void MultiReadCollectionMgr::FilePairMultiread(const std::vector<MateLine> (&avMates)[3],
                                               const std::vector<PairCandidate>& vPairs,
                                               const TmpReadContainer& tmp) {
    std::vector<char> vUsed(tmp.size(), 0);
    for (const PairCandidate& pair : vPairs) {
        vUsed[avMates[1][pair.iFirst].iIndex] = 1;
        vUsed[avMates[2][pair.iSecond].iIndex] = 1;
    }
    std::vector<Read*> vCopies(tmp.size(), nullptr);
    for (std::size_t i = 0; i < tmp.size(); ++i) {
        if (!vUsed[i]) continue;
        vCopies[i] = new (records.Allocate(sizeof(Read), alignof(Read))) Read(tmp[i]);
        keptLines.MultireadLines().push_back(vCopies[i]);
    }
    const int N = static_cast<int>(vPairs.size());
    Read* pAlignments = static_cast<Read*>(records.Allocate(sizeof(Read) * N, alignof(Read)));
    MateLines* pJoins = static_cast<MateLines*>(records.Allocate(sizeof(MateLines) * N, alignof(MateLines)));
    for (int j = 0; j < N; ++j) {
        Read* pFirst = vCopies[avMates[1][vPairs[j].iFirst].iIndex];
        Read* pSecond = vCopies[avMates[2][vPairs[j].iSecond].iIndex];
        pJoins[j] = MateLines{pFirst, pSecond};
        new (pAlignments + j) Read(MakePairAlignment(*pFirst, *pSecond));
    }
    Container(N).push_back(MultiRead{pAlignments, N, pJoins});
}

// One alignment of L1 + L2 read positions: mate 1's (its own line's texts and position) then
// mate 2's, with their qualities and mismatches one after the other in the arenas.
Read MultiReadCollectionMgr::MakePairAlignment(const Read& first, const Read& second) {
    Read pair = first;
    pair.iMate = 1;
    pair.iLength = static_cast<int16_t>(first.iLength + second.iLength);
    char* pQuality = static_cast<char*>(texts.Allocate(static_cast<std::size_t>(pair.iLength) + 1, 1));
    std::memcpy(pQuality, first.quality, static_cast<std::size_t>(first.iLength));
    std::memcpy(pQuality + first.iLength, second.quality, static_cast<std::size_t>(second.iLength));
    pQuality[pair.iLength] = '\0';
    pair.quality = pQuality;
    pair.iMismatchCount = static_cast<uint16_t>(first.iMismatchCount + second.iMismatchCount);
    ReadMismatch* pMismatches = static_cast<ReadMismatch*>(
        mismatches.Allocate(sizeof(ReadMismatch) * std::max<std::size_t>(pair.iMismatchCount, 1), alignof(ReadMismatch)));
    std::copy(first.pMismatches, first.pMismatches + first.iMismatchCount, pMismatches);
    for (int i = 0; i < second.iMismatchCount; ++i) {
        const ReadMismatch& mismatch = second.pMismatches[i];
        pMismatches[first.iMismatchCount + i] =
            ReadMismatch(static_cast<int16_t>(mismatch.position + first.iLength), mismatch.qualityChar);
    }
    pair.pMismatches = pMismatches;
    return pair;
}

void MultiReadCollectionMgr::SumPairValuesOnLines() {
    for (int k = 2; k <= LargestAlignmentCount(); ++k)
        for (MultiRead& m : Container(k)) {
            if (!m.IsPair()) continue;
            for (int j = 0; j < k; ++j)
                for (Read* pLine : {m.pJoins[j].pFirst, m.pJoins[j].pSecond})
                    pLine->probability[0] = pLine->probability[1] = 0.0;
            // In the order of the pair alignments, so every run adds the same values in the same order.
            for (int j = 0; j < k; ++j)
                for (Read* pLine : {m.pJoins[j].pFirst, m.pJoins[j].pSecond})
                    for (int c = 0; c < 2; ++c) pLine->probability[c] += m.Reads(j).probability[c];
        }
}
