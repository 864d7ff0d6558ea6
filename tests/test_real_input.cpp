// Whole runs on what aligners and samtools really write. A small genome with repeat families
// and its reads are made here from fixed seeds; the aligners run in the test's own directory.
// A case whose tool is missing is skipped with a message (Debian: bowtie, bowtie2, bwa, samtools).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

#include "TestHelpers.h"

namespace {

const std::string QUICK = "STRANDNESS_OPTION=OFF\nPROB_OUTPUT=BOTH\nTOTAL_ITERATIONS=60\nBURNIN_ITERATIONS=10\n";

bool HaveTool(const std::string& sTool) { return RunShell("command -v " + sTool + " >/dev/null 2>&1") == 0; }

// A deterministic generator for the genome and the reads.
struct Lcg {
    uint64_t iState;
    uint32_t Next() { return static_cast<uint32_t>((iState = iState * 6364136223846793005ULL + 1442695040888963407ULL) >> 33); }
    char Base() { return "ACGT"[Next() % 4]; }
};

// 50 kb of random sequence holding four repeat families of two to four copies, 0 to 2 % diverged.
std::string MakeGenome(Lcg& rng) {
    std::string sGenome;
    for (int i = 0; i < 50000; ++i) sGenome += rng.Base();
    for (int iFamily = 0; iFamily < 4; ++iFamily) {
        std::string sUnit = sGenome.substr(1000 + 7000 * iFamily, 400 + 100 * iFamily);
        for (int iCopy = 1; iCopy <= 1 + iFamily % 3 + 1; ++iCopy) {
            std::string sCopy = sUnit;
            for (std::size_t k = 0; k < sCopy.size(); ++k)
                if (rng.Next() % 100 < static_cast<uint32_t>(iCopy % 3)) sCopy[k] = rng.Base();
            sGenome.replace(3000 + 9000 * iCopy + 1700 * iFamily, sCopy.size(), sCopy);
        }
    }
    return sGenome;
}

std::string ReverseComplement(const std::string& s) {
    std::string sResult(s.rbegin(), s.rend());
    for (char& c : sResult) c = c == 'A' ? 'T' : c == 'T' ? 'A' : c == 'C' ? 'G' : 'C';
    return sResult;
}

// Reads of 50 bases from both strands with about 1 % substitutions (quality '#' there, 'I'
// elsewhere); every twentieth read carries a two-base deletion, so that gapped aligners write
// MD tags of another length.
std::string MakeReads(const std::string& sGenome, Lcg& rng, int iCount) {
    std::ostringstream out;
    for (int i = 0; i < iCount; ++i) {
        const bool bDeletion = i % 20 == 0;
        std::size_t iStart = 3000 + rng.Next() % (sGenome.size() - 6000);
        std::string sRead = sGenome.substr(iStart, 52);
        if (bDeletion) sRead.erase(25, 2); else sRead.resize(50);
        std::string sQuality(50, 'I');
        for (int k = 0; k < 50; ++k)
            if (rng.Next() % 100 == 0) { sRead[k] = sRead[k] == 'A' ? 'C' : 'A'; sQuality[k] = '#'; }
        if (rng.Next() % 2) { sRead = ReverseComplement(sRead); sQuality.assign(sQuality.rbegin(), sQuality.rend()); }
        out << "@read_" << i << "\n" << sRead << "\n+\n" << sQuality << "\n";
    }
    return out.str();
}

// A directory with genome.fa and reads.fq, made once for all cases.
struct AlignerData : TempDir {
    AlignerData() {
        Lcg rng{20261207};
        const std::string sGenome = MakeGenome(rng);
        std::string sFasta = ">chr1\n";
        for (std::size_t i = 0; i < sGenome.size(); i += 60) sFasta += sGenome.substr(i, 60) + "\n";
        WriteFile(File("genome.fa"), sFasta);
        WriteFile(File("reads.fq"), MakeReads(sGenome, rng, 1500));
    }
};

const TempDir& Data() {
    static const AlignerData data;
    return data;
}

struct Outcome { int iExit; std::string sSamplus, sLog, sStderr; };

// Runs korvex on sam.sam in dir.
Outcome RunOn(const std::string& sDir) {
    WriteFile(sDir + "/run.cfg", "LOG_FILENAME=run.log\nMAP_FILENAME=sam.sam\n" + QUICK);
    ProgramResult result = RunKorvex(sDir, {"run.cfg"});
    return {result.iExitStatus, ReadFile(sDir + "/sam.sam+"), ReadFile(sDir + "/run.log"), result.sStderr};
}

// The SAMplus lines of multiread alignments (a value strictly between 0 and 1), by read.
std::map<std::string, int> ScoredReads(const std::string& sSamplus) {
    std::map<std::string, int> scored;
    for (const std::string& sLine : SplitLines(sSamplus)) {
        std::size_t iLast = sLine.rfind('\t', sLine.size() - 2), iBefore = sLine.rfind('\t', iLast - 1);
        if (sLine[0] == '@' || iBefore == std::string::npos) continue;
        const std::string sValue = sLine.substr(iBefore + 1, iLast - iBefore - 1);
        if (sValue != "NA" && sValue != "1" && sValue != "0") ++scored[sLine.substr(0, sLine.find('\t'))];
    }
    return scored;
}

// Runs an aligner command (with %D for the data directory) into sam.sam in a new directory.
std::unique_ptr<TempDir> Align(const std::string& sCommand) {
    auto pDir = std::make_unique<TempDir>();
    std::string sLine = sCommand;
    for (std::size_t i; (i = sLine.find("%D")) != std::string::npos;) sLine.replace(i, 2, Data().Path());
    EXPECT_EQ(RunShell("cd " + pDir->Path() + " && " + sLine + " > sam.sam 2> aligner.log"), 0)
        << sLine << "\n" << ReadFile(pDir->File("aligner.log"));
    return pDir;
}

}  // namespace

