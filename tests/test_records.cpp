#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "Korvex.h"
#include "Read.h"

namespace {

// A Read whose text fields hold the given texts (quality may fill all 121 bytes unterminated).
Read MakeRead(const std::string& sId, const std::string& sChromosome, const std::string& sQuality, int iPosition) {
    Read read;
    std::memset(read.readID, 0, sizeof(read.readID));
    std::memset(read.chromosome, 0, sizeof(read.chromosome));
    std::memset(read.quality, 0, sizeof(read.quality));
    std::memcpy(read.readID, sId.data(), sId.size());
    std::memcpy(read.chromosome, sChromosome.data(), sChromosome.size());
    std::memcpy(read.quality, sQuality.data(), sQuality.size());
    read.position = iPosition;
    read.lineNumber = 17;
    read.strand = '-';
    read.vMismatches[0] = ReadMismatch(3, 'I');
    read.vMismatches[1] = ReadMismatch(30, '#');
    read.probability[0] = 0.25;
    read.probability[1] = 0.75;
    return read;
}

std::string RuntimeErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

std::string IndexError(int i, int iSize) {
    return "Reads: index (" + std::to_string(i) + ") was not between zero and Size()-1 inclusive.  Size is (" +
           std::to_string(iSize) + ").\n";
}

template <int N>
void ExpectIndexChecks() {
    MultiRead_t<N> multi;
    const MultiRead& constMulti = multi;
    EXPECT_EQ(multi.Size(), N);
    for (int i = 0; i < N; ++i) multi.Reads(i).position = 100 + i;
    for (int i = 0; i < N; ++i) EXPECT_EQ(constMulti.Reads(i).position, 100 + i);
    for (int i : {-1, N, N + 7}) {
        EXPECT_EQ(RuntimeErrorText([&] { multi.Reads(i); }), IndexError(i, N));
        EXPECT_EQ(RuntimeErrorText([&] { constMulti.Reads(i); }), IndexError(i, N));
    }
}

}  // namespace

TEST(MultiRead, SizeAndIndexErrorsOfEveryInstance) {
    ExpectIndexChecks<1>();
    ExpectIndexChecks<2>();
    ExpectIndexChecks<3>();
    ExpectIndexChecks<4>();
    ExpectIndexChecks<5>();
}

TEST(MultiRead, BaseClassRefusesAccess) {
    MultiRead base;
    const MultiRead& constBase = base;
    const std::string sText = "Reads: Please do not call this base function; you should only call derivatives.\n";
    EXPECT_EQ(base.Size(), 0);
    EXPECT_EQ(RuntimeErrorText([&] { base.Reads(0); }), sText);
    EXPECT_EQ(RuntimeErrorText([&] { constBase.Reads(0); }), sText);
}

TEST(MultiRead, DeletedThroughTheBase) {
    std::unique_ptr<MultiRead> multi(new MultiRead_t<5>());
    multi->Reads(4) = MakeRead("r", "chr1", "IIII", 9);
    EXPECT_EQ(multi->Reads(4).position, 9);
}

TEST(Read, DefaultReadCopiesAsEmpty) {
    Read empty;
    Read copy(empty);
    EXPECT_STREQ(copy.readID, "");
    EXPECT_STREQ(copy.chromosome, "");
    EXPECT_EQ(copy.QualityLength(), 0);
    EXPECT_EQ(copy.MismatchCount(), 0);
}

TEST(Read, MismatchCount) {
    Read read;
    EXPECT_EQ(read.MismatchCount(), 0);
    EXPECT_EQ(read.vMismatches[2].position, -1);
    EXPECT_EQ(read.vMismatches[2].qualityChar, ' ');
    read.vMismatches[0] = ReadMismatch(12, 'I');
    EXPECT_EQ(read.MismatchCount(), 1);
    read.vMismatches[1] = ReadMismatch(0, '#');
    read.vMismatches[2] = ReadMismatch(35, '5');
    EXPECT_EQ(read.MismatchCount(), 3);
}

TEST(Read, CopiesCarryEveryField) {
    Read source = MakeRead("SIM_1_2_3/1", "chr2", std::string(36, 'I'), 12345);
    Read copy(source);
    Read assigned = MakeRead(std::string(40, 'z'), "longname1", std::string(121, 'q'), 1);
    assigned = source;  // a longer earlier content leaves nothing behind
    for (const Read* pRead : {&copy, &assigned}) {
        EXPECT_STREQ(pRead->readID, "SIM_1_2_3/1");
        EXPECT_STREQ(pRead->chromosome, "chr2");
        EXPECT_STREQ(pRead->quality, std::string(36, 'I').c_str());
        EXPECT_EQ(pRead->QualityLength(), 36);
        EXPECT_EQ(pRead->position, 12345);
        EXPECT_EQ(pRead->lineNumber, 17);
        EXPECT_EQ(pRead->strand, '-');
        EXPECT_EQ(pRead->vMismatches[1].position, 30);
        EXPECT_EQ(pRead->vMismatches[1].qualityChar, '#');
        EXPECT_EQ(pRead->vMismatches[2].position, -1);
        EXPECT_EQ(pRead->probability[0], 0.25);
        EXPECT_EQ(pRead->probability[1], 0.75);
    }
}

TEST(Read, CopiesOfFullFieldsStayTerminated) {
    // Source fields filled to their last byte: a 40-character name, a 9-character
    // reference name and a quality string of all 121 bytes without a terminator.
    Read source = MakeRead(std::string(40, 'n'), "chr123456", std::string(121, 'Q'), 5);
    EXPECT_EQ(source.QualityLength(), 121);
    Read copy(source);
    Read assigned;
    assigned = source;
    for (const Read* pRead : {&copy, &assigned}) {
        EXPECT_EQ(std::string(pRead->readID), std::string(40, 'n'));
        EXPECT_EQ(std::string(pRead->chromosome), "chr123456");
        EXPECT_EQ(pRead->QualityLength(), 120);
        EXPECT_EQ(pRead->quality[120], '\0');
        EXPECT_EQ(std::string(pRead->quality), std::string(120, 'Q'));
    }
}

TEST(PositionCompare, OrdersByFirstPositionOnly) {
    MultiRead_t<1> a, b, c;
    a.Reads(0) = MakeRead("a", "chr9", "I", 50);
    b.Reads(0) = MakeRead("b", "chr1", "I", 50);
    c.Reads(0) = MakeRead("c", "chr1", "I", 60);
    EXPECT_FALSE(position_compare(&a, &b));
    EXPECT_FALSE(position_compare(&b, &a));
    EXPECT_TRUE(position_compare(&a, &c));  // chromosome is ignored
    EXPECT_FALSE(position_compare(&c, &a));
}
