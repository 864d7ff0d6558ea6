#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include "Korvex.h"
#include "TestHelpers.h"

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