// Each aligner's output gives multireads with real probabilities; bwa's secondary lines carry no
// SEQ or QUAL and take them from their primary line; gapped alignments are rejected by reason.
TEST(RealInput, AlignerOutputGetsProbabilities) {
    const struct { const char* sTool; const char* sCommand; const char* sRejection; } cases[] = {
        {"bowtie", "bowtie-build -q %D/genome.fa ref && bowtie -k 10 -v 2 --best -S ref %D/reads.fq", nullptr},
        {"bowtie2", "bowtie2-build -q %D/genome.fa ref && bowtie2 -k 10 -x ref -U %D/reads.fq",
         "unreadable MD:Z tag"},
        {"bwa", "cp %D/genome.fa . && bwa index genome.fa 2>/dev/null && bwa mem -a genome.fa %D/reads.fq",
         "unreadable MD:Z tag"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sTool);
        if (!HaveTool(c.sTool)) {
            std::cout << "[  SKIPPED ] " << c.sTool << " is not installed (apt-get install -y " << c.sTool << ")\n";
            continue;
        }
        std::unique_ptr<TempDir> pDir = Align(c.sCommand);
        Outcome outcome = RunOn(pDir->Path());
        ASSERT_EQ(outcome.iExit, 0) << outcome.sLog;
        EXPECT_GT(ScoredReads(outcome.sSamplus).size(), 20u);
        if (c.sRejection != nullptr) {
            EXPECT_NE(outcome.sLog.find(c.sRejection), std::string::npos) << outcome.sLog;
        }
        if (std::string(c.sTool) != "bwa") continue;
        int iFilled = 0;  // secondary lines without SEQ that got values
        for (const std::string& sLine : SplitLines(outcome.sSamplus)) {
            std::istringstream fields(sLine);
            std::string sName, sFlag, sSkip, sSeq;
            fields >> sName >> sFlag;
            for (int i = 0; i < 7; ++i) fields >> sSkip;
            fields >> sSeq;
            iFilled += sName[0] != '@' && (std::stoi(sFlag) & 256) && sSeq == "*" && sLine.find("\tNA\t") == std::string::npos;
        }
        EXPECT_GT(iFilled, 5);
    }
}

// samtools-prepared files: sorted by coordinate is refused, sorted by name runs; without MD tags
// the run is refused until samtools calmd adds them.
TEST(RealInput, SamtoolsPreparedFiles) {
    if (!HaveTool("bowtie") || !HaveTool("samtools")) {
        std::cout << "[  SKIPPED ] needs bowtie and samtools (apt-get install -y bowtie samtools)\n";
        return;
    }
    std::unique_ptr<TempDir> pDir = Align("bowtie-build -q %D/genome.fa ref && bowtie -k 10 -v 2 --best -S ref %D/reads.fq");
    const std::string sDir = pDir->Path();
    const struct { std::string sPrepare; int iExit; const char* sMessage; } cases[] = {
        {"samtools sort -o sam.sam bowtie.sam", 1, "sorted by coordinate (@HD SO:coordinate)"},
        {"samtools sort -n -O sam -o sam.sam bowtie.sam", 0, nullptr},
        {"sed 's/\\tMD:Z:[^\\t]*//' bowtie.sam > sam.sam", 1, "add MD tags, for example with `samtools calmd`"},
        {"sed 's/\\tMD:Z:[^\\t]*//' bowtie.sam | samtools calmd - " + Data().File("genome.fa") + " > sam.sam 2>/dev/null", 0,
         nullptr}};
    ASSERT_EQ(RunShell("cd " + sDir + " && mv sam.sam bowtie.sam"), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sPrepare);
        ASSERT_EQ(RunShell("cd " + sDir + " && " + c.sPrepare), 0);
        Outcome outcome = RunOn(sDir);
        EXPECT_EQ(outcome.iExit, c.iExit) << outcome.sLog;
        if (c.sMessage != nullptr) {
            EXPECT_NE(outcome.sStderr.find(c.sMessage), std::string::npos) << outcome.sStderr;
        } else {
            EXPECT_GT(ScoredReads(outcome.sSamplus).size(), 20u);
        }
    }
}

