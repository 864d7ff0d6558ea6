#include <gtest/gtest.h>

#include <limits>

#include "Korvex.h"
#include "SamplusOutput.h"
#include "TestHelpers.h"

namespace {

const double NO_VALUE = std::numeric_limits<double>::quiet_NaN();  // a multiread of another part

// vValues: one Read per {line number, first value, second value}; a null sOutput: the file cannot be complete.
TEST(Samplus, EveryLineGetsItsValuesOrNA) {
    struct Case { const char* sInput; std::vector<std::vector<double>> vValues; int iColumns; const char* sOutput; };
    const Case cases[] = {
        {"@HD\tVN:1.0\nu1\tchr1\nm1\tchr1\nm1\tchr2\nrejected line\nm2\tchr3\nm3\tchr1\n",
         {{2, 1, 1}, {3, 0.5, 1.0 / 3}, {4, 0, 1e-07}, {6, 0.75, 0.734521}, {7, NO_VALUE, NO_VALUE}}, 2,
         "@HD\tVN:1.0\tNA\tNA\t\nu1\tchr1\t1\t1\t\nm1\tchr1\t0.5\t0.333333\t\nm1\tchr2\t0\t1e-07\t\n"
         "rejected line\tNA\tNA\t\nm2\tchr3\t0.75\t0.734521\t\nm3\tchr1\tNA\tNA\t\n"},
        {"@SQ\tSN:chr1\nm1\tchr1\nm1\tchr2\n", {{2, 0.25, NO_VALUE}, {3, 0.75, NO_VALUE}}, 1,
         "@SQ\tSN:chr1\tNA\t\nm1\tchr1\t0.25\t\nm1\tchr2\t0.75\t\n"},
        {"a\r\nb\r\n", {{2, 1, 1}}, 2, "a\r\tNA\tNA\t\nb\r\t1\t1\t\n"},
        {"a\nb", {{2, 1, 1}}, 2, "a\tNA\tNA\t\nb\t1\t1\t\n"},
        {"a\n\nb\n", {{3, 1, 1}}, 2, "a\tNA\tNA\t\n\tNA\tNA\t\nb\t1\t1\t\n"},
        {"", {}, 2, ""},
        {"a\nb\n", {{5, 1, 1}}, 2, nullptr},  // a registered line beyond the end: the SAM file changed
    };
    TempDir dir;
    ScopedChdir chdir(dir.Path());  // where the log of a failure goes
    const std::string sSam = dir.File("reads.sam"), sSamplus = sSam + "+";
    for (const Case& c : cases) {
        WriteFile(sSam, c.sInput);
        WriteFile(sSamplus, "old\nold\nold\nold\nold\nold\nold\nold\n");
        std::vector<Read> vReads(c.vValues.size());  // lineNumberMap points into it
        LineIndex lineNumberMap;
        for (std::size_t i = 0; i < c.vValues.size(); ++i) {
            vReads[i].lineNumber = static_cast<int>(c.vValues[i][0]);
            vReads[i].probability[0] = c.vValues[i][1];
            vReads[i].probability[1] = c.vValues[i][2];
            lineNumberMap.push_back(&vReads[i]);
        }
        EXPECT_EQ(OutputSAMplus(sSam, lineNumberMap, c.iColumns), c.sOutput != nullptr) << c.sInput;
        if (c.sOutput == nullptr) continue;
        EXPECT_EQ(ReadFile(sSamplus), c.sOutput) << c.sInput;
    }
}

}  // namespace
