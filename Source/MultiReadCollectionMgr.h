#ifndef KORVEX_MULTIREADCOLLECTIONMGR_H
#define KORVEX_MULTIREADCOLLECTIONMGR_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "MapFileReader.h"
#include "Read.h"

// The alignments of one read ID while they are gathered, as copies in file order.
// Held by value so that gathering a group allocates nothing once the vector has grown.
typedef std::vector<Read> TmpReadContainer;

// Reads the SAM file and files each read ID's kept alignments as a MultiRead_t<N>
// into map_N. Owns every MultiRead; single-threaded.
class MultiReadCollectionMgr {
public:
    MultiReadCollectionMgr(int maxMismatchesForTopHits, int extraMismatchesForAdditionalHits);
    virtual ~MultiReadCollectionMgr();

    int64_t BuildReadCollections(std::string samFileName, bool writeMapFiles, std::string& errorMessage);
    std::vector<MultiRead*>& GetReadMap(int mapNumber);
    void ProcessCurrentTmpContainer(TmpReadContainer& tmp);
    void PutReadsIntoProperContainer(int count, TmpReadContainer& tmp);
    void OutputThe_Map_x_Files();
    void Output_a_map_x_file(std::string fileName, const std::vector<MultiRead*>& container);
    void DeleteMap_xs();

    // Why the SAM file could not be opened or read to its end; empty when it was.
    const std::string& FileError() const { return reader.StreamError(); }

private:
    void ShuffleMultiReadContainers();

    MapFileReader reader;
    int maxMismatchesForTopHits;
    int extraMismatchesForAdditionalHits;

public:
    // Owning: deleted by DeleteMap_xs. Workers only write probability values of their own jobs.
    std::vector<MultiRead*> map_1;
    std::vector<MultiRead*> map_2;
    std::vector<MultiRead*> map_3;
    std::vector<MultiRead*> map_4;
    std::vector<MultiRead*> map_5;
    // Not owning: SAM line number to the Read inside its MultiRead.
    std::map<int, Read*> LineNumberMap;
    std::map<char, double> error_score;
};

#endif
