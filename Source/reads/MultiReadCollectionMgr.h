#ifndef KORVEX_MULTIREADCOLLECTIONMGR_H
#define KORVEX_MULTIREADCOLLECTIONMGR_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Arena.h"
#include "ErrorScore.h"
#include "KeptLines.h"
#include "KeepRules.h"
#include "LineSource.h"
#include "MapFileReader.h"
#include "PairAlignments.h"
#include "Read.h"
#include "ReadIdSet.h"
#include "ReferenceNames.h"
#include "UniqueReads.h"

// The largest number of alignments a read may keep unless the settings say otherwise (MAX_ALIGNMENTS).
const int DEFAULT_MAX_ALIGNMENTS = 5;

// Reads the SAM file and files each read ID's kept alignments: a unique read's in the unique
// reads (sorted by position at the end), two or more as a MultiRead into the container of
// their number. A pair read (lines of mate 1 and mate 2) is filed by its pair
// alignments: with one kept, each mate is a unique read; with more, a MultiRead of pair
// alignments; with none at all, each mate's lines as a single-end read. Owns every Read, every text and every mismatch of the run in
// arenas, so nothing is allocated or freed record by record; single-threaded.
class MultiReadCollectionMgr {
public:
    MultiReadCollectionMgr(int maxMismatchesForTopHits, int extraMismatchesForAdditionalHits,
                           int iMaxAlignments = DEFAULT_MAX_ALIGNMENTS,
                           int iMaxFragmentLength = DEFAULT_MAX_FRAGMENT_LENGTH);
    virtual ~MultiReadCollectionMgr();
    MultiReadCollectionMgr(const MultiReadCollectionMgr&) = delete;
    MultiReadCollectionMgr& operator=(const MultiReadCollectionMgr&) = delete;

    // Reads the lines of source (the file sFileName) and fills the containers; returns the
    // number of alignment lines accepted. errorMessage says why when the file holds no
    // alignment line at all. Throws InputError when the file cannot be read or the model cannot
    // use it (not grouped by read, paired reads, no MD tags at all). With iThreads above one the
    // lines are parsed ahead, and the read IDs and unique reads sorted, on that many threads;
    // the result is the same.
    int64_t BuildReadCollections(LineSource& source, const std::string& sFileName, std::string& errorMessage,
                                 int iThreads = 1);
    // The same for a plain text file.
    int64_t BuildReadCollections(const std::string& samFileName, std::string& errorMessage);

    // The reads with iAlignments kept alignments, 2 to LargestAlignmentCount() (MAX_ALIGNMENTS).
    MultiReadContainer& Container(int iAlignments) { return vContainers[iAlignments]; }
    const MultiReadContainer& Container(int iAlignments) const { return vContainers[iAlignments]; }
    int LargestAlignmentCount() const { return static_cast<int>(vContainers.size()) - 1; }
    // The reads with one kept alignment, sorted by position once the build is done.
    const UniqueReads& Uniques() const { return uniqueReads; }
    // The reads with iAlignments kept alignments, 1 to LargestAlignmentCount().
    std::size_t ReadCount(int iAlignments) const {
        return iAlignments == 1 ? uniqueReads.Size() : vContainers[iAlignments].size();
    }
    // Every kept alignment line, in line order.
    const KeptLines& Kept() const { return keptLines; }

    // Applies the keep rules to the alignments of one read and files those kept.
    void ProcessCurrentTmpContainer(TmpReadContainer& tmp);
    void PutReadsIntoProperContainer(int count, TmpReadContainer& tmp);
    // Forgets every container and every text.
    void ClearContainers();
    // Once the multireads are scored, the output needs only their lines and values: frees the
    // unique reads and the names, qualities and mismatches of the multireads' alignments (their
    // Reads then hold empty texts and no mismatches).
    void ReleaseScoringInputs();

    // The lines rejected by the last build, by reason, and the lines read in all.
    const LineRejections& Rejections() const { return rejections; }
    // The reads and alignment lines that the keep rules dropped in the last build, by reason.
    const KeepRuleDrops& Drops() const { return drops; }
    // The reads of the last build with two or more accepted alignment lines, kept or dropped (a
    // pair read with two or more lines of one mate).
    int64_t ReadsWithSeveralAlignments() const { return iReadsWithSeveralAlignments; }
    int LinesRead() const { return iLinesRead; }
    // Pair reads of the last build with one kept pair alignment, and with two or more.
    int64_t UniquePairs() const { return iUniquePairs; }
    int64_t PairMultireads() const { return iPairMultireads; }

    // Gives each mate line of a pair multiread the sum of the values of the pair alignments it
    // belongs to, NaN when they have none (computed by another part); single-end reads keep theirs.
    void SumPairValuesOnLines();

private:
    void StartGroup(const Read& read);
    bool HasLengthOfItsGroup(const Read& read);
    void FileGroup(TmpReadContainer& tmp);
    void RefuseUngroupedFile(int iThreads);
    void LogRejections(int iRejected);
    void LogDrops();
    const ReadMismatch* StoreMismatches(const Read& read);
    void ShuffleMultiReadContainers();
    void FilePairedGroup(TmpReadContainer& tmp);
    int FileSingleEndLines(const std::vector<MateLine>& vLines);
    int FilePairs(const std::vector<MateLine> (&avMates)[3], std::vector<PairCandidate>& vPairs,
                  const TmpReadContainer& tmp);
    void FileUniqueLine(const Read& line);
    void ReleaseGroupTexts();
    void FilePairMultiread(const std::vector<MateLine> (&avMates)[3], const std::vector<PairCandidate>& vPairs,
                           const TmpReadContainer& tmp);
    Read MakePairAlignment(const Read& first, const Read& second);

    KeepRuleLimits limits;
    int iMaxFragmentLength;
    std::vector<AlignedSpan> vGroupSpans;  // of the lines of the group being gathered
    bool bGroupHasMates = false;           // whether a line of it is a mate of a pair
    int aiGroupLengths[3] = {0, 0, 0};      // of its single-end lines, mate 1's and mate 2's; 0: none yet
    int64_t iUniquePairs = 0;
    int64_t iPairMultireads = 0;
    std::string sInputName;  // the file being read, for messages
    Arena records;         // the Reads of the MultiReads
    Arena texts;           // read IDs and the qualities of multiread alignments
    Arena mismatches;      // the mismatches of the Reads
    ReferenceNames references;
    ReadIdSet seenReadIds;
    ErrorScoreCounter errorCounts;
    Arena::Mark groupStart;     // texts of the group being gathered start here
    Arena::Mark groupMismatches;  // and its mismatches here
    const char* pGroupName;     // the read ID of that group, in texts
    int iFiledCount;            // alignments filed for the last group
    LineRejections rejections;
    KeepRuleDrops drops;
    int64_t iReadsWithSeveralAlignments;
    int iLinesRead;
    // Index N: the container of N alignments; indices 0 and 1 stay empty. Their Reads live in
    // the records arena; workers only write probability values of their own jobs.
    std::vector<MultiReadContainer> vContainers;
    UniqueReads uniqueReads;
    KeptLines keptLines;

public:
    std::map<char, double> error_score;
};

#endif
