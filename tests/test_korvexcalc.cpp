#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "KorvexCalc.h"
#include "TestHelpers.h"
#include "ThreadDataMgr.h"

namespace {

const double UNSET = -7.0;  // marks a probability slot that Run must not touch

template <std::size_t FieldSize>
void SetText(char (&field)[FieldSize], const std::string& text) {
    std::memset(field, 0, FieldSize);
    std::memcpy(field, text.data(), std::min(text.size(), FieldSize - 1));
}

// An alignment of length 36 with its mismatches at the given offsets.
Read MakeRead(const std::string& id, const std::string& chromosome, int position,
              const std::vector<int>& vMismatchOffsets = {}) {
    Read r;
    SetText(r.readID, id);
    SetText(r.chromosome, chromosome);
    SetText(r.quality, std::string(36, 'I'));
    r.position = position;
    r.lineNumber = 1;
    r.strand = '+';
    for (std::size_t i = 0; i < vMismatchOffsets.size(); ++i)
        r.vMismatches[i] = ReadMismatch(int16_t(vMismatchOffsets[i]), 'I');
    r.probability[0] = r.probability[1] = UNSET;
    return r;
}

template <int N>
std::unique_ptr<MultiRead> MakeMultiReadOf(const std::vector<Read>& reads) {
    auto m = std::make_unique<MultiRead_t<N>>();
    for (int j = 0; j < N; ++j) m->Reads(j) = reads[j];
    return m;
}

std::unique_ptr<MultiRead> MakeMultiRead(const std::vector<Read>& reads) {
    switch (reads.size()) {
        case 2: return MakeMultiReadOf<2>(reads);
        case 3: return MakeMultiReadOf<3>(reads);
        case 4: return MakeMultiReadOf<4>(reads);
        case 5: return MakeMultiReadOf<5>(reads);
    }
    throw std::logic_error("a multiread holds two to five alignments");
}

std::string Format(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

// Matches text against literal pieces with one value of non-blank characters between each
// two pieces; the values are returned in order.
bool MatchPieces(const std::string& text, const std::vector<std::string>& vPieces, std::vector<std::string>& vValues) {
    vValues.clear();
    std::size_t iPos = 0;
    for (std::size_t i = 0; i < vPieces.size(); ++i) {
        if (i > 0) {
            const std::size_t iEnd = text.find_first_of(" \t\n", iPos);
            const std::size_t iValueEnd = iEnd == std::string::npos ? text.size() : iEnd;
            std::size_t iNext = text.find(vPieces[i], iPos);
            if (iNext == std::string::npos || iNext == iPos || iNext > iValueEnd) return false;
            vValues.push_back(text.substr(iPos, iNext - iPos));
            iPos = iNext;
        }
        if (text.compare(iPos, vPieces[i].size(), vPieces[i]) != 0) return false;
        iPos += vPieces[i].size();
    }
    return iPos == text.size();
}

class KorvexCalcRun : public testing::Test {
protected:
    void Reset() {
        vUnique.clear();
        vMulti.clear();
        vPositions.clear();
        vOwned.clear();
    }
    // Adds count unique reads at the given place; call in ascending position.
    void AddUnique(const std::string& chromosome, int position, int count = 1) {
        for (int i = 0; i < count; ++i) {
            vOwned.push_back(MakeMultiReadOf<1>({MakeRead("u", chromosome, position)}));
            vUnique.push_back(vOwned.back().get());
            vPositions.push_back(position);
        }
    }
    MultiRead* AddMulti(const std::vector<Read>& reads) {
        vOwned.push_back(MakeMultiRead(reads));
        vMulti.push_back(vOwned.back().get());
        return vMulti.back();
    }
    void RunJob(int iStart, int iEnd, const std::string& probOutput) {
        job.iStartIndex = iStart;
        job.iEndIndex = iEnd;
        calc.Run(vUnique, vMulti, errorScore, vPositions, job, probOutput, false);
    }
    std::vector<std::vector<std::string>> CallRecordFields() {
        std::vector<std::vector<std::string>> lines;
        for (const std::string& line : SplitLines(ReadFile(job.sOutFileName))) lines.push_back(Fields(line));
        return lines;
    }

    TempDir dir;
    ScopedChdir chdir{dir.Path()};
    std::vector<std::unique_ptr<MultiRead>> vOwned;  // owns every multiread of a test
    std::vector<MultiRead*> vUnique;
    std::vector<MultiRead*> vMulti;
    std::vector<int> vPositions;
    std::map<char, double> errorScore{{'I', 0.01}, {'#', 0.2}};
    KorvexCalc calc{36, 0, 0.1, 50, 10};
    std::ofstream stream;
    JobInfo job{0, 0, 3, &stream, "call_record_L2_p001_t003.txt", "call_record_L2_combined"};
};

TEST_F(KorvexCalcRun, ProportionalEstimates) {
    struct Case {
        std::vector<int> vMismatches;
        std::vector<int> vCounts;
        std::vector<std::string> vUniform;
        std::vector<double> vUnique;
    } cases[] = {
        {{0, 2}, {0, 0}, {"1", "0"}, {1, 0}},
        {{0, 2}, {0, 5}, {"1", "0"}, {1, 0}},
        {{1, 1, 3}, {3, 0, 7}, {"0.5", "0.5", "0"}, {1, 0, 0}},
        {{1, 1}, {0, 0}, {"0.5", "0.5"}, {0.5, 0.5}},
        {{0, 0}, {1, 3}, {"0.5", "0.5"}, {0.25, 0.75}},
        {{2, 2, 2}, {1, 1, 1}, {"0.333333", "0.333333", "0.333333"}, {1.0 / 3, 1.0 / 3, 1.0 / 3}},
        {{3, 1, 1, 1, 2}, {0, 2, 2, 4, 9}, {"0", "0.333333", "0.333333", "0.333333", "0"}, {0, 0.25, 0.25, 0.5, 0}},
    };
    int iCase = 0;
    for (const Case& c : cases) {
        Reset();
        // Alignment j lies alone on reference cj, with vCounts[j] unique reads beside it.
        std::vector<Read> reads;
        for (std::size_t j = 0; j < c.vMismatches.size(); ++j) {
            std::vector<int> vOffsets;
            for (int i = 0; i < c.vMismatches[j]; ++i) vOffsets.push_back(5 * i);
            reads.push_back(MakeRead("r", "c" + std::to_string(j), 1000, vOffsets));
            AddUnique("c" + std::to_string(j), 1000, c.vCounts[j]);
        }
        MultiRead* m = AddMulti(reads);
        RunJob(0, 1, "PROP");

        auto lines = CallRecordFields();
        ASSERT_EQ(lines.size(), reads.size()) << "case " << iCase;
        for (std::size_t j = 0; j < reads.size(); ++j) {
            EXPECT_EQ(lines[j][3], c.vUniform[j]) << "case " << iCase << " j " << j;
            EXPECT_EQ(lines[j][4], Format(c.vUnique[j])) << "case " << iCase << " j " << j;
            EXPECT_EQ(m->Reads(j).probability[0], c.vUnique[j]) << "case " << iCase << " j " << j;
            EXPECT_EQ(m->Reads(j).probability[1], UNSET);
        }
        ++iCase;
    }
}

TEST_F(KorvexCalcRun, CallRecordLinesOfTheJobInOrder) {
    const std::string sLongID(40, 'Q');
    for (int i = 0; i < 4; ++i)
        AddMulti({MakeRead(sLongID.substr(0, 39) + std::to_string(i), "chrUn_xyz", 100 * i + 1, {}),
                  MakeRead("m" + std::to_string(i), "chr2", 5000 + i, {7})});
    RunJob(1, 3, "PROP");

    EXPECT_EQ(ReadFile(job.sOutFileName),
              sLongID.substr(0, 39) + "1\tchrUn_xyz\t101\t1\t1\t0\n"
                  "m1\tchr2\t5001\t0\t0\t0\n" +
                  sLongID.substr(0, 39) + "2\tchrUn_xyz\t201\t1\t1\t0\n"
                  "m2\tchr2\t5002\t0\t0\t0\n");
    for (int i : {0, 3})
        for (int j : {0, 1}) EXPECT_EQ(vMulti[i]->Reads(j).probability[0], UNSET) << "outside the job";
    EXPECT_EQ(vMulti[1]->Reads(1).probability[0], 0.0);
}

TEST_F(KorvexCalcRun, ProbOutputSelectsTheSlotsExactly) {
    enum Expect { Proportional, Both, Bayes };
    struct Case {
        std::string sMode;
        Expect expect;
    } cases[] = {{"PROP", Proportional}, {"BOTH", Both},  {"BAYES", Bayes},         {"both", Proportional},
                 {"Bayes", Proportional}, {"", Proportional}, {"BAYES ", Proportional}};
    for (const Case& c : cases) {
        Reset();
        AddUnique("chr1", 990);
        MultiRead* m = AddMulti({MakeRead("a", "chr1", 1000), MakeRead("a", "chr1", 5000, {3})});
        RunJob(0, 1, c.sMode);

        auto lines = CallRecordFields();
        ASSERT_EQ(lines.size(), 2u);
        const Read& best = m->Reads(0);
        const Read& other = m->Reads(1);
        switch (c.expect) {
            case Proportional:
                EXPECT_EQ(lines[0][5], "0") << c.sMode;
                EXPECT_EQ(lines[1][5], "0") << c.sMode;
                EXPECT_EQ(best.probability[0], 1.0) << c.sMode;
                EXPECT_EQ(other.probability[0], 0.0) << c.sMode;
                EXPECT_EQ(best.probability[1], UNSET) << c.sMode;
                break;
            case Both:
                EXPECT_EQ(best.probability[0], 1.0);
                EXPECT_EQ(other.probability[0], 0.0);
                EXPECT_EQ(lines[0][5], Format(best.probability[1]));
                EXPECT_EQ(lines[1][5], Format(other.probability[1]));
                break;
            case Bayes:
                EXPECT_EQ(lines[0][5], Format(best.probability[0]));
                EXPECT_EQ(lines[1][5], Format(other.probability[0]));
                EXPECT_EQ(best.probability[1], UNSET);
                EXPECT_EQ(other.probability[1], UNSET);
                break;
        }
        for (int j : {0, 1}) {
            EXPECT_GE(m->Reads(j).probability[0], 0.0) << c.sMode;
            EXPECT_LE(m->Reads(j).probability[0], 1.0) << c.sMode;
        }
    }
}

TEST_F(KorvexCalcRun, EmptyJobCreatesAnEmptyCallRecordFile) {
    struct Case {
        int iContainerSize, iStart, iEnd;
    } cases[] = {{2, 0, 0}, {2, 2, 2}, {0, 0, 0}};
    for (const Case& c : cases) {
        Reset();
        for (int i = 0; i < c.iContainerSize; ++i) AddMulti({MakeRead("a", "chr1", 10), MakeRead("a", "chr1", 90)});
        std::remove(job.sOutFileName.c_str());
        testing::internal::CaptureStdout();
        RunJob(c.iStart, c.iEnd, "BOTH");
        const std::string sOut = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(FileExists(job.sOutFileName));
        EXPECT_EQ(ReadFile(job.sOutFileName), "");
        // The summary still reaches the log (echoed on standard output), with no progress line.
        std::vector<std::string> vValues;
        EXPECT_TRUE(MatchPieces(sOut, {"Run: Thrd(3)   Total elapsed time in this function: ", " secs   (", " mins)\n"},
                                vValues))
            << sOut;
    }
}

TEST_F(KorvexCalcRun, BadRangeThrowsWithoutCreatingTheFile) {
    struct Case {
        int iContainerSize, iStart, iEnd;
        std::string sMessage;
    } cases[] = {
        {2, -1, 1, "Run: Thrd(3)  ERROR: iStartIndex (-1) must be >= zero, and iEndIndex (1) must be <= MultiRead "
                   "vector size (2)."},
        {2, 0, 3, "Run: Thrd(3)  ERROR: iStartIndex (0) must be >= zero, and iEndIndex (3) must be <= MultiRead "
                  "vector size (2)."},
        {2, 2, 1, "Run: Thrd(3)  ERROR: iStartIndex (2) must be >= zero, and iEndIndex (1) must be <= MultiRead "
                  "vector size (2)."},
        {0, 0, 1, "Run: Thrd(3)  ERROR: iStartIndex (0) must be >= zero, and iEndIndex (1) must be <= MultiRead "
                  "vector size (0)."},
    };
    for (const Case& c : cases) {
        Reset();
        for (int i = 0; i < c.iContainerSize; ++i) AddMulti({MakeRead("a", "chr1", 10), MakeRead("a", "chr1", 90)});
        try {
            RunJob(c.iStart, c.iEnd, "PROP");
            ADD_FAILURE() << "no exception for [" << c.iStart << ", " << c.iEnd << ")";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), c.sMessage);
        }
        EXPECT_FALSE(FileExists(job.sOutFileName));
        EXPECT_FALSE(stream.is_open());
    }
}

