#include <gtest/gtest.h>

#include <limits>

#include "AtomicFile.h"
#include "InputFile.h"
#include "LineSource.h"
#include "OutputWriters.h"
#include "TestHelpers.h"

namespace {

const double NO_VALUE = std::numeric_limits<double>::quiet_NaN();  // a multiread of another part

// The SAMplus bytes of each line: its text, then per column its value (%g) or "NA", each
// followed by a tab. vValues: {line number, first value, second value}; a null sOutput: the
// run must fail and leave the old file in place.
TEST(Samplus, EveryLineGetsItsValuesOrNA) {
    struct Case { const char* sInput; int iLines; std::vector<std::vector<double>> vValues; ProbMode mode; const char* sOutput; };
    const Case cases[] = {
        {"@HD\tVN:1.0\nu1\tchr1\nm1\tchr1\nm1\tchr2\nrejected line\nm2\tchr3\nm3\tchr1\n", 7,
         {{2, 1, 1}, {3, 0.5, 1.0 / 3}, {4, 0, 1e-07}, {6, 0.75, 0.734521}, {7, NO_VALUE, NO_VALUE}}, ProbMode::Both,
         "@HD\tVN:1.0\tNA\tNA\t\nu1\tchr1\t1\t1\t\nm1\tchr1\t0.5\t0.333333\t\nm1\tchr2\t0\t1e-07\t\n"
         "rejected line\tNA\tNA\t\nm2\tchr3\t0.75\t0.734521\t\nm3\tchr1\tNA\tNA\t\n"},
        {"@SQ\tSN:chr1\nm1\tchr1\nm1\tchr2\n", 3, {{2, 0.25, NO_VALUE}, {3, 0.75, NO_VALUE}}, ProbMode::Bayes,
         "@SQ\tSN:chr1\tNA\t\nm1\tchr1\t0.25\t\nm1\tchr2\t0.75\t\n"},
        {"a\r\nb\r\n", 2, {{2, 1, 1}}, ProbMode::Both, "a\r\tNA\tNA\t\nb\r\t1\t1\t\n"},
        {"a\nb", 2, {{2, 1, 1}}, ProbMode::Both, "a\tNA\tNA\t\nb\t1\t1\t\n"},
        {"a\n\nb\n", 3, {{3, 1, 1}}, ProbMode::Both, "a\tNA\tNA\t\n\tNA\tNA\t\nb\t1\t1\t\n"},
        {"", 0, {}, ProbMode::Both, ""},
        {"a\nb\n", 2, {{5, 1, 1}}, ProbMode::Both, nullptr},  // values beyond the end: the SAM file changed
        {"a\nb\nc\n", 2, {}, ProbMode::Both, nullptr},        // another number of lines than the first pass
    };
    TempDir dir;
    const std::string sSam = dir.File("reads.sam"), sSamplus = sSam + "+";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sInput);
        WriteFile(sSam, c.sInput);
        WriteFile(sSamplus, "old\n");
        std::map<int64_t, std::array<double, 2>> values;
        for (const std::vector<double>& v : c.vValues) values[static_cast<int64_t>(v[0])] = {v[1], v[2]};
        MapValueSource source(values);
        InputFile input(sSam);
        const OutputSpec output{OutputFormat::Samplus, sSamplus, c.mode, "", 1, ""};
        if (c.sOutput == nullptr) {
            EXPECT_ANY_THROW(WriteOutput(input, {}, output, source, c.iLines));
            EXPECT_EQ(ReadFile(sSamplus), "old\n");
            continue;
        }
        WriteOutput(input, {}, output, source, c.iLines);
        EXPECT_EQ(ReadFile(sSamplus), c.sOutput);
    }
}

}  // namespace
