// Whole runs on what aligners and samtools really write. A small genome with repeat families
// and its reads are made here from fixed seeds; the aligners run in the test's own directory.
// A case whose tool is missing is skipped, naming its Debian package (bowtie, bowtie2, bwa, hisat2,
// minimap2, samtools).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <sstream>

#include "TestHelpers.h"

namespace {

const std::string BOWTIE = "bowtie-build -q %D/genome.fa ref && bowtie -k 10 -v 2 --best -S ref %D/reads.fq";

// The tools of sTools (each installed by the Debian package of its name) that are missing.
std::string MissingTools(const std::string& sTools) {
    std::istringstream tools(sTools);
    std::string sMissing;
    for (std::string sTool; tools >> sTool;)
        if (RunShell("command -v " + sTool + " >/dev/null") != 0) sMissing += (sMissing.empty() ? "" : " ") + sTool;
    return sMissing;
}

#define SKIP_WITHOUT(sTools)                                                   \
    if (const std::string sMissing = MissingTools(sTools); !sMissing.empty()) \
    GTEST_SKIP() << "needs " << sMissing << ": apt-get install -y " << sMissing

std::string ReverseComplement(std::string s) {
    std::reverse(s.begin(), s.end());
    for (char& c : s) c = c == 'A' ? 'T' : c == 'T' ? 'A' : c == 'C' ? 'G' : 'C';
    return s;
}

// A read of the genome, about 1 % substituted (quality '#' there), from either strand.
std::string FastqRecord(const std::string& sName, std::string sRead, std::mt19937& rng) {
    std::string sQuality(sRead.size(), 'I');
    for (std::size_t k = 0; k < sRead.size(); ++k)
        if (rng() % 100 == 0) { sRead[k] = sRead[k] == 'A' ? 'C' : 'A'; sQuality[k] = '#'; }
    if (rng() % 2) {
        sRead = ReverseComplement(sRead);
        std::reverse(sQuality.begin(), sQuality.end());
    }
    return "@" + sName + "\n" + sRead + "\n+\n" + sQuality + "\n";
}

// 100 bases across an intron: 50 before a GT, 50 from after an AG 80 to 400 bases further on.
std::string SplicedRead(const std::string& sGenome, std::mt19937& rng) {
    for (;;) {
        const std::size_t iDonor = sGenome.find("GT", 3000 + rng() % (sGenome.size() - 7000));
        const std::size_t iAcceptor = sGenome.find("AG", iDonor + 80);
        if (iAcceptor < iDonor + 400) return sGenome.substr(iDonor - 50, 50) + sGenome.substr(iAcceptor + 2, 50);
    }
}

// A directory with genome.fa (50 kb holding four repeat families of two to four copies, 0 to 2 %
// diverged) and three sets of 1500 reads from both strands with about 1 % substitutions, made
// once for all cases: reads.fq of 50 bases, every twentieth with a two-base deletion so that
// gapped aligners write MD tags of another length; srna.fq of 18 to 32 bases; long.fq of 100
// bases, every tenth across an intron and every tenth with its last two bases changed; and
// mates_1.fq, mates_2.fq: 600 pairs of 50-base mates from fragments of 150 to 250 bases.
const TempDir& Data() {
    static const struct AlignerData : TempDir {
        AlignerData() {
            std::mt19937 rng(20261207);
            auto Base = [&rng] { return "ACGT"[rng() % 4]; };
            std::string sGenome, sFasta = ">chr1\n";
            for (int i = 0; i < 50000; ++i) sGenome += Base();
            for (int iFamily = 0; iFamily < 4; ++iFamily)
                for (int iCopy = 1; iCopy <= 2 + iFamily % 3; ++iCopy) {
                    std::string sCopy = sGenome.substr(1000 + 7000 * iFamily, 400 + 100 * iFamily);
                    for (char& c : sCopy)
                        if (rng() % 100 < static_cast<uint32_t>(iCopy % 3)) c = Base();
                    sGenome.replace(3000 + 9000 * iCopy + 1700 * iFamily, sCopy.size(), sCopy);
                }
            for (std::size_t i = 0; i < sGenome.size(); i += 60) sFasta += sGenome.substr(i, 60) + "\n";
            WriteFile(File("genome.fa"), sFasta);
            auto Start = [&] { return 3000 + rng() % (sGenome.size() - 6000); };
            std::string sReads, sSmall, sLong;
            for (int i = 0; i < 1500; ++i) {
                std::string sRead = sGenome.substr(Start(), 52);
                if (i % 20 == 0) sRead.erase(25, 2); else sRead.resize(50);
                sReads += FastqRecord("read_" + std::to_string(i), sRead, rng);
                sSmall += FastqRecord("small_" + std::to_string(i), sGenome.substr(Start(), 18 + rng() % 15), rng);
                sRead = i % 10 == 0 ? SplicedRead(sGenome, rng) : sGenome.substr(Start(), 100);
                if (i % 10 == 1)  // clipped by local aligners
                    for (std::size_t k = 98; k < 100; ++k) sRead[k] = sRead[k] == 'G' ? 'T' : 'G';
                sLong += FastqRecord("long_" + std::to_string(i), sRead, rng);
            }
            WriteFile(File("reads.fq"), sReads);
            WriteFile(File("srna.fq"), sSmall);
            WriteFile(File("long.fq"), sLong);
            std::ostringstream mates1, mates2;
            for (int i = 0; i < 600; ++i) {
                std::string sFragment = sGenome.substr(3000 + rng() % (sGenome.size() - 6000), 150 + rng() % 101);
                if (rng() % 2) sFragment = ReverseComplement(sFragment);
                std::string sMate1 = sFragment.substr(0, 50), sMate2 = ReverseComplement(sFragment.substr(sFragment.size() - 50));
                for (std::string* pMate : {&sMate1, &sMate2})
                    for (char& c : *pMate)
                        if (rng() % 100 == 0) c = c == 'A' ? 'C' : 'A';
                mates1 << "@pair_" << i << "/1\n" << sMate1 << "\n+\n" << std::string(50, 'I') << "\n";
                mates2 << "@pair_" << i << "/2\n" << sMate2 << "\n+\n" << std::string(50, 'I') << "\n";
            }
            WriteFile(File("mates_1.fq"), mates1.str());
            WriteFile(File("mates_2.fq"), mates2.str());
        }
    } data;
    return data;
}

struct Outcome { int iExit; std::string sSamplus, sLog, sStderr; };

Outcome RunOn(const std::string& sDir, std::vector<std::string> vArgs = {}) {
    WriteFile(sDir + "/run.cfg", "LOG_FILENAME=run.log\nMAP_FILENAME=sam.sam\nSTRANDNESS_OPTION=OFF\nPROB_OUTPUT=BOTH\n"
                                 "TOTAL_ITERATIONS=60\nBURNIN_ITERATIONS=10\nOUTPUT_FILE=sam.sam+\n");
    vArgs.insert(vArgs.begin(), "run.cfg");
    ProgramResult result = RunKorvex(sDir, vArgs);
    return {result.iExitStatus, ReadFile(sDir + "/sam.sam+"), ReadFile(sDir + "/run.log"), result.sStderr};
}

// The two values of every alignment line, record by record, whatever the header.
std::vector<std::string> RecordValues(const std::string& sSamplus) {
    std::vector<std::string> vValues;
    for (const std::string& sLine : SplitLines(sSamplus)) {
        if (sLine[0] == '@') continue;
        const std::size_t iLast = sLine.rfind('\t', sLine.size() - 2), iBefore = sLine.rfind('\t', iLast - 1);
        vValues.push_back(sLine.substr(iBefore + 1, sLine.size() - iBefore - 2));
    }
    return vValues;
}

// Runs an aligner command (%D: the data directory) into sam.sam in a new directory.
std::unique_ptr<TempDir> Align(std::string sCommand) {
    auto pDir = std::make_unique<TempDir>();
    for (std::size_t i; (i = sCommand.find("%D")) != std::string::npos;) sCommand.replace(i, 2, Data().Path());
    EXPECT_EQ(RunShell("cd " + pDir->Path() + " && " + sCommand + " > sam.sam 2> aligner.log"), 0)
        << sCommand << "\n" << ReadFile(pDir->File("aligner.log"));
    return pDir;
}

}  // namespace