TEST_F(KorvexCalcRun, ProgressLineAtEveryMultipleOf5000) {
    // Every element may be the same multiread: only the indices of the job matter here.
    MultiRead* m = AddMulti({MakeRead("a", "chr1", 10), MakeRead("a", "chr1", 90, {1})});
    vMulti.assign(5002, m);
    const std::vector<std::string> vProgressPieces = {"Run: Thrd(3),  MultiRead[",
                                                      "]\t Elapsed time in this function: ", " secs   In MCMC: ",
                                                      " secs   SinceLastReport: ", " secs"};
    struct Case {
        int iStart, iEnd;
        std::vector<std::string> vIndices;
    } cases[] = {{0, 3, {"0"}}, {4998, 5002, {"5000"}}, {1, 4999, {}}};
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        RunJob(c.iStart, c.iEnd, "PROP");
        std::vector<std::string> vIndices;
        for (const std::string& line : SplitLines(testing::internal::GetCapturedStdout())) {
            if (line.find("MultiRead[") == std::string::npos) continue;
            std::vector<std::string> vValues;
            ASSERT_TRUE(MatchPieces(line, vProgressPieces, vValues)) << line;
            vIndices.push_back(vValues[0]);
        }
        EXPECT_EQ(vIndices, c.vIndices) << "job [" << c.iStart << ", " << c.iEnd << ")";
    }
}

