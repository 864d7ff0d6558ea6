#ifndef KORVEX_MULTIREADCOLLECTIONMGR_H
#define KORVEX_MULTIREADCOLLECTIONMGR_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Arena.h"
#include "ErrorScore.h"
#include "LineSource.h"
#include "MapFileReader.h"
#include "Read.h"
#include "ReadIdSet.h"
#include "ReferenceNames.h"

// The alignments of one read ID while they are gathered, in file order. Their texts are
// already in the collection's arena.
typedef std::vector<Read> TmpReadContainer;

// Every kept alignment, in ascending SAM line order.
typedef std::vector<Read*> LineIndex;

// The largest number of alignments a read may keep; a read with more is dropped.
const int MAX_ALIGNMENTS_PER_READ = 5;

// Reads the SAM file and files each read ID's kept alignments as a MultiRead into the container
// of its number of alignments. Owns every Read and every text of the run in arenas, so nothing
// is allocated or freed record by record; single-threaded.
class MultiReadCollectionMgr {
public:
    MultiReadCollectionMgr(int maxMismatchesForTopHits, int extraMismatchesForAdditionalHits);
    virtual ~MultiReadCollectionMgr();
    MultiReadCollectionMgr(const MultiReadCollectionMgr&) = delete;
    MultiReadCollectionMgr& operator=(const MultiReadCollectionMgr&) = delete;

    // Reads the lines of source (the file sFileName) and fills the containers; returns the
    // number of alignment lines accepted, 0 when the read length cannot be determined
    // (errorMessage then says why). Throws InputError when the file cannot be read or the
    // model cannot use it (not grouped by read, paired reads, no MD tags at all).
    int64_t BuildReadCollections(LineSource& source, const std::string& sFileName, std::string& errorMessage);
    // The same for a plain text file.
    int64_t BuildReadCollections(const std::string& samFileName, std::string& errorMessage);

    // The reads with iAlignments kept alignments, 1 to LargestAlignmentCount().
    MultiReadContainer& Container(int iAlignments) { return vContainers[iAlignments]; }
    const MultiReadContainer& Container(int iAlignments) const { return vContainers[iAlignments]; }
    int LargestAlignmentCount() const { return static_cast<int>(vContainers.size()) - 1; }

    // Applies the keep rules to the alignments of one read and files those kept.
    void ProcessCurrentTmpContainer(TmpReadContainer& tmp);
    void PutReadsIntoProperContainer(int count, TmpReadContainer& tmp);
    // Forgets every container and every text.
    void ClearContainers();

    // The read length of the last build's file (1 to 999); 0 when it has none.
    int ReadLength() const { return iReadLength; }
    // The lines rejected by the last build, by reason, and the lines read in all.
    const LineRejections& Rejections() const { return rejections; }
    int LinesRead() const { return iLinesRead; }

private:
    void StartGroup(const Read& read);
    void FileGroup(TmpReadContainer& tmp);
    void RefuseUngroupedFile();
    void LogRejections(int iRejected);
    void ShuffleMultiReadContainers();

    int maxMismatchesForTopHits;
    int extraMismatchesForAdditionalHits;
    std::string sInputName;  // the file being read, for messages
    Arena records;         // the Reads of the MultiReads
    Arena texts;           // read IDs and the qualities of multiread alignments
    ReferenceNames references;
    ReadIdSet seenReadIds;
    ErrorScoreCounter errorCounts;
    Arena::Mark groupStart;     // texts of the group being gathered start here
    Arena::Mark afterGroupName;
    const char* pGroupName;     // the read ID of that group, in texts
    int iFiledCount;            // alignments filed for the last group
    LineRejections rejections;
    int iLinesRead;
    int iReadLength;
    // Index N: the container of N alignments; index 0 stays empty. Their Reads live in the
    // records arena; workers only write probability values of their own jobs.
    std::vector<MultiReadContainer> vContainers;

public:
    // Not owning: every kept alignment, in line order.
    LineIndex LineNumberMap;
    std::map<char, double> error_score;
};

// Sorts the unique reads by the position of their alignment, keeping the file order of equal
// positions, and returns those positions in the new order.
std::vector<int> SortUniqueReadsByPosition(MultiReadContainer& uniqueReads);

#endif