struct AlignerCase {
    const char* sName;
    const char* sTools;  // each installed by the Debian package of its name
    std::string sCommand;
    const char* sRejection;  // a reason some lines are rejected for; none when null
    double dMinShare;        // of the alignment lines, those that get values
};

void PrintTo(const AlignerCase& c, std::ostream* pOut) { *pOut << c.sName; }  // the case as ctest lists it

// The values of the alignment lines of one read (of one mate, for pairs).
struct ReadValues {
    int iLines = 0, iMapped = 0, iValued = 0;
    int iBetween = 0, iShared = 0;  // posteriors, and shares, strictly between 0 and 1
    int iClipped = 0;               // lines with soft clips that carry values
    double dShares = 0.0, dPosteriors = 0.0;
};

// By read name and mate bits: its lines, those with values and their sums. Lines with N in their
// CIGAR must carry none.
std::map<std::string, ReadValues> ValuesByRead(const std::string& sSamplus) {
    std::map<std::string, ReadValues> reads;
    for (const std::string& sLine : SplitLines(sSamplus)) {
        if (sLine[0] == '@') continue;
        std::vector<std::string> vFields;
        std::istringstream fields(sLine);
        for (std::string sField; std::getline(fields, sField, '\t');) vFields.push_back(sField);
        const int iFlag = std::stoi(vFields[1]);
        ReadValues& read = reads[vFields[0] + " " + std::to_string(iFlag & 0xC0)];
        ++read.iLines;
        read.iMapped += !(iFlag & 4);
        const std::string& sShare = vFields[vFields.size() - 2];
        if (sShare == "NA") continue;
        EXPECT_EQ(vFields[5].find('N'), std::string::npos) << sLine;
        read.iClipped += vFields[5].find('S') != std::string::npos;
        ++read.iValued;
        const double dShare = std::stod(sShare);
        read.dShares += dShare;
        read.iShared += dShare > 0 && dShare < 1;
        const double dPosterior = std::stod(vFields.back());
        read.dPosteriors += dPosterior;
        read.iBetween += dPosterior > 0 && dPosterior < 1;
    }
    return reads;
}

