// Damaged containers: seeded mutants of the example as gzip and BGZF text, BAM and CRAM are
// either read whole, giving what their bytes hold, or refused naming the file and the line or
// record where reading stopped; none may hang, with one thread or several.
#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <htslib/cram.h>
#include <htslib/hfile.h>
#include <htslib/sam.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <random>

#include "InputFile.h"
#include "LineSources.h"
#include "TestHelpers.h"

namespace {

using Lines = std::vector<std::string>;

const int MUTANT_SECONDS = 20;  // a mutant read longer than this hangs

// The results of the jobs, one line each, computed one after the other in one child process.
// Fewer results than jobs: the next job ran longer than iSeconds or ended the child, as its
// result says.
std::vector<std::string> InChildWithDeadline(const std::vector<std::function<std::string()>>& vJobs, int iSeconds) {
    int aiPipe[2];
    if (pipe(aiPipe) != 0) return {"no pipe"};
    const pid_t iPid = fork();
    if (iPid == 0) {
        close(aiPipe[0]);
        for (const auto& fJob : vJobs) {
            alarm(static_cast<unsigned>(iSeconds));  // a hung job ends the child, worker threads and all
            const std::string sResult = fJob() + "\n";
            if (write(aiPipe[1], sResult.data(), sResult.size()) != static_cast<ssize_t>(sResult.size())) _exit(1);
        }
        _exit(0);
    }
    close(aiPipe[1]);
    std::string sOutput;
    char acBuffer[4096];
    for (ssize_t iRead; (iRead = read(aiPipe[0], acBuffer, sizeof(acBuffer))) > 0;) sOutput.append(acBuffer, iRead);
    close(aiPipe[0]);
    int iStatus = 0;
    waitpid(iPid, &iStatus, 0);
    std::vector<std::string> vResults = SplitLines(sOutput);
    const int iSignal = WIFSIGNALED(iStatus) ? WTERMSIG(iStatus) : 0;
    if (vResults.size() < vJobs.size())
        vResults.push_back(iSignal == SIGALRM ? "still reading after " + std::to_string(iSeconds) + " s"
                                              : "ended by signal " + std::to_string(iSignal));
    return vResults;
}

// Reads a mutant as a run does and says how it went: "same" when it gives the expected lines,
// "refused after L lines (H header lines): message" for an InputError, or where it differs.
std::string ReadMutant(const std::string& sPath, int iThreads, const std::optional<Lines>& expected) {
    hts_set_log_level(HTS_LOG_OFF);
    Lines vLines;
    try {
        InputFile input(sPath);
        std::unique_ptr<LineSource> pLines = OpenLineSource(input, {"", iThreads});
        for (LineView line; pLines->NextLine(line);) vLines.emplace_back(line.pData, line.iLength);
    } catch (const InputError& error) {
        std::size_t iHeader = 0;
        while (iHeader < vLines.size() && vLines[iHeader][0] == '@') ++iHeader;
        return "refused after " + std::to_string(vLines.size()) + " lines (" + std::to_string(iHeader) +
               " header lines): " + error.what();
    }
    if (expected && vLines == *expected) return "same";
    if (!expected) return "read " + std::to_string(vLines.size()) + " lines where it must be refused";
    std::size_t i = 0;
    while (i < vLines.size() && i < expected->size() && vLines[i] == (*expected)[i]) ++i;
    return "read " + std::to_string(vLines.size()) + " lines instead of " + std::to_string(expected->size()) +
           ", the first " + std::to_string(i) + " as expected";
}

// A refusal names the file, and once lines were handed out, the line or record after which
// reading stopped: the lines handed out, or the records among them.
void ExpectSoundRefusal(const std::string& sResult, const std::string& sPath, const std::string& sLabel) {
    long iLines = 0, iHeader = 0;
    ASSERT_EQ(std::sscanf(sResult.c_str(), "refused after %ld lines (%ld header", &iLines, &iHeader), 2)
        << sLabel << ": " << sResult;
    EXPECT_NE(sResult.find("the SAM file (" + sPath + ")"), std::string::npos) << sLabel << ": " << sResult;
    if (iLines == 0) return;
    for (const auto& [pWhere, iExpected] : {std::make_pair(" after line ", iLines),
                                            std::make_pair(" after record ", iLines - iHeader),
                                            std::make_pair(": record ", iLines - iHeader + 1)}) {
        const std::size_t iAt = sResult.find(pWhere);
        if (iAt == std::string::npos) continue;
        EXPECT_EQ(std::atol(sResult.c_str() + iAt + std::strlen(pWhere)), iExpected) << sLabel << ": " << sResult;
        return;
    }
    ADD_FAILURE() << sLabel << ": lines were handed out, but the refusal does not say after which: " << sResult;
}

// An intact file cut into what comes before the first unit that may be moved (its start and
// header), the units (BGZF blocks or CRAM data containers) and the end-of-file marker. A gzip
// file has no units.
struct Layout {
    std::string sHead;
    std::vector<std::string> vUnits;
    std::string sEnd;
    std::vector<Lines> vUnitRecords;  // of a CRAM file, each container's records
    std::string Join(const std::vector<std::size_t>& vOrder) const {
        std::string sAll = sHead;
        for (std::size_t i : vOrder) sAll += vUnits[i];
        return sAll + sEnd;
    }
};

enum class Kind { Gzip, Bgzf, Cram };

struct Container {
    std::string sName;
    Kind kind;
    std::string sBytes;
    Layout layout;
    Lines vLines;  // of the intact file
};

// The BGZF blocks of a file: the first is its head, the empty last one its end.
Layout BgzfLayout(const std::string& sBytes) {
    std::vector<std::string> vBlocks;
    for (std::size_t iAt = 0; iAt + 18 <= sBytes.size();) {
        const std::size_t iSize = static_cast<unsigned char>(sBytes[iAt + 16]) +
                                  256u * static_cast<unsigned char>(sBytes[iAt + 17]) + 1;
        vBlocks.push_back(sBytes.substr(iAt, iSize));
        iAt += iSize;
    }
    return {vBlocks.front(), std::vector<std::string>(vBlocks.begin() + 1, vBlocks.end() - 1), vBlocks.back(), {}};
}

// The data containers of a CRAM file, found by htslib, and the records each holds alone.
Layout CramLayout(const std::string& sPath, const std::string& sBytes, const TempDir& dir) {
    htsFile* pFile = hts_open(sPath.c_str(), "r");
    sam_hdr_t* pHeader = sam_hdr_read(pFile);
    hFILE* pStream = cram_fd_get_fp(pFile->fp.cram);
    std::vector<std::size_t> vStarts;
    for (;;) {
        const off_t iAt = htell(pStream);
        cram_container* pContainer = cram_read_container(pFile->fp.cram);
        if (pContainer == nullptr) break;
        vStarts.push_back(static_cast<std::size_t>(iAt));
        const int32_t iLength = cram_container_get_length(pContainer);
        cram_free_container(pContainer);
        if (hseek(pStream, iLength, SEEK_CUR) < 0) break;
    }
    sam_hdr_destroy(pHeader);
    hts_close(pFile);
    Layout layout{sBytes.substr(0, vStarts.front()), {}, sBytes.substr(vStarts.back()), {}};
    for (std::size_t i = 0; i + 1 < vStarts.size(); ++i) {
        layout.vUnits.push_back(sBytes.substr(vStarts[i], vStarts[i + 1] - vStarts[i]));
        WriteFile(dir.File("unit.cram"), layout.sHead + layout.vUnits.back() + layout.sEnd);
        Lines& vRecords = layout.vUnitRecords.emplace_back();
        for (const std::string& sLine : Drain(dir.File("unit.cram")))
            if (sLine[0] != '@') vRecords.push_back(sLine);
    }
    return layout;
}

// What the units of an intact file in another order hold: the header's lines and then each CRAM
// container's records, or the lines of the BGZF blocks' texts compressed anew; nothing when such
// a file is to be refused.
std::optional<Lines> LinesInOrder(const Container& container, const std::vector<std::size_t>& vOrder,
                                  const TempDir& dir) {
    if (container.kind == Kind::Cram) {
        Lines vLines;
        for (const std::string& sLine : container.vLines)
            if (sLine[0] == '@') vLines.push_back(sLine);
        for (std::size_t i : vOrder)
            vLines.insert(vLines.end(), container.layout.vUnitRecords[i].begin(), container.layout.vUnitRecords[i].end());
        return vLines;
    }
    WriteFile(dir.File("reordered.gz"), container.layout.Join(vOrder));
    BGZF* pIn = bgzf_open(dir.File("reordered.gz").c_str(), "r");
    BGZF* pOut = bgzf_open(dir.File("oracle.gz").c_str(), "w0");
    char acBuffer[65536];
    bool bWritten = true;
    for (ssize_t iRead; (iRead = bgzf_read(pIn, acBuffer, sizeof(acBuffer))) > 0;)
        bWritten = bWritten && bgzf_write(pOut, acBuffer, iRead) == iRead;
    bgzf_close(pIn);
    EXPECT_TRUE(bgzf_close(pOut) == 0 && bWritten);
    try {
        return Drain(dir.File("oracle.gz"));
    } catch (const InputError&) {
        return std::nullopt;
    }
}

struct Mutant {
    std::string sLabel;
    std::string sBytes;
    std::optional<Lines> expected;  // what it may give if it is read whole; nothing: it must be refused
};

// Mutants of a container, the same for every run: bytes flipped, cut, inserted or deleted, the
// header of a unit flipped, a cut end given back its marker, bytes after the end; and units
// swapped, repeated or dropped, which give what the units hold in their new order.
class MutantMaker {
public:
    MutantMaker(const Container& container_, const TempDir& dir_, uint32_t iSeed)
        : container(container_), dir(dir_), random(iSeed) {}

