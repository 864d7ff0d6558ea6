#include "MultiReadCollectionMgr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "Logger.h"
#include "PlainLineSource.h"
#include "RadixSort.h"
#include "utils.h"

namespace {

const int MAX_ALIGNMENTS = 5;
const int MAX_MISMATCH_LIMIT = 3;

// Copies the N Reads of tmp into a new MultiRead_t<N> in the arena and indexes them by line.
template <int N>
MultiRead* MakeMultiRead(Arena& records, const TmpReadContainer& tmp, LineIndex& lineIndex) {
    MultiRead_t<N>* pMultiRead = records.Create<MultiRead_t<N>>();
    for (int i = 0; i < N; ++i) {
        Read& read = pMultiRead->Reads(i);
        read = tmp[i];
        lineIndex.push_back(&read);
    }
    return pMultiRead;
}

// Fisher-Yates with the C library's unseeded rand(), continued across containers.
void ShuffleContainer(std::vector<MultiRead*>& container) {
    for (std::size_t i = 1; i < container.size(); ++i) {
        std::size_t j = static_cast<std::size_t>(std::rand()) % (i + 1);
        std::swap(container[i], container[j]);
    }
}

}  // namespace

MultiReadCollectionMgr::MultiReadCollectionMgr(int maxMismatches, int extraMismatches)
    : maxMismatchesForTopHits(maxMismatches),
      extraMismatchesForAdditionalHits(extraMismatches),
      groupStart{0, 0},
      afterGroupName{0, 0},
      pGroupName(nullptr),
      iFiledCount(0),
      iLinesRead(0),
      iReadLength(0) {}

MultiReadCollectionMgr::~MultiReadCollectionMgr() { DeleteMap_xs(); }

int64_t MultiReadCollectionMgr::BuildReadCollections(const std::string& samFileName, std::string& errorMessage) {
    PlainLineSource source(samFileName);
    return BuildReadCollections(source, samFileName, errorMessage);
}

// A new read ID starts a group; whether it had started one before is checked at the end.
void MultiReadCollectionMgr::StartGroup(const Read& read) {
    seenReadIds.Add(read.readID, read.lineNumber);
    groupStart = texts.GetMark();
    pGroupName = texts.StoreText(read.readID);
    afterGroupName = texts.GetMark();
}

// Applies the keep rules and keeps only the texts that the filed alignments still need: none
// for a dropped read, the name alone for a unique read (its quality has been counted for the
// error scores by then).
void MultiReadCollectionMgr::FileGroup(TmpReadContainer& tmp) {
    iFiledCount = 0;
    ProcessCurrentTmpContainer(tmp);
    tmp.clear();
    if (iFiledCount == 0) {
        texts.Rewind(groupStart);
    } else if (iFiledCount == 1) {
        Read& unique = map_1.back()->Reads(0);
        errorCounts.Add(unique);
        unique.quality = "";
        texts.Rewind(afterGroupName);
    }
}

int64_t MultiReadCollectionMgr::BuildReadCollections(LineSource& source, const std::string& sFileName,
                                                     std::string& errorMessage) {
    DeleteMap_xs();
    errorMessage.clear();
    sInputName = sFileName;
    seenReadIds.Clear();
    references.Clear();
    errorCounts = ErrorScoreCounter();
    MapFileReader reader(source, sFileName);
    const bool bLengthFound = reader.GetSequenceLenFromSAMFile(errorMessage);
    iReadLength = reader.ReadLength();
    if (!bLengthFound) {
        rejections = reader.Rejections();
        iLinesRead = reader.LinesRead();
        return 0;
    }

    int iRejected = 0;
    int64_t iAccepted = 0;
    Read read;
    TmpReadContainer tmp;
    tmp.reserve(16);
    pGroupName = nullptr;
    while (reader.Read_a_Line(read, iRejected)) {
        ++iAccepted;
        if (pGroupName == nullptr || std::strcmp(read.readID, pGroupName) != 0) {
            if (!tmp.empty()) FileGroup(tmp);
            StartGroup(read);
        }
        Read stored = read;
        stored.readID = pGroupName;
        stored.chromosome = references.Intern(read.chromosome);
        stored.quality = texts.StoreText(read.quality);
        tmp.push_back(stored);
    }
    if (!tmp.empty()) FileGroup(tmp);
    rejections = reader.Rejections();
    iLinesRead = reader.LinesRead();
    reader.LogSuppressedWarnings();

    RefuseUngroupedFile();
    if (!reader.SawMismatchTag() && rejections.Count(RejectReason::NoMdTag) > 0) {
        std::ostringstream message;
        message << "the SAM file (" << sInputName << "), line " << rejections.aiFirstLine[static_cast<int>(RejectReason::NoMdTag)]
                << ": not a single alignment line has an MD:Z tag, and KORVEX reads the mismatches of each "
                   "alignment from it; add MD tags, for example with `samtools calmd`.";
        throw InputError(message.str());
    }

    LogRejections(iRejected);
    errorCounts.Finish(error_score);
    ShuffleMultiReadContainers();
    return iAccepted;
}