// Sums over all reads, iShared counting reads; each read with values sums to 1 in both columns.
ReadValues CheckedTotals(const std::string& sSamplus) {
    ReadValues total;
    for (const auto& [sRead, read] : ValuesByRead(sSamplus)) {
        total.iLines += read.iLines;
        total.iMapped += read.iMapped;
        total.iValued += read.iValued;
        total.iBetween += read.iBetween;
        total.iShared += read.iShared > 0;
        total.iClipped += read.iClipped;
        if (read.iValued == 0) continue;
        EXPECT_NEAR(read.dShares, 1.0, 1e-4) << sRead;
        EXPECT_NEAR(read.dPosteriors, 1.0, 1e-4) << sRead;
    }
    return total;
}

class AlignerOutput : public testing::TestWithParam<AlignerCase> {};

// Each aligner's output gives multireads with real probabilities that sum to 1 over each read,
// on at least a floor of its lines; bwa's secondary lines carry no SEQ or QUAL and take them from
// their primary line; gapped and spliced alignments are rejected by reason.
TEST_P(AlignerOutput, GetsProbabilities) {
    const AlignerCase& c = GetParam();
    SKIP_WITHOUT(c.sTools);
    Outcome outcome = RunOn(Align(c.sCommand)->Path());
    ASSERT_EQ(outcome.iExit, 0) << outcome.sLog;
    if (c.sRejection != nullptr) { EXPECT_NE(outcome.sLog.find(c.sRejection), std::string::npos) << outcome.sLog; }
    const ReadValues total = CheckedTotals(outcome.sSamplus);
    EXPECT_GE(total.iValued, c.dMinShare * total.iLines) << total.iValued << " of " << total.iLines;
    EXPECT_GT(total.iShared, 20);
    if (std::string(c.sCommand).find("long.fq") != std::string::npos) { EXPECT_GT(total.iClipped, 20) << "clipped"; }
    if (std::string(c.sName) != "bwa") return;
    const std::vector<std::string> vLines = SplitLines(outcome.sSamplus);
    EXPECT_GT(std::count_if(vLines.begin(), vLines.end(), [](const std::string& s) {  // secondary, no SEQ, values
                  return s.find("\t0\t0\t*\t*\t") != std::string::npos && s.find("\tNA\t") == std::string::npos &&
                         (std::stoi(s.substr(s.find('\t') + 1)) & 256);
              }), 5);
}