    Mutant Make(bool bUnitHeader) { return bUnitHeader ? UnitHeaderFlip() : Next(); }

private:
    Mutant Next() {
        const std::string& sBytes = container.sBytes;
        const std::size_t iUnits = container.layout.vUnits.size();
        std::string s = sBytes;
        const int iKind = Below(iUnits >= 2 ? 9 : 6);
        const std::size_t iAt = Below(sBytes.size());
        switch (iKind) {
            case 0:
                for (std::size_t i = 0, n = 1 + Below(3); i < n; ++i)
                    s[std::min(iAt + Below(64), s.size() - 1)] ^= static_cast<char>(1 << Below(8));
                return Same("bits flipped near " + std::to_string(iAt), s);
            case 1: return Same("cut at " + std::to_string(iAt), s.substr(0, iAt));
            case 2: return Same("bytes inserted at " + std::to_string(iAt), s.insert(iAt, RandomBytes(1 + Below(16))));
            case 3: return Same("bytes deleted at " + std::to_string(iAt), s.erase(iAt, 1 + Below(16)));
            case 4: return Same("bytes after the end", s + RandomBytes(1 + Below(64)));
            case 5: {
                if (container.kind == Kind::Gzip) return Same("cut at " + std::to_string(iAt), s.substr(0, iAt));
                const std::size_t iCut = CutInsideUnit();
                return Same("cut at " + std::to_string(iCut) + ", end marker given back",
                            s.substr(0, iCut) + container.layout.sEnd);
            }
            default: return Reordered(iKind - 6);
        }
    }

