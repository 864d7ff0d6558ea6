#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <stdexcept>
#include "Korvex.h"
#include "TestHelpers.h"

// Every field of a Read as one text; the texts are printed up to their terminators.
static std::string Fields(const Read& read) {
    std::ostringstream out;
    out << read.readID << '|' << read.chromosome << '|' << read.quality << '|' << read.position << ' '
        << read.lineNumber << ' ' << read.strand << ' ' << read.probability[0] << ' ' << read.probability[1];
    for (const ReadMismatch& mismatch : read.vMismatches) out << ' ' << mismatch.position << mismatch.qualityChar;
    return out.str();
}

TEST(MultiRead, SizesIndexErrorsAndPositionOrder) {
    // Every access goes through the base pointer, as the collections hold them; the bare base holds nothing.
    const std::unique_ptr<MultiRead> multis[] = {
        std::make_unique<MultiRead>(),        std::make_unique<MultiRead_t<1>>(), std::make_unique<MultiRead_t<2>>(),
        std::make_unique<MultiRead_t<3>>(), std::make_unique<MultiRead_t<4>>(), std::make_unique<MultiRead_t<5>>()};
    for (int iSize = 0; iSize <= 5; ++iSize) {
        MultiRead& multi = *multis[iSize];
        const MultiRead& constMulti = multi;
        EXPECT_EQ(multi.Size(), iSize);
        for (int i = 0; i < iSize; ++i) multi.Reads(i).position = 100 * iSize + i;
        for (int i = 0; i < iSize; ++i) EXPECT_EQ(constMulti.Reads(i).position, 100 * iSize + i);
        for (int i : {-1, iSize, iSize + 7}) {
            std::string sText = "Reads: index (" + std::to_string(i) + ") was not between zero and Size()-1 "
                                "inclusive.  Size is (" + std::to_string(iSize) + ").\n";
            if (iSize == 0) sText = "Reads: Please do not call this base function; you should only call derivatives.\n";
            try { multi.Reads(i); ADD_FAILURE() << "no error for " << i; }
            catch (const std::runtime_error& e) { EXPECT_EQ(e.what(), sText); }
            try { constMulti.Reads(i); ADD_FAILURE() << "no error for " << i; }
            catch (const std::runtime_error& e) { EXPECT_EQ(e.what(), sText); }
        }
    }
    multis[2]->Reads(0) = MakeRead("r", "chr9", 100);  // where multis[1] starts, but on another chromosome
    const MultiRead *pOne = multis[1].get(), *pTwo = multis[2].get(), *pThree = multis[3].get();
    EXPECT_FALSE(position_compare(pOne, pTwo) || position_compare(pTwo, pOne));      // first positions only
    EXPECT_TRUE(position_compare(pTwo, pThree) && !position_compare(pThree, pTwo));  // whatever the chromosome
}

TEST(Read, CopiesAreBoundedTextsAndCarryEveryField) {
    // Every text filled to its last byte, the quality without any terminator; and a Read never filled.
    Read full = MakeRead(std::string(40, 'n'), "chr123456", 12345, std::string(121, 'Q'), {3, 30}), empty;
    full.lineNumber = 17;
    full.strand = '-';
    full.probability[1] = 0.75;
    ASSERT_EQ(full.QualityLength(), 121);
    const std::pair<const Read*, std::string> cases[] = {
        {&full, std::string(40, 'n') + "|chr123456|" + std::string(120, 'Q') + "|12345 17 - 0 0.75 3Q 30Q -1 "},
        {&empty, "|||0 0 + 0 0 -1  -1  -1 "}};
    for (const auto& [pSource, sExpected] : cases) {
        Read copy(*pSource);
        Read assigned = MakeRead(std::string(40, 'z'), "longname1", 1, std::string(121, 'q'));
        assigned = *pSource;  // the longer earlier content leaves nothing behind
        for (const Read* pRead : {&copy, &assigned}) EXPECT_EQ(Fields(*pRead), sExpected);
    }
}