TEST_F(KorvexCalcRun, UnopenableCallRecordFileWarnsAndKeepsTheProbabilities) {
    MultiRead* m = AddMulti({MakeRead("a", "chr1", 10), MakeRead("a", "chr1", 90, {1})});
    job.sOutFileName = "no_such_dir/call_record_L2_p001_t003.txt";
    testing::internal::CaptureStdout();
    RunJob(0, 1, "PROP");
    const std::string sOut = testing::internal::GetCapturedStdout();
    EXPECT_NE(sOut.find("Run: Thrd(3)  WARNING: could not open (no_such_dir/call_record_L2_p001_t003.txt) for "
                        "writing; its call_record lines are lost."),
              std::string::npos)
        << sOut;
    EXPECT_EQ(m->Reads(0).probability[0], 1.0);
    EXPECT_EQ(m->Reads(1).probability[0], 0.0);
}

TEST_F(KorvexCalcRun, PosteriorsSumToOneAndRepeatExactly) {
    // Alignment 0 has covering unique reads with mismatches; alignment 1 lies elsewhere
    // with one mismatch of its own. Multireads 0 and 1 are equal, so nothing may carry
    // over from one to the next.
    for (int p = 990; p <= 1010; p += 4) {
        AddUnique("chr1", p);
        Read& u = vOwned.back()->Reads(0);
        u.vMismatches[0] = ReadMismatch(int16_t(1005 - p), '#');
    }
    AddUnique("chr2", 2000, 3);
    for (int i = 0; i < 2; ++i) {
        MultiRead* m = AddMulti({MakeRead("a", "chr1", 1000), MakeRead("a", "chr2", 2000, {4})});
        std::memset(m->Reads(1).quality, 'I', sizeof(m->Reads(1).quality));  // a full, unterminated field
    }
    calc.iTotalIterations = 60;
    calc.iBurninIterations = 12;

    RunJob(0, 2, "BOTH");
    const double dFirst0 = vMulti[0]->Reads(0).probability[1];
    const double dFirst1 = vMulti[0]->Reads(1).probability[1];
    EXPECT_NEAR(dFirst0 + dFirst1, 1.0, 1e-12);
    EXPECT_GT(dFirst0, dFirst1);
    EXPECT_EQ(vMulti[1]->Reads(0).probability[1], dFirst0);
    EXPECT_EQ(vMulti[1]->Reads(1).probability[1], dFirst1);

    KorvexCalc secondCalc = calc;
    std::ofstream secondStream;
    JobInfo secondJob{0, 1, 0, &secondStream, "call_record_L2_p001_t000.txt", "call_record_L2_combined"};
    secondCalc.Run(vUnique, vMulti, errorScore, vPositions, secondJob, "BAYES", false);
    EXPECT_EQ(vMulti[0]->Reads(0).probability[0], dFirst0);
    EXPECT_EQ(vMulti[0]->Reads(1).probability[0], dFirst1);
    EXPECT_EQ(CallRecordFields()[0][5], Format(dFirst0));
}

}  // namespace
