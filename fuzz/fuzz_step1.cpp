// Fuzz target: the SAM reader and Step 1. The input is the text of a SAM file; it is read
// through MultiReadCollectionMgr::BuildReadCollections and the unique reads are sorted by
// position. A refusal (InputError) is a normal outcome; what is built must be consistent. The
// reader parsing ahead on threads, in small blocks, must give what it gives on one.
#include <climits>
#include <cstdint>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "MapFileReader.h"
#include "MemoryLineSource.h"
#include "MultiReadCollectionMgr.h"

namespace {

// Positions may lie below 1 by the bases clipped at the left end.
void CheckRead(const Read& read, int iLinesRead, int iSeqLength) {
    FUZZ_CHECK(read.position >= -MAX_READ_LENGTH && read.lineNumber >= 1 && read.lineNumber <= iLinesRead);
    FUZZ_CHECK(read.strand == '+' || read.strand == '-');
    FUZZ_CHECK(read.readID[0] != '\0');
    FUZZ_CHECK(read.iLength == iSeqLength && iSeqLength >= 1 && iSeqLength <= MAX_READ_LENGTH);
    FUZZ_CHECK(read.MismatchCount() <= iSeqLength);
    int iPrevious = -1;
    for (int i = 0; i < read.MismatchCount(); ++i) {
        FUZZ_CHECK(read.Mismatch(i).position > iPrevious && read.Mismatch(i).position < iSeqLength);
        iPrevious = read.Mismatch(i).position;
    }
}

// A pair alignment joins a line of mate 1 and one of mate 2 of its read; it is as long as both.
void CheckPair(const Read& pair, const MateLines& lines, int iLinesRead) {
    const Read& first = *lines.pFirst;
    const Read& second = *lines.pSecond;
    FUZZ_CHECK(first.iMate == 1 && second.iMate == 2 && first.readID == second.readID);
    CheckRead(first, iLinesRead, first.iLength);
    CheckRead(second, iLinesRead, second.iLength);
    FUZZ_CHECK(pair.iLength == first.iLength + second.iLength);
    FUZZ_CHECK(pair.MismatchCount() == first.MismatchCount() + second.MismatchCount());
}

void CheckCollections(MultiReadCollectionMgr& collections, int64_t iAccepted) {
    FUZZ_CHECK(iAccepted + collections.Rejections().Total() <= collections.LinesRead());
    std::size_t iFiled = 0;
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k) {
        for (const MultiRead& multiRead : collections.Container(k)) {
            FUZZ_CHECK(multiRead.Size() == k);
            std::set<const Read*> lines;  // of a pair read, each filed once however many pairs hold it
            for (int j = 0; j < k; ++j) {
                if (!multiRead.IsPair()) {
                    CheckRead(multiRead.Reads(j), collections.LinesRead(), multiRead.Reads(0).iLength);
                    continue;
                }
                CheckPair(multiRead.Reads(j), multiRead.pJoins[j], collections.LinesRead());
                lines.insert(multiRead.pJoins[j].pFirst);
                lines.insert(multiRead.pJoins[j].pSecond);
            }
            iFiled += multiRead.IsPair() ? lines.size() : static_cast<std::size_t>(k);
        }
    }
    const KeptLines& kept = collections.Kept();
    FUZZ_CHECK(iFiled == kept.MultireadLines().size() && kept.Size() <= iAccepted);
    FUZZ_CHECK(static_cast<std::size_t>(kept.UniqueCount()) == collections.Uniques().Size());
    KeptLines::Cursor cursor(kept);
    int64_t iLine = 0, iPrevious = 0;
    const Read* pRead = nullptr;
    while (cursor.Next(iLine, pRead)) {
        FUZZ_CHECK(iPrevious < iLine && iLine <= collections.LinesRead());
        FUZZ_CHECK(pRead == nullptr || pRead->lineNumber == iLine);
        iPrevious = iLine;
    }
}

// The unique reads ascend by position, each with its mismatches inside its bases.
void CheckSorted(const UniqueReads& uniques) {
    for (std::size_t i = 0; i < uniques.Size(); ++i) {
        const UniqueRead& u = uniques[i];
        FUZZ_CHECK(i == 0 || uniques[i - 1].position <= u.position);
        FUZZ_CHECK(u.iLength >= 1 && u.iMismatchCount <= u.iLength);
        for (int j = 0; j < u.iMismatchCount; ++j)
            FUZZ_CHECK(uniques.MismatchesOf(u)[j].position >= 0 && uniques.MismatchesOf(u)[j].position < u.iLength);
    }
}

// Everything the reader gives for a text, its refusal included, as one text.
std::string ReaderTranscript(const std::string& sText, int iThreads, std::size_t iBlockBytes) {
    MemoryLineSource source(sText);
    MapFileReader reader(source, "fuzz.sam", iThreads, iBlockBytes);
    std::string s;
    int iRejected = 0;
    try {
        for (Read read; reader.Read_a_Line(read, iRejected);) {
            s += std::to_string(read.lineNumber) + read.strand + std::to_string(read.iMate) + read.readID + "\t" +
                 read.chromosome + "\t" + std::to_string(read.position) + "\t" + read.quality + "\t";
            for (int i = 0; i < read.MismatchCount(); ++i) s += std::to_string(read.Mismatch(i).position) + ",";
            const AlignedSpan span = reader.LastAlignedSpan();
            s += std::to_string(span.iFirst) + ":" + std::to_string(span.iCount) + "\n";
        }
    } catch (const InputError& error) {
        s += error.what();
    }
    for (int i = 0; i < REJECT_REASON_COUNT; ++i)
        s += std::to_string(reader.Rejections().aiCount[i]) + "@" + std::to_string(reader.Rejections().aiFirstLine[i]);
    return s + std::to_string(reader.LinesRead()) + std::to_string(reader.SawMismatchTag());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    const std::string sText(reinterpret_cast<const char*>(pData), iSize);
    FUZZ_CHECK(ReaderTranscript(sText, 3, 64) == ReaderTranscript(sText, 1, PARSED_BLOCK_BYTES));
    MemoryLineSource source(sText);
    // One collection for all inputs: each build starts from scratch, and making its tables anew
    // for every input would take most of the time.
    static MultiReadCollectionMgr collections(2, 2);
    collections.error_score.clear();
    std::string sError;
    int64_t iAccepted = 0;
    try {
        iAccepted = collections.BuildReadCollections(source, "fuzz.sam", sError);
    } catch (const InputError&) {
        return 0;
    }
    if (iAccepted == 0) return 0;
    CheckCollections(collections, iAccepted);
    CheckSorted(collections.Uniques());
    return 0;
}
