#include "MultiReadCollectionMgr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "ErrorScore.h"
#include "Logger.h"
#include "utils.h"

namespace {

const int MAX_ALIGNMENTS = 5;
const int MAX_MISMATCH_LIMIT = 3;

// Copies the N Reads of tmp into a new MultiRead_t<N> and indexes them by line number.
// The caller owns the result.
template <int N>
MultiRead* MakeMultiRead(const TmpReadContainer& tmp, std::map<int, Read*>& LineNumberMap) {
    MultiRead_t<N>* pMultiRead = new MultiRead_t<N>;
    for (int i = 0; i < N; ++i) {
        Read& read = pMultiRead->Reads(i);
        read = tmp[i];
        LineNumberMap.insert_or_assign(LineNumberMap.end(), read.lineNumber, &read);
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
    : maxMismatchesForTopHits(maxMismatches), extraMismatchesForAdditionalHits(extraMismatches) {}

MultiReadCollectionMgr::~MultiReadCollectionMgr() { DeleteMap_xs(); }

int64_t MultiReadCollectionMgr::BuildReadCollections(std::string samFileName, bool writeMapFiles,
                                                     std::string& errorMessage) {
    DeleteMap_xs();
    errorMessage.clear();
    int iRejected = 0;
    int64_t iAccepted = 0;

    reader.SetFileName(samFileName);
    reader.OpenFile();
    bool bHaveLength = reader.GetSequenceLenFromSAMFile(errorMessage);
    reader.CloseFile();
    if (!bHaveLength) return 0;
    reader.OpenFile();  // reading and line numbering start again at the first line

    Read read;
    read.probability[0] = read.probability[1] = 0.0;
    TmpReadContainer tmp;
    tmp.reserve(16);
    char acPreviousID[sizeof(read.readID)] = "";
    while (reader.Read_a_Line(read, iRejected)) {
        ++iAccepted;
        bool bNewID = std::strcmp(read.readID, acPreviousID) != 0;
        if (bNewID && acPreviousID[0] != '\0') {
            ProcessCurrentTmpContainer(tmp);
            tmp.clear();
        }
        tmp.push_back(read);
        std::memcpy(acPreviousID, read.readID, sizeof(acPreviousID));
    }
    if (!tmp.empty()) {
        ProcessCurrentTmpContainer(tmp);
        tmp.clear();
    }

    std::ostringstream message;
    message << "BuildReadCollections: " << iRejected << " lines were rejected because of non-standard format."
            << std::endl
            << std::endl;
    GetLogger()->Write(message, true);

    calc_error_score(map_1, error_score);
    std::cout << std::endl;
    ShuffleMultiReadContainers();

    if (writeMapFiles) {
        message << "BuildReadCollections: Writing the map_x files to disk....." << std::endl;
        GetLogger()->Write(message, true);
        OutputThe_Map_x_Files();
        message << "BuildReadCollections: Finished writing the map_x files to disk." << std::endl;
        GetLogger()->Write(message, true);
    }
    return iAccepted;
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
        case 1: map_1.push_back(MakeMultiRead<1>(tmp, LineNumberMap)); break;
        case 2: map_2.push_back(MakeMultiRead<2>(tmp, LineNumberMap)); break;
        case 3: map_3.push_back(MakeMultiRead<3>(tmp, LineNumberMap)); break;
        case 4: map_4.push_back(MakeMultiRead<4>(tmp, LineNumberMap)); break;
        case 5: map_5.push_back(MakeMultiRead<5>(tmp, LineNumberMap)); break;
        default: break;
    }
}

void MultiReadCollectionMgr::OutputThe_Map_x_Files() {
    Output_a_map_x_file("map_1_contents.txt", map_1);
    Output_a_map_x_file("map_2_contents.txt", map_2);
    Output_a_map_x_file("map_3_contents.txt", map_3);
    Output_a_map_x_file("map_4_contents.txt", map_4);
    Output_a_map_x_file("map_5_contents.txt", map_5);
}

void MultiReadCollectionMgr::Output_a_map_x_file(std::string fileName, const std::vector<MultiRead*>& container) {
    std::ofstream out(fileName.c_str(), std::ios::out | std::ios::trunc);
    if (!out) return;
    for (const MultiRead* pMultiRead : container) {
        for (int i = 0; i < pMultiRead->Size(); ++i) {
            const Read& read = pMultiRead->Reads(i);
            out << read.lineNumber << '\t' << read.readID << '\t' << read.strand << '\t' << read.chromosome << '\t'
                << read.position << '\t';
            for (const ReadMismatch& mismatch : read.vMismatches)
                if (mismatch.position >= 0) out << '[' << mismatch.position << ',' << mismatch.qualityChar << ']';
            out << std::endl;
        }
    }
}

void MultiReadCollectionMgr::DeleteMap_xs() {
    for (int iMap = 1; iMap <= MAX_ALIGNMENTS; ++iMap) {
        std::vector<MultiRead*>& container = GetReadMap(iMap);
        for (MultiRead* pMultiRead : container) delete pMultiRead;
        container.clear();
    }
}