const char* const INDEL = "insertion or deletion (I/D in CIGAR)";

INSTANTIATE_TEST_SUITE_P(
    RealInput, AlignerOutput,
    testing::Values(  // floors: the shares measured when the case was written, less 5 points
        AlignerCase{"bowtie", "bowtie", BOWTIE, nullptr, 0.75},
        AlignerCase{"bowtie_small_rna", "bowtie", "bowtie-build -q %D/genome.fa ref && bowtie -k 10 -v 2 --best -S ref "
                    "%D/srna.fq", nullptr, 0.78},
        AlignerCase{"bowtie2", "bowtie2", "bowtie2-build -q %D/genome.fa ref && bowtie2 -k 10 -x ref -U %D/reads.fq",
                    INDEL, 0.70},
        AlignerCase{"bowtie2_local", "bowtie2", "bowtie2-build -q %D/genome.fa ref && bowtie2 --local -k 10 -x ref -U "
                    "%D/long.fq", nullptr, 0.49},
        AlignerCase{"bwa", "bwa", "cp %D/genome.fa . && bwa index genome.fa 2>/dev/null && bwa mem -a genome.fa "
                    "%D/reads.fq", INDEL, 0.70},
        AlignerCase{"bwa_clipped", "bwa", "cp %D/genome.fa . && bwa index genome.fa 2>/dev/null && bwa mem -a genome.fa "
                    "%D/long.fq", nullptr, 0.54},
        AlignerCase{"hisat2", "hisat2", "hisat2-build -q %D/genome.fa ref && hisat2 -k 10 -x ref -U %D/long.fq",
                    "spliced (N in CIGAR)", 0.71},
        AlignerCase{"minimap2", "minimap2", "minimap2 -ax sr --secondary=yes -N 10 --MD %D/genome.fa %D/long.fq",
                    nullptr, 0.56}),
    [](const testing::TestParamInfo<AlignerCase>& test) { return std::string(test.param.sName); });

// samtools-prepared files: sorted by coordinate is refused, sorted by name runs; without MD tags
// the run is refused until samtools calmd adds them.
TEST(RealInput, SamtoolsPreparedFiles) {
    SKIP_WITHOUT("bowtie samtools");
    const std::unique_ptr<TempDir> pDir = Align(BOWTIE);
    const std::string sDir = pDir->Path(), sNoMd = "sed 's/\\tMD:Z:[^\\t]*//' bowtie.sam";
    const struct { std::string sPrepare; const char* sMessage; } cases[] = {  // sMessage: none when it runs
        {"samtools sort -o sam.sam bowtie.sam", "sorted by coordinate (@HD SO:coordinate)"},
        {"samtools sort -n -O sam -o sam.sam bowtie.sam", nullptr},
        {sNoMd + " > sam.sam", "add MD tags, for example with `samtools calmd`"},
        {sNoMd + " | samtools calmd - " + Data().File("genome.fa") + " > sam.sam 2>/dev/null", nullptr}};
    ASSERT_EQ(RunShell("cd " + sDir + " && mv sam.sam bowtie.sam"), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sPrepare);
        ASSERT_EQ(RunShell("cd " + sDir + " && " + c.sPrepare), 0);
        Outcome outcome = RunOn(sDir);
        EXPECT_EQ(outcome.iExit, c.sMessage ? 1 : 0) << outcome.sLog;
        if (c.sMessage) { EXPECT_NE(outcome.sStderr.find(c.sMessage), std::string::npos) << outcome.sStderr; }
        else { EXPECT_GT(CheckedTotals(outcome.sSamplus).iShared, 20); }
    }
}