    // A bit flipped in the first bytes of a unit, where BGZF and CRAM keep a block's or a
    // container's header.
    Mutant UnitHeaderFlip() {
        const std::size_t iUnit = Below(container.layout.vUnits.size());
        std::string s = container.sBytes;
        const std::size_t iAt = UnitStart(iUnit) + Below(24);
        s[iAt] ^= static_cast<char>(1 << Below(8));
        return Same("bit flipped in the header of unit " + std::to_string(iUnit) + " at " + std::to_string(iAt), s);
    }

    std::size_t Below(std::size_t iLimit) { return std::uniform_int_distribution<std::size_t>(0, iLimit - 1)(random); }
    std::string RandomBytes(std::size_t iCount) {
        std::string s(iCount, '\0');
        for (char& c : s) c = static_cast<char>(Below(256));
        return s;
    }
    Mutant Same(const std::string& sLabel, const std::string& sBytes) { return {sLabel, sBytes, container.vLines}; }
    // The units swapped (iHow 0), one repeated (1) or dropped (2).
    Mutant Reordered(int iHow) {
        std::vector<std::size_t> vOrder(container.layout.vUnits.size());
        std::iota(vOrder.begin(), vOrder.end(), 0);
        const std::size_t i = Below(vOrder.size() - (iHow == 0 ? 1 : 0));
        const auto itAt = vOrder.begin() + static_cast<std::ptrdiff_t>(i);
        if (iHow == 0) std::swap(vOrder[i], vOrder[i + 1 + Below(vOrder.size() - i - 1)]);
        if (iHow == 1) vOrder.insert(itAt, i);
        if (iHow == 2) vOrder.erase(itAt);
        std::string sLabel = std::string("units ") + std::array{"swapped", "repeated", "dropped"}[iHow] + ":";
        for (std::size_t iUnit : vOrder) sLabel += " " + std::to_string(iUnit);
        return {sLabel, container.layout.Join(vOrder), LinesInOrder(container, vOrder, dir)};
    }
    std::size_t UnitStart(std::size_t iUnit) const {
        std::size_t iStart = container.layout.sHead.size();
        for (std::size_t i = 0; i < iUnit; ++i) iStart += container.layout.vUnits[i].size();
        return iStart;
    }
    // An offset past the head that is no unit's start: cut there, the file holds part of a unit.
    std::size_t CutInsideUnit() {
        const std::size_t iUnit = Below(container.layout.vUnits.size());
        return UnitStart(iUnit) + 1 + Below(container.layout.vUnits[iUnit].size() - 1);
    }

