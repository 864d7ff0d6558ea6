#include "MultiReadCollectionMgr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "FreeMemory.h"
#include "Logger.h"
#include "PlainLineSource.h"

namespace {

// Copies the first iCount Reads of tmp side by side into the arena and indexes them by line.
MultiRead MakeMultiRead(Arena& records, const TmpReadContainer& tmp, int iCount, LineIndex& lineIndex) {
    Read* pReads = static_cast<Read*>(records.Allocate(sizeof(Read) * iCount, alignof(Read)));
    for (int i = 0; i < iCount; ++i) {
        Read* pRead = new (pReads + i) Read(tmp[i]);
        lineIndex.push_back(pRead);
    }
    return MultiRead{pReads, iCount};
}

// Fisher-Yates with the C library's unseeded rand(), continued across containers.
void ShuffleContainer(MultiReadContainer& container) {
    for (std::size_t i = 1; i < container.size(); ++i) {
        std::size_t j = static_cast<std::size_t>(std::rand()) % (i + 1);
        std::swap(container[i], container[j]);
    }
}

}  // namespace

MultiReadCollectionMgr::MultiReadCollectionMgr(int maxMismatches, int extraMismatches, int iMaxAlignments,
                                               int iMaxFragment)
    : limits{maxMismatches, extraMismatches, iMaxAlignments},
      iMaxFragmentLength(iMaxFragment),
      groupStart{0, 0},
      groupMismatches{0, 0},
      pGroupName(nullptr),
      iFiledCount(0),
      iReadsWithSeveralAlignments(0),
      iLinesRead(0),
      vContainers(static_cast<std::size_t>(iMaxAlignments) + 1) {}

MultiReadCollectionMgr::~MultiReadCollectionMgr() { ClearContainers(); }

int64_t MultiReadCollectionMgr::BuildReadCollections(const std::string& samFileName, std::string& errorMessage) {
    PlainLineSource source(samFileName);
    return BuildReadCollections(source, samFileName, errorMessage);
}

// A new read ID starts a group; whether it had started one before is checked at the end.
void MultiReadCollectionMgr::StartGroup(const Read& read) {
    seenReadIds.Add(read.readID, read.lineNumber);
    groupStart = texts.GetMark();
    pGroupName = texts.StoreText(read.readID);
    groupMismatches = mismatches.GetMark();
    for (int& iLength : aiGroupLengths) iLength = 0;
}

// The reader knows a read's length from the read's latest run of lines; a line of another
// read that it rejects between two lines of one read starts a run, so the read's later lines
// could take another length. The group is the read's accepted lines, so its first line of each
// mate fixes the length, and a later line of another length is rejected as the reader would
// have rejected it.
bool MultiReadCollectionMgr::HasLengthOfItsGroup(const Read& read) {
    int& iLength = aiGroupLengths[read.iMate];
    if (iLength == 0) iLength = read.iLength;
    return read.iLength == iLength;
}

// A copy of the read's mismatches in the arena; none is needed for a read without.
const ReadMismatch* MultiReadCollectionMgr::StoreMismatches(const Read& read) {
    if (read.iMismatchCount == 0) return nullptr;
    const std::size_t iBytes = sizeof(ReadMismatch) * read.iMismatchCount;
    void* pCopy = mismatches.Allocate(iBytes, alignof(ReadMismatch));
    std::memcpy(pCopy, read.pMismatches, iBytes);
    return static_cast<const ReadMismatch*>(pCopy);
}

// Applies the keep rules and keeps only the texts that the filed alignments still need: none
// for a dropped read nor for a unique read, which the unique reads hold a copy of (its quality
// has been counted for the error scores by then). The mismatches of a multiread's dropped
// alignments stay unused.
void MultiReadCollectionMgr::FileGroup(TmpReadContainer& tmp) {
    if (bGroupHasMates) {
        FilePairedGroup(tmp);
        tmp.clear();
        vGroupSpans.clear();
        bGroupHasMates = false;
        return;
    }
    vGroupSpans.clear();
    iFiledCount = 0;
    ProcessCurrentTmpContainer(tmp);
    tmp.clear();
    if (iFiledCount <= 1) ReleaseGroupTexts();
}