// One set of alignments gives the same values from SAM, gzip-compressed SAM, BAM and CRAM, on the
// bundled example and on paired aligner output below; the tags of BAM output carry the SAMplus values.
void ExpectTheSameValuesFromEveryContainer(const std::string& sDir) {
    const Outcome whole = RunOn(sDir);
    ASSERT_EQ(whole.iExit, 0) << whole.sLog;
    const std::vector<std::string> vExpected = RecordValues(whole.sSamplus);
    ASSERT_EQ(RunShell("cd " + sDir + " && gzip -c sam.sam > c.sam.gz && samtools view -b -o c.bam sam.sam"
                       " && samtools view -C --output-fmt-option no_ref=1 -o c.cram sam.sam"), 0);
    for (const char* sInput : {"c.sam.gz", "c.bam", "c.cram"}) {
        const Outcome run = RunOn(sDir, {std::string("MAP_FILENAME=") + sInput, "OUTPUT_FORMAT=SAMPLUS"});
        ASSERT_EQ(run.iExit, 0) << sInput << run.sStderr;
        EXPECT_EQ(RecordValues(run.sSamplus), vExpected) << sInput;
    }
    // Tagged output: ZU and ZP (floats, shown with 6 digits) against the SAMplus values (6 digits).
    ASSERT_EQ(RunOn(sDir, {"OUTPUT_FORMAT=BAM", "OUTPUT_FILE=out.bam"}).iExit, 0);
    ASSERT_EQ(RunShell("cd " + sDir + " && samtools quickcheck out.bam && samtools view out.bam > tags.txt"), 0);
    const std::vector<std::string> vTagged = SplitLines(ReadFile(sDir + "/tags.txt"));
    ASSERT_EQ(vTagged.size(), vExpected.size());
    for (std::size_t i = 0; i < vTagged.size(); ++i) {
        const std::string& sLine = vTagged[i];
        const std::size_t iZu = sLine.find("\tZU:f:"), iZp = sLine.find("\tZP:f:");
        if (vExpected[i] == "NA\tNA") {
            EXPECT_TRUE(iZu == std::string::npos && iZp == std::string::npos) << sLine;
            continue;
        }
        ASSERT_TRUE(iZu != std::string::npos && iZp != std::string::npos) << sLine;
        const double dShare = std::stod(vExpected[i]), dPosterior = std::stod(vExpected[i].substr(vExpected[i].find('\t')));
        EXPECT_NEAR(std::stod(sLine.substr(iZu + 6)), dShare, 1.5e-5 * dShare + 1e-12) << sLine;
        EXPECT_NEAR(std::stod(sLine.substr(iZp + 6)), dPosterior, 1.5e-5 * dPosterior + 1e-12) << sLine;
    }
}

TEST(RealInput, EveryContainerGivesTheSameValuesOnTheExample) {
    SKIP_WITHOUT("samtools");
    TempDir dir;
    WriteFile(dir.File("sam.sam"), ReadFile(TestDataPath("example.sam")));
    ExpectTheSameValuesFromEveryContainer(dir.Path());
}

// Paired aligner output, with the other places of each pair (bowtie2 -k 10; bwa mem -a -P, whose
// secondary lines carry no SEQ and place each mate alone, so that many lie in no pair alignment):
// most mate lines get a value, each mate's values sum to 1, pairs in
// repeats are scored; bowtie2's output gives the same values from BAM and CRAM and on three threads.
TEST(RealInput, PairedAlignerOutput) {
    const struct { const char* sTools; std::string sCommand; double dValued; } cases[] = {
        {"bowtie2 samtools", "bowtie2-build -q %D/genome.fa ref && bowtie2 -k 10 -x ref -1 %D/mates_1.fq -2 %D/mates_2.fq",
         0.85},
        {"bwa", "cp %D/genome.fa . && bwa index genome.fa 2>/dev/null && bwa mem -a -P genome.fa %D/mates_1.fq "
                "%D/mates_2.fq", 0.65}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sCommand);
        SKIP_WITHOUT(c.sTools);
        const std::unique_ptr<TempDir> pDir = Align(c.sCommand);
        const Outcome outcome = RunOn(pDir->Path());
        ASSERT_EQ(outcome.iExit, 0) << outcome.sLog;
        const ReadValues total = CheckedTotals(outcome.sSamplus);
        EXPECT_GT(total.iValued, c.dValued * total.iMapped);
        EXPECT_GT(total.iBetween, 20);
        if (std::string(c.sTools) != "bowtie2 samtools") continue;
        ExpectTheSameValuesFromEveryContainer(pDir->Path());
        EXPECT_EQ(RecordValues(RunOn(pDir->Path(), {"NUM_THREADS=3"}).sSamplus), RecordValues(outcome.sSamplus));
    }
}