    const Container& container;
    const TempDir& dir;
    std::mt19937 random;
};

// The example in every container, made once with htslib.
class DamagedInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pDir = new TempDir;
        WriteExampleContainers(*pDir);
        pContainers = new std::vector<Container>;
        for (const auto& [pName, kind] : {std::make_pair("example.sam.gz", Kind::Gzip),
                                          std::make_pair("example.sam.bgz", Kind::Bgzf),
                                          std::make_pair("example.bam", Kind::Bgzf),
                                          std::make_pair("example.cram", Kind::Cram)}) {
            const std::string sPath = pDir->File(pName), sBytes = ReadFile(sPath);
            const Layout layout = kind == Kind::Gzip   ? Layout{}
                                  : kind == Kind::Bgzf ? BgzfLayout(sBytes)
                                                       : CramLayout(sPath, sBytes, *pDir);
            pContainers->push_back({pName, kind, sBytes, layout, Drain(sPath)});
        }
    }
    static void TearDownTestSuite() {
        delete pContainers;
        delete pDir;
    }

    static TempDir* pDir;
    static std::vector<Container>* pContainers;
};
TempDir* DamagedInput::pDir = nullptr;
std::vector<Container>* DamagedInput::pContainers = nullptr;

}  // namespace

// Each mutant is read with 1, 2 or 8 threads in a child process that reads a batch of them, each
// under a deadline.
TEST_F(DamagedInput, MutantsAreReadWholeOrRefusedAndNeverHang) {
    const int BATCH = 10;
    for (const Container& container : *pContainers) {
        ASSERT_EQ(container.vLines.size(), 3481u) << container.sName;  // the example's lines
        ASSERT_TRUE(container.kind == Kind::Gzip || container.layout.vUnits.size() >= 2) << container.sName;
        MutantMaker maker(container, *pDir, 17);
        int iRefused = 0;
        const int iMutants = container.kind == Kind::Gzip ? 150 : 250;
        auto path = [&](std::size_t i) { return pDir->File("mutant" + std::to_string(i) + "." + container.sName); };
        auto threads = [](int iMutant) { return std::array<int, 3>{1, 2, 8}[iMutant % 3]; };
        for (int iFirst = 0; iFirst < iMutants; iFirst += BATCH) {
            std::vector<Mutant> vMutants;
            std::vector<std::function<std::string()>> vJobs;
            for (int i = 0; i < BATCH; ++i) {
                vMutants.push_back(maker.Make(container.kind != Kind::Gzip && (iFirst + i) % 10 == 0));
                WriteFile(path(i), vMutants.back().sBytes);
                vJobs.push_back([&, i] { return ReadMutant(path(i), threads(iFirst + i), vMutants[i].expected); });
            }
            const std::vector<std::string> vResults = InChildWithDeadline(vJobs, MUTANT_SECONDS);
            for (std::size_t i = 0; i < vResults.size(); ++i) {
                if (vResults[i] == "same") continue;
                ++iRefused;
                const int iMutant = iFirst + static_cast<int>(i);
                ExpectSoundRefusal(vResults[i], path(i), container.sName + ", mutant " + std::to_string(iMutant) + " (" +
                                                             vMutants[i].sLabel + "), " + std::to_string(threads(iMutant)) + " threads");
            }
        }
        EXPECT_GT(iRefused, iMutants / 2) << container.sName;  // the mutants do damage
    }
}