// A read ID that starts a second group: the file is not grouped by read, and the model would
// take the groups for two reads.
void MultiReadCollectionMgr::RefuseUngroupedFile() {
    int iFirstLine = 0;
    const int iLine = seenReadIds.FirstReappearance(iFirstLine);
    if (iLine == 0) return;
    std::ostringstream message;
    message << "the SAM file (" << sInputName << "), line " << iLine << ": the read whose alignments start on line "
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

void MultiReadCollectionMgr::ShuffleMultiReadContainers() {
    ShuffleContainer(map_2);
    ShuffleContainer(map_3);
    ShuffleContainer(map_4);
    ShuffleContainer(map_5);
}

std::vector<MultiRead*>& MultiReadCollectionMgr::GetReadMap(int mapNumber) {
    switch (mapNumber) {
        case 1: return map_1;
        case 2: return map_2;
        case 3: return map_3;
        case 4: return map_4;
        case 5: return map_5;
        default: break;
    }
    std::ostringstream message;
    message << "GetReadMap: MapNumber (" << mapNumber << ") was not between 1 and 5 inclusive.\n";
    throw std::runtime_error(message.str());
}

void MultiReadCollectionMgr::ProcessCurrentTmpContainer(TmpReadContainer& tmp) {
    int iBest = 1000;
    for (const Read& read : tmp) iBest = std::min(iBest, read.MismatchCount());
    if (iBest > maxMismatchesForTopHits) return;
    const int iLimit = std::min(iBest + extraMismatchesForAdditionalHits, MAX_MISMATCH_LIMIT);
    tmp.erase(std::remove_if(tmp.begin(), tmp.end(),
                             [iLimit](const Read& read) { return read.MismatchCount() > iLimit; }),
              tmp.end());
    const int iCount = static_cast<int>(tmp.size());
    if (iCount > MAX_ALIGNMENTS) return;
    PutReadsIntoProperContainer(iCount, tmp);
}

void MultiReadCollectionMgr::PutReadsIntoProperContainer(int count, TmpReadContainer& tmp) {
    if (count > static_cast<int>(tmp.size())) return;
    switch (count) {
        case 1: map_1.push_back(MakeMultiRead<1>(records, tmp, LineNumberMap)); break;
        case 2: map_2.push_back(MakeMultiRead<2>(records, tmp, LineNumberMap)); break;
        case 3: map_3.push_back(MakeMultiRead<3>(records, tmp, LineNumberMap)); break;
        case 4: map_4.push_back(MakeMultiRead<4>(records, tmp, LineNumberMap)); break;
        case 5: map_5.push_back(MakeMultiRead<5>(records, tmp, LineNumberMap)); break;
        default: return;
    }
    iFiledCount = count;
}

// The MultiReads live in the records arena and own nothing, so they are dropped all at once.
void MultiReadCollectionMgr::DeleteMap_xs() {
    for (int iMap = 1; iMap <= MAX_ALIGNMENTS; ++iMap) GetReadMap(iMap).clear();
    LineNumberMap.clear();
    records.Clear();
    texts.Clear();
}

std::vector<int> SortUniqueReadsByPosition(std::vector<MultiRead*>& map_1) {
    // One 64-bit key per read: the position (shifted to be unsigned) above the read's index,
    // so equal positions keep their order and no comparison touches a MultiRead.
    std::vector<uint64_t> vKeys(map_1.size());
    for (std::size_t i = 0; i < map_1.size(); ++i) {
        uint64_t iPosition = static_cast<uint64_t>(static_cast<int64_t>(map_1[i]->Reads(0).position) + INT32_MAX + 1);
        vKeys[i] = (iPosition << 32) | i;
    }
    RadixSort(vKeys, [](uint64_t iKey) { return iKey >> 32; });  // stable: equal positions keep their order
    std::vector<MultiRead*> vSorted(map_1.size());
    std::vector<int> vPositions(map_1.size());
    for (std::size_t i = 0; i < vKeys.size(); ++i) {
        vSorted[i] = map_1[vKeys[i] & 0xffffffffu];
        vPositions[i] = static_cast<int>(static_cast<int64_t>(vKeys[i] >> 32) - INT32_MAX - 1);
    }
    map_1.swap(vSorted);
    return vPositions;
}