// The values of every alignment line, record by record ("NA NA" for none), whatever the header.
std::vector<std::string> RecordValues(const std::string& sSamplus) {
    std::vector<std::string> vValues;
    for (const std::string& sLine : SplitLines(sSamplus)) {
        if (sLine[0] == '@') continue;
        const std::size_t iLast = sLine.rfind('\t', sLine.size() - 2), iBefore = sLine.rfind('\t', iLast - 1);
        vValues.push_back(sLine.substr(iBefore + 1, sLine.size() - iBefore - 2));
    }
    return vValues;
}

// One set of alignments gives the same values from SAM, gzip-compressed SAM, BAM and CRAM, on the
// bundled example and on an aligner's output; the tags of BAM output carry the SAMplus values.
TEST(RealInput, EveryContainerGivesTheSameValues) {
    if (!HaveTool("samtools")) {
        std::cout << "[  SKIPPED ] needs samtools (apt-get install -y samtools)\n";
        return;
    }
    std::vector<std::unique_ptr<TempDir>> vDirs;
    vDirs.push_back(std::make_unique<TempDir>());
    WriteFile(vDirs[0]->File("sam.sam"), ReadFile(TestDataPath("example.sam")));
    if (HaveTool("bowtie"))
        vDirs.push_back(Align("bowtie-build -q %D/genome.fa ref && bowtie -k 10 -v 2 --best -S ref %D/reads.fq"));
    for (const std::unique_ptr<TempDir>& pDir : vDirs) {
        const std::string sDir = pDir->Path();
        const Outcome whole = RunOn(sDir);
        ASSERT_EQ(whole.iExit, 0) << whole.sLog;
        const std::vector<std::string> vExpected = RecordValues(whole.sSamplus);
        ASSERT_EQ(RunShell("cd " + sDir + " && gzip -c sam.sam > c.sam.gz && samtools view -b -o c.bam sam.sam"
                           " && samtools view -C --output-fmt-option no_ref=1 -o c.cram sam.sam"), 0);
        for (const char* sInput : {"c.sam.gz", "c.bam", "c.cram"}) {
            ProgramResult run = RunKorvex(sDir, {"run.cfg", std::string("MAP_FILENAME=") + sInput, "OUTPUT_FORMAT=SAMPLUS",
                                                 "OUTPUT_FILE=out.sam+"});
            ASSERT_EQ(run.iExitStatus, 0) << sInput << run.sStderr;
            EXPECT_EQ(RecordValues(ReadFile(sDir + "/out.sam+")), vExpected) << sInput;
        }
        // Tagged output: ZU and ZP (floats, shown with 6 digits) against the SAMplus values (6 digits).
        ASSERT_EQ(RunKorvex(sDir, {"run.cfg", "OUTPUT_FORMAT=BAM"}).iExitStatus, 0);
        ASSERT_EQ(RunShell("cd " + sDir + " && samtools quickcheck sam.korvex.bam && samtools view sam.korvex.bam > tags.txt"), 0);
        std::vector<std::string> vTagged = SplitLines(ReadFile(sDir + "/tags.txt"));
        ASSERT_EQ(vTagged.size(), vExpected.size());
        for (std::size_t i = 0; i < vTagged.size(); ++i) {
            const std::string& sLine = vTagged[i];
            const std::size_t iZu = sLine.find("\tZU:f:"), iZp = sLine.find("\tZP:f:");
            if (vExpected[i] == "NA\tNA") {
                EXPECT_TRUE(iZu == std::string::npos && iZp == std::string::npos) << sLine;
                continue;
            }
            ASSERT_TRUE(iZu != std::string::npos && iZp != std::string::npos) << sLine;
            const double dShare = std::stod(vExpected[i].substr(0, vExpected[i].find('\t')));
            const double dPosterior = std::stod(vExpected[i].substr(vExpected[i].find('\t') + 1));
            EXPECT_NEAR(std::stod(sLine.substr(iZu + 6)), dShare, 1.5e-5 * dShare + 1e-12) << sLine;
            EXPECT_NEAR(std::stod(sLine.substr(iZp + 6)), dPosterior, 1.5e-5 * dPosterior + 1e-12) << sLine;
        }
    }
}