// A gzip file cut short gives every line before the cut that its decompressor hands out, and
// the refusal names the last of them (not the start of the read in which the cut was met).
TEST_F(DamagedInput, CutGzipFileGivesItsLinesBeforeTheCut) {
    const Container& gzip = pContainers->front();
    const std::string sPath = pDir->File("cut." + gzip.sName);
    WriteFile(sPath, gzip.sBytes.substr(0, gzip.sBytes.size() * 15 / 16));
    const std::string sResult = ReadMutant(sPath, 1, gzip.vLines);
    ExpectSoundRefusal(sResult, sPath, "cut gzip");
    EXPECT_GE(std::atol(sResult.c_str() + std::strlen("refused after ")), 3000) << sResult;  // of 3481
}

// A few mutants through the program: a damaged file ends the run with status 1, its last line
// naming the file, and no output; a mutant read whole gives the output of the intact file.
// htslib's decoding threads sometimes leave a few bytes of their own unfreed when a damaged
// block stops them (an allocation made on htslib's thread, with no frame of ours), which the
// leak checker of the sanitizer build then reports in place of the refusal: with more than one
// thread, leaks within htslib are not reported. Runs on one thread keep the whole check.
TEST_F(DamagedInput, RunsOnDamagedFilesEndNamingTheFile) {
    const std::string sSuppressions = pDir->File("htslib-threads.supp");
    WriteFile(sSuppressions, "leak:libhts.so\n");
    auto run = [&sSuppressions](const std::string& sInput, const std::string& sThreads, const std::string& sDir) {
        std::filesystem::create_directory(sDir);
        const std::string sLeaks = sThreads == "1" ? "" : "LSAN_OPTIONS=print_suppressions=0:suppressions='" + sSuppressions + "' ";
        const int iStatus = RunShell("cd '" + sDir + "' && " + sLeaks + "OMP_NUM_THREADS=" + sThreads + " timeout 60 '" KORVEX_BINARY
                                     "' NUM_THREADS=" + sThreads + " STRANDNESS_OPTION=OFF TOTAL_ITERATIONS=20 BURNIN_ITERATIONS=10 OUTPUT_FORMAT=SAMPLUS"
                                     " OUTPUT_FILE=out.sam+ MAP_FILENAME='" + sInput + "' >out.txt 2>err.txt");
        return ProgramResult{iStatus, "", ReadFile(sDir + "/err.txt")};
    };
    for (const Container& container : *pContainers) {
        const std::string sIntactDir = pDir->File("run-" + container.sName);
        ASSERT_EQ(run(pDir->File(container.sName), "2", sIntactDir).iExitStatus, 0) << container.sName;
        const std::string sIntactOutput = ReadFile(sIntactDir + "/out.sam+");
        MutantMaker maker(container, *pDir, 99);
        const std::string sPath = pDir->File("run-mutant." + container.sName);
        for (int iMutant = 0, iRun = 0; iMutant < 40 && iRun < 4; ++iMutant) {
            const Mutant mutant = maker.Make(container.kind != Kind::Gzip && iMutant % 2 == 0);
            if (mutant.expected != container.vLines) continue;  // the values of reordered units differ
            WriteFile(sPath, mutant.sBytes);
            const std::string sDir = sPath + "-" + std::to_string(iMutant), sThreads(1, "128"[iRun++ % 3]);
            SCOPED_TRACE(container.sName + ", mutant " + std::to_string(iMutant) + " (" + mutant.sLabel + "), " +
                         sThreads + " threads");
            const ProgramResult result = run(sPath, sThreads, sDir);
            if (result.iExitStatus == 0) {
                EXPECT_EQ(ReadFile(sDir + "/out.sam+"), sIntactOutput);
                continue;
            }
            EXPECT_EQ(result.iExitStatus, 1);
            EXPECT_EQ(LastLine(result.sStderr).find("KORVEX v2.0.0: the SAM file (" + sPath + ")"), 0u) << result.sStderr;
            EXPECT_FALSE(FileExists(sDir + "/out.sam+"));
        }
    }
}