// Forgets the texts and mismatches of the group being filed: nothing filed points to them.
void MultiReadCollectionMgr::ReleaseGroupTexts() {
    texts.Rewind(groupStart);
    mismatches.Rewind(groupMismatches);
}

int64_t MultiReadCollectionMgr::BuildReadCollections(LineSource& source, const std::string& sFileName,
                                                     std::string& errorMessage, int iThreads) {
    ClearContainers();
    errorMessage.clear();
    sInputName = sFileName;
    seenReadIds.Clear();
    references.Clear();
    errorCounts = ErrorScoreCounter();
    drops = KeepRuleDrops();
    iReadsWithSeveralAlignments = 0;
    iUniquePairs = iPairMultireads = 0;
    MapFileReader reader(source, sFileName, iThreads);
    int iRejected = 0;
    int64_t iAccepted = 0;
    Read read;
    TmpReadContainer tmp;
    tmp.reserve(16);
    pGroupName = nullptr;
    LineRejections groupRejections;
    while (reader.Read_a_Line(read, iRejected)) {
        if (pGroupName == nullptr || std::strcmp(read.readID, pGroupName) != 0) {
            if (!tmp.empty()) FileGroup(tmp);
            StartGroup(read);
        }
        if (!HasLengthOfItsGroup(read)) {
            groupRejections.Add(RejectReason::OtherLength, read.lineNumber);
            ++iRejected;
            continue;
        }
        ++iAccepted;
        Read stored = read;
        stored.readID = pGroupName;
        stored.chromosome = references.Intern(read.chromosome);
        stored.quality = texts.StoreText(read.quality);
        stored.pMismatches = StoreMismatches(read);
        tmp.push_back(stored);
        vGroupSpans.push_back(reader.LastAlignedSpan());
        bGroupHasMates |= read.iMate != 0;
    }
    if (!tmp.empty()) FileGroup(tmp);
    rejections = reader.Rejections();
    rejections.Merge(groupRejections);
    iLinesRead = reader.LinesRead();
    reader.LogSuppressedWarnings();
    if (!reader.SawAlignmentLine()) errorMessage = "it holds no alignment line, only header lines or none.";

    RefuseUngroupedFile(iThreads);
    if (!reader.SawMismatchTag() && rejections.Count(RejectReason::NoMdTag) > 0) {
        std::ostringstream message;
        message << DescribeSamFile(sInputName) << ", line "
                << rejections.aiFirstLine[static_cast<int>(RejectReason::NoMdTag)]
                << ": not a single alignment line has an MD:Z tag, and KORVEX reads the mismatches of each "
                   "alignment from it; add MD tags, for example with `samtools calmd`.";
        throw InputError(message.str());
    }

    LogRejections(iRejected);
    LogDrops();
    errorCounts.Finish(error_score);
    ShuffleMultiReadContainers();
    // The sort holds the unique reads twice for a moment: the read IDs are given back first.
    seenReadIds.Clear();
    ReturnFreedMemory();
    uniqueReads.SortByPosition(iThreads);
    ReturnFreedMemory();
    return iAccepted;
}

// A read ID that starts a second group: the file is not grouped by read, and the model would
// take the groups for two reads.
void MultiReadCollectionMgr::RefuseUngroupedFile(int iThreads) {
    int iFirstLine = 0;
    const int iLine = seenReadIds.FirstReappearance(iFirstLine, iThreads);
    if (iLine == 0) return;
    std::ostringstream message;
    message << DescribeSamFile(sInputName) << ", line " << iLine << ": the read whose alignments start on line "
            << iFirstLine << " appears again after other reads came between, but KORVEX needs the alignments of "
            << "each read on consecutive lines; group the alignments of each read first, for example with "
               "`samtools collate` or `samtools sort -n`.";
    throw InputError(message.str());
}