// Read names of 43 characters and reference names of 10 give exactly the values of short names.
TEST(RealInput, LongNamesGiveTheSameValues) {
    TempDir shortDir, longDir;
    const std::string sExample = ReadFile(TestDataPath("example.sam"));
    WriteFile(shortDir.File("sam.sam"), sExample);
    std::string sRenamed;
    for (const std::string& sLine : SplitLines(sExample)) {
        if (sLine[0] == '@') { sRenamed += sLine + "\n"; continue; }
        std::size_t iTab = sLine.find('\t'), iRef = sLine.find('\t', sLine.find('\t', iTab + 1) + 1);
        std::string sName = sLine.substr(0, iTab), sRef = sLine.substr(sLine.find('\t', iTab + 1) + 1,
                                                                      iRef - sLine.find('\t', iTab + 1) - 1);
        sName = "HWI-ST1234:8:1101:" + std::string(43 - 18 - sName.size(), '0') + sName;
        if (sRef != "*") sRef = "scaffold_" + sRef.substr(sRef.size() - 1);
        sRenamed += sName + sLine.substr(iTab, sLine.find('\t', iTab + 1) - iTab) + "\t" + sRef + sLine.substr(iRef) + "\n";
    }
    WriteFile(longDir.File("sam.sam"), sRenamed);
    Outcome shortRun = RunOn(shortDir.Path()), longRun = RunOn(longDir.Path());
    ASSERT_EQ(shortRun.iExit, 0);
    ASSERT_EQ(longRun.iExit, 0);
    std::vector<std::string> vShort = SplitLines(shortRun.sSamplus), vLong = SplitLines(longRun.sSamplus);
    ASSERT_EQ(vShort.size(), vLong.size());
    auto Values = [](const std::string& s) { return s.substr(s.rfind('\t', s.rfind('\t', s.size() - 2) - 1)); };
    for (std::size_t i = 0; i < vShort.size(); ++i) EXPECT_EQ(Values(vShort[i]), Values(vLong[i])) << i;
}

// A mismatch at base 130 of a 150-base read lowers that alignment's posterior; a paired file is refused.
TEST(RealInput, LongReadsAndPairedReads) {
    const std::string sSeq(150, 'A'), sQual(150, 'I');
    auto Line = [&](const std::string& sName, int iFlag, int iPos, const std::string& sMd) {
        return sName + "\t" + std::to_string(iFlag) + "\tc1\t" + std::to_string(iPos) + "\t255\t150M\t*\t0\t0\t" + sSeq +
               "\t" + sQual + "\t" + sMd + "\n";
    };
    TempDir dir;
    WriteFile(dir.File("sam.sam"), Line("m", 0, 1000, "MD:Z:150") + Line("m", 0, 5000, "MD:Z:130C19") +
                                       Line("u", 0, 990, "MD:Z:150") + Line("v", 0, 4990, "MD:Z:150"));
    Outcome outcome = RunOn(dir.Path());
    ASSERT_EQ(outcome.iExit, 0) << outcome.sLog;
    std::vector<std::string> vLines = SplitLines(outcome.sSamplus);
    ASSERT_EQ(vLines.size(), 4u);
    auto Posterior = [](const std::string& s) { return std::stod(s.substr(s.rfind('\t', s.size() - 2) + 1)); };
    EXPECT_LT(Posterior(vLines[1]), 0.5);  // alike but for the mismatch, both would get 0.5
    EXPECT_EQ(Posterior(vLines[0]) + Posterior(vLines[1]), 1.0);

    WriteFile(dir.File("sam.sam"), Line("p", 99, 1000, "MD:Z:150") + Line("p", 147, 1200, "MD:Z:150"));
    outcome = RunOn(dir.Path());
    EXPECT_EQ(outcome.iExit, 1);
    EXPECT_NE(outcome.sStderr.find("line 1: read p is one of a pair (FLAG 0x1)"), std::string::npos) << outcome.sStderr;
}