// The total, then one line per reason with its count and first line.
void MultiReadCollectionMgr::LogRejections(int iRejected) {
    std::ostringstream message;
    message << "BuildReadCollections: " << iRejected << " lines were rejected because of non-standard format."
            << std::endl;
    for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
        if (rejections.aiCount[i] == 0) continue;
        message << "BuildReadCollections:   " << rejections.aiCount[i] << " "
                << DescribeRejectReason(static_cast<RejectReason>(i)) << " (first: line " << rejections.aiFirstLine[i]
                << ")" << std::endl;
    }
    message << std::endl;
    GetLogger()->Write(message, true);
}

// The total of reads, then one line per reason with its count and first line; nothing when
// the keep rules dropped nothing.
void MultiReadCollectionMgr::LogDrops() {
    int64_t iReads = 0, iLines = 0;
    for (int i = 0; i < DROP_REASON_COUNT; ++i)
        (DropCountsReads(static_cast<DropReason>(i)) ? iReads : iLines) += drops.aiCount[i];
    if (iReads + iLines == 0) return;
    std::ostringstream message;
    message << "BuildReadCollections: " << iReads << " reads and " << iLines
            << " alignment lines of kept reads were dropped by the keep rules." << std::endl;
    for (int i = 0; i < DROP_REASON_COUNT; ++i) {
        if (drops.aiCount[i] == 0) continue;
        message << "BuildReadCollections:   " << drops.aiCount[i] << " "
                << DescribeDropReason(static_cast<DropReason>(i)) << " (first: line " << drops.aiFirstLine[i] << ")"
                << std::endl;
    }
    message << std::endl;
    GetLogger()->Write(message, true);
}

// In ascending order of N: the shuffles draw from one stream.
void MultiReadCollectionMgr::ShuffleMultiReadContainers() {
    for (int iAlignments = 2; iAlignments <= LargestAlignmentCount(); ++iAlignments)
        ShuffleContainer(Container(iAlignments));
}

void MultiReadCollectionMgr::ProcessCurrentTmpContainer(TmpReadContainer& tmp) {
    if (tmp.size() >= 2) ++iReadsWithSeveralAlignments;
    const int iCount = ApplyKeepRules(limits, tmp, drops);
    if (iCount > 0) PutReadsIntoProperContainer(iCount, tmp);
}

void MultiReadCollectionMgr::PutReadsIntoProperContainer(int count, TmpReadContainer& tmp) {
    if (count < 1 || count > LargestAlignmentCount() || count > static_cast<int>(tmp.size())) return;
    if (count == 1)
        FileUniqueLine(tmp[0]);
    else
        Container(count).push_back(MakeMultiRead(records, tmp, count, keptLines.MultireadLines()));
    iFiledCount = count;
}

void MultiReadCollectionMgr::ReleaseScoringInputs() {
    uniqueReads.Clear();
    auto forget = [](Read& read) {
        read.readID = read.quality = "";
        read.pMismatches = nullptr;
        read.iMismatchCount = 0;
    };
    for (int k = 2; k <= LargestAlignmentCount(); ++k)
        for (MultiRead& multiRead : Container(k))
            for (int j = 0; j < k; ++j) forget(multiRead.Reads(j));
    for (Read* pLine : keptLines.MultireadLines()) forget(*pLine);
    texts.Release();
    mismatches.Release();
    ReturnFreedMemory();
}

// The Reads live in the records arena and own nothing, so they are dropped all at once.
void MultiReadCollectionMgr::ClearContainers() {
    for (MultiReadContainer& container : vContainers) MultiReadContainer().swap(container);
    uniqueReads.Clear();
    keptLines.Clear();
    records.Clear();
    texts.Clear();
    mismatches.Clear();
}
