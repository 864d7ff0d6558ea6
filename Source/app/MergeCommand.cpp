// korvex merge: the output of a divided run, put together from its parts. Each part holds the
// values of its own lines; the merge streams them side by side, line by line, and writes the
// whole run's output from the input with the same writer a whole run uses, so the file is
// byte for byte the one a single run writes. Nothing grows with the size of the files. Every
// byte of the parts and of the input is checked against the checksums the parts' manifests
// record before the output is put in place.
#include "MergeCommand.h"

#include <fcntl.h>
#include <htslib/sam.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "AtomicFile.h"
#include "ContentChecksum.h"
#include "InputFile.h"
#include "Leftovers.h"
#include "LineSources.h"
#include "Logger.h"
#include "Manifest.h"
#include "OutputWriters.h"
#include "PartOutputs.h"
#include "PlainLineSource.h"
#include "RecordLines.h"
#include "RunFigures.h"
#include "RunReports.h"
#include "RunPlan.h"
#include "RunSettings.h"
#include "SettingsAsInput.h"
#include "ValuesFile.h"

namespace {

// A part as the merge knows it.
struct Part {
    int iNumber;
    PartFiles files;
    Manifest manifest;
};

std::string ReadWholeFile(const std::string& sPath) {
    std::ifstream in(sPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw InputError("the file (" + sPath + ") could not be read");
    return text.str();
}

// The value of a key every manifest has; a manifest without it is refused.
const std::string& Entry(const Part& part, const std::string& sKey) {
    const std::string* pValue = part.manifest.Find(sKey);
    if (pValue == nullptr)
        throw InputError("the manifest (" + part.files.sManifest + ") has no entry " + sKey);
    return *pValue;
}

// The value of an entry that SharedManifestEntries writes. Manifests of earlier builds have no
// MAX_ALIGNMENTS or MAX_FRAGMENT_LENGTH: their parts kept at most 5 alignments per read, as the
// default does, and refused pairs, so that any fragment limit gives their numbers.
const std::string& SharedEntry(const Part& part, const std::string& sKey, const std::string& sMergeValue) {
    static const std::string sEarlierMaxAlignments = "5";
    if (part.manifest.Find(sKey) == nullptr) {
        if (sKey == "MAX_ALIGNMENTS") return sEarlierMaxAlignments;
        if (sKey == "MAX_FRAGMENT_LENGTH") return sMergeValue;
    }
    return Entry(part, sKey);
}

int64_t NumberEntry(const Part& part, const std::string& sKey) {
    const std::string& sValue = Entry(part, sKey);
    char* pEnd = nullptr;
    long long iValue = std::strtoll(sValue.c_str(), &pEnd, 10);
    if (sValue.empty() || *pEnd != '\0')
        throw InputError("the manifest (" + part.files.sManifest + "): " + sKey + " is not a number");
    return iValue;
}

// A part whose size differs from the one its manifest recorded was cut short or rewritten.
// (Manifests of earlier builds record none.)
void CheckSize(const Part& part) {
    if (part.manifest.Find("output_bytes") == nullptr) return;
    const int64_t iRecorded = NumberEntry(part, "output_bytes");
    const auto iSize = static_cast<int64_t>(std::filesystem::file_size(part.files.sOutput));
    if (iSize != iRecorded)
        throw InputError("the part (" + part.files.sOutput + ") has " + std::to_string(iSize) +
                         " bytes, but its manifest says " + std::to_string(iRecorded) +
                         ": it was cut short or changed after it was written; run that part again");
}

// A part run with the other PART_OUTPUT is there under the other name: the merge then needs that
// setting, not the part run again. A part whose log is there has run (or runs) and wrote no
// output, as a part does when it fails or its input has no usable alignment line: its log says
// which.
std::string RemedyForMissingPart(const std::string& sFinalOutput, int k, int iNumParts, bool bValuesOnly,
                                 const std::string& sPartLog) {
    const PartFiles other = PartFilesOf(sFinalOutput, k, iNumParts, !bValuesOnly);
    if (!std::filesystem::is_regular_file(other.sOutput) || !std::filesystem::is_regular_file(other.sManifest)) {
        if (std::filesystem::is_regular_file(sPartLog))
            return "; its log (" + sPartLog + ") is there: the part has run, or is running, and wrote no output; "
                   "its log says why";
        return "; run that part first";
    }
    const std::string sTheirs = bValuesOnly ? "FULL" : "VALUES", sOurs = bValuesOnly ? "VALUES" : "FULL";
    return ", but (" + other.sOutput + ") is, written with PART_OUTPUT=" + sTheirs + ": merge with PART_OUTPUT=" +
           sTheirs + ", or run the parts again with PART_OUTPUT=" + sOurs;
}

// Finds part k by the naming pattern and checks its manifest against what this merge reads and
// with which settings; sPartLog is the part's log.
Part FindPart(int k, int iNumParts, const std::string& sFinalOutput, bool bValuesOnly, const Manifest& expected,
              const std::string& sPartLog) {
    Part part{k, PartFilesOf(sFinalOutput, k, iNumParts, bValuesOnly), Manifest()};
    for (const std::string& sFile : {part.files.sOutput, part.files.sManifest})
        if (!std::filesystem::is_regular_file(sFile))
            throw InputError("part " + std::to_string(k) + " of " + std::to_string(iNumParts) + " is missing: (" +
                             sFile + ") is not there" +
                             RemedyForMissingPart(sFinalOutput, k, iNumParts, bValuesOnly, sPartLog));
    part.manifest = Manifest::Parse(ReadWholeFile(part.files.sManifest), part.files.sManifest);
    if (Entry(part, "part") != std::to_string(k))
        throw InputError("the manifest (" + part.files.sManifest + ") is that of part " + Entry(part, "part") +
                         ", not of part " + std::to_string(k) + ": a part is given twice");
    for (const auto& entry : expected.Entries()) {
        if (SharedEntry(part, entry.first, entry.second) == entry.second) continue;
        throw InputError("part " + std::to_string(k) + " (" + part.files.sOutput + ") was computed with " +
                         entry.first + " = " + SharedEntry(part, entry.first, entry.second) + ", but this merge has " + entry.first +
                         " = " + entry.second + ": the parts come from another input or other settings");
    }
    CheckSize(part);
    return part;
}

// A checksum the manifest records under sCrcKey, of sBytesKey bytes; none in the manifest of
// an earlier build, which records none.
std::optional<ContentChecksum> RecordedChecksum(const Part& part, const std::string& sCrcKey,
                                                const std::string& sBytesKey) {
    if (part.manifest.Find(sCrcKey) == nullptr) return std::nullopt;
    ContentChecksum checksum;
    if (!ContentChecksum::FromRecord(Entry(part, sCrcKey), Entry(part, sBytesKey), checksum))
        throw InputError("the manifest (" + part.files.sManifest + "): " + sCrcKey + " or " + sBytesKey +
                         " is not a checksum and a byte count");
    return checksum;
}

std::optional<ContentChecksum> RecordedInput(const Part& part) {
    return RecordedChecksum(part, "input_content_crc32", "input_content_bytes");
}

std::optional<ContentChecksum> RecordedOutput(const Part& part) {
    return RecordedChecksum(part, "output_crc32", "output_bytes");
}

// Every part must describe the same Step 1: the same lines, the same kept alignments and the
// same content of the input (where the manifests record it).
void CheckSameStep1(const std::vector<Part>& vParts) {
    auto disagree = [&](const Part& part, const std::string& sWhat) {
        return InputError("the manifests (" + vParts[0].files.sManifest + ") and (" + part.files.sManifest +
                          ") disagree on " + sWhat);
    };
    for (const char* sKey : {"input_lines", "kept_alignments"})
        for (const Part& part : vParts)
            if (Entry(part, sKey) != Entry(vParts[0], sKey)) throw disagree(part, sKey);
    std::optional<ContentChecksum> first;
    for (const Part& part : vParts) {
        const std::optional<ContentChecksum> content = RecordedInput(part);
        if (!content) continue;
        if (!first) first = content;
        if (*content != *first) throw disagree(part, "the input's content");
    }
}

// Parts of an earlier build record no checksums of the whole input and output: the merge says
// so and goes on with the checks it can make.
void WarnOfPartsWithoutChecksums(const std::vector<Part>& vParts) {
    for (const Part& part : vParts) {
        if (RecordedInput(part) && RecordedOutput(part)) continue;
        std::ostringstream message;
        message << "merge: the manifest (" << part.files.sManifest << ") records no checksum of the whole input "
                << "and output (it was written by an earlier build): the part (" << part.files.sOutput
                << ") and the input cannot be checked in full; run the part again to have them checked"
                << std::endl;
        GetLogger()->Write(message, true, LogLevel::Warning);
    }
}

// What the parts read of the input, as the first manifest that records it says.
EarlierReading ReadingOfTheParts(const std::vector<Part>& vParts) {
    EarlierReading reading(NumberEntry(vParts[0], "input_lines"), std::nullopt);
    for (const Part& part : vParts) {
        reading.content = RecordedInput(part);
        if (!reading.content) continue;
        reading.sReading = "what the parts read, as the manifest (" + part.files.sManifest + ") records";
        reading.sRemedy = "run the parts again on a file that stays put";
        break;
    }
    return reading;
}

// The values of a part, and the checksum of the part's file as far as it was read.
class PartValueSource : public LineValueSource {
public:
    virtual ContentChecksum FileContent() const = 0;
};

// The values of a SAMplus part: the fields after the last tabs of each line, "NA" for none.
class SamplusPartValues : public PartValueSource {
public:
    SamplusPartValues(const std::string& sPartPath, int iValueColumns, int64_t iInputLines)
        : sPath(sPartPath),
          source(sPartPath, "the part (" + sPartPath + ")"),
          iColumns(iValueColumns),
          iExpectedLines(iInputLines),
          iLine(0) {}

    bool Next(int64_t& iLineNumber, double* pdValues) override {
        LineView line;
        while (source.NextLine(line)) {
            ++iLine;
            if (ReadValues(std::string_view(line.pData, line.iLength), pdValues)) {
                iLineNumber = iLine;
                return true;
            }
        }
        if (iLine != iExpectedLines)
            throw InputError("the part (" + sPath + ") has " + std::to_string(iLine) + " lines, but the input has " +
                             std::to_string(iExpectedLines) + ": it is damaged or cut short");
        return false;
    }

    ContentChecksum FileContent() const override { return source.Checksum(); }

private:
    // The values of one line; false for a line whose fields are "NA".
    bool ReadValues(std::string_view text, double* pdValues) const {
        std::size_t iEnd = text.size();
        if (iEnd == 0 || text[iEnd - 1] != '\t') Malformed();
        --iEnd;
        bool bAny = false;
        for (int i = iColumns - 1; i >= 0; --i) {
            std::size_t iTab = text.rfind('\t', iEnd - 1);
            if (iTab == std::string_view::npos || iEnd == 0) Malformed();
            const std::string sField(text.substr(iTab + 1, iEnd - iTab - 1));
            if (sField == "NA") {
                pdValues[i] = std::nan("");
            } else {
                char* pEnd = nullptr;
                pdValues[i] = std::strtod(sField.c_str(), &pEnd);
                if (sField.empty() || *pEnd != '\0') Malformed();
                bAny = true;
            }
            iEnd = iTab;
        }
        return bAny;
    }

    [[noreturn]] void Malformed() const {
        throw InputError("the part (" + sPath + "), line " + std::to_string(iLine) + ": not a SAMplus line");
    }

    std::string sPath;
    PlainLineSource source;
    int iColumns;
    int64_t iExpectedLines;
    int64_t iLine;
};

// The values of a values part.
class ValuesPartValues : public PartValueSource {
public:
    ValuesPartValues(const std::string& sPartPath, int iValueColumns) : reader(sPartPath, iValueColumns) {}
    bool Next(int64_t& iLineNumber, double* pdValues) override { return reader.Next(iLineNumber, pdValues); }
    ContentChecksum FileContent() const override { return reader.Checksum(); }

private:
    ValuesFileReader reader;
};

// The checksum of a whole file.
ContentChecksum ChecksumOfFile(const std::string& sPath) {
    ContentChecksum checksum;
    const int iFd = ::open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    const bool bRead = iFd >= 0 && AddFileContent(iFd, checksum);
    const int iErrno = errno;
    if (iFd >= 0) ::close(iFd);
    if (!bRead) throw InputError("the part (" + sPath + ") cannot be read: " + std::strerror(iErrno));
    return checksum;
}

// The values of a tagged part: ZU and ZP of its records, each record on the line of the input
// record it copies. htslib decodes the file through buffers of its own, so its checksum comes
// from reading it once more, whole.
class TaggedPartValues : public PartValueSource {
public:
    TaggedPartValues(const std::string& sPartPath, const InputFile& input, const InputOptions& options,
                     ProbMode probMode)
        : partFile(sPartPath), reader(partFile, options), recordLines(input, options), mode(probMode),
          pRecord(bam_init1()), content(ChecksumOfFile(sPartPath)) {}
    ~TaggedPartValues() override { bam_destroy1(pRecord); }

    bool Next(int64_t& iLineNumber, double* pdValues) override {
        while (reader.Next(pRecord)) {
            int64_t iLine = 0;
            if (!recordLines.Next(iLine))
                throw InputError("the part (" + partFile.Name() + ") has more records than the input");
            const double dUniqueShare = Tag("ZU"), dPosterior = Tag("ZP");
            if (std::isnan(dUniqueShare) && std::isnan(dPosterior)) continue;
            iLineNumber = iLine;
            pdValues[0] = mode == ProbMode::Bayes ? dPosterior : dUniqueShare;
            pdValues[1] = dPosterior;
            return true;
        }
        return false;
    }

    ContentChecksum FileContent() const override { return content; }

private:
    double Tag(const char* pTag) const {
        const uint8_t* pData = bam_aux_get(pRecord, pTag);
        return pData == nullptr ? std::nan("") : static_cast<double>(bam_aux2f(pData));
    }

    InputFile partFile;
    HtsRecordReader reader;
    RecordLines recordLines;
    ProbMode mode;
    bam1_t* pRecord;  // owned
    ContentChecksum content;
};

// The values of all parts, line by line: each line from the one part that holds it. A line
// held by two parts, or fewer value lines than the run kept alignments, ends the merge.
class MergedValues : public LineValueSource {
public:
    MergedValues(std::vector<std::unique_ptr<PartValueSource>> vSourcesIn, const std::vector<Part>& vPartsIn,
                 int64_t iKept, int iValueColumns)
        : vSources(std::move(vSourcesIn)),
          vParts(vPartsIn),
          vPending(vSources.size()),
          vCounts(vSources.size(), 0),
          iKeptAlignments(iKept),
          iColumns(iValueColumns),
          iMerged(0) {
        for (std::size_t p = 0; p < vSources.size(); ++p) Advance(p);
    }

    bool Next(int64_t& iLineNumber, double* pdValues) override {
        int iBest = -1;
        for (std::size_t p = 0; p < vPending.size(); ++p) {
            if (!vPending[p].bHave) continue;
            if (iBest >= 0 && vPending[p].iLine == vPending[iBest].iLine)
                throw InputError("line " + std::to_string(vPending[p].iLine) + " carries values in part " +
                                 std::to_string(vParts[iBest].iNumber) + " (" + vParts[iBest].files.sOutput +
                                 ") and in part " + std::to_string(vParts[p].iNumber) + " (" +
                                 vParts[p].files.sOutput + ")");
            if (iBest < 0 || vPending[p].iLine < vPending[iBest].iLine) iBest = static_cast<int>(p);
        }
        if (iBest < 0) {
            CheckComplete();
            return false;
        }
        iLineNumber = vPending[iBest].iLine;
        for (int i = 0; i < iColumns; ++i) pdValues[i] = vPending[iBest].adValues[i];
        ++iMerged;
        Advance(static_cast<std::size_t>(iBest));
        return true;
    }

private:
    struct Pending {
        bool bHave = false;
        int64_t iLine = 0;
        double adValues[2] = {0.0, 0.0};
    };

    void Advance(std::size_t p) {
        vPending[p].bHave = vSources[p]->Next(vPending[p].iLine, vPending[p].adValues);
        if (vPending[p].bHave) ++vCounts[p];
    }

    // Each part, read to its end, must be the file its manifest describes, byte for byte.
    void CheckContent(std::size_t p) const {
        const std::optional<ContentChecksum> recorded = RecordedOutput(vParts[p]);
        const ContentChecksum content = vSources[p]->FileContent();
        if (!recorded || content == *recorded) return;
        throw InputError("the part (" + vParts[p].files.sOutput + ") is not the file its manifest (" +
                         vParts[p].files.sManifest + ") describes: its content (" + content.Describe() +
                         ") differs from the recorded one (" + recorded->Describe() +
                         "): it was changed after it was written; run that part again");
    }

    void CheckComplete() const {
        for (std::size_t p = 0; p < vParts.size(); ++p) CheckContent(p);
        for (std::size_t p = 0; p < vParts.size(); ++p)
            if (vCounts[p] != NumberEntry(vParts[p], "value_lines"))
                throw InputError("the part (" + vParts[p].files.sOutput + ") holds " + std::to_string(vCounts[p]) +
                                 " value lines, but its manifest says " + Entry(vParts[p], "value_lines") +
                                 ": it is damaged");
        if (iMerged != iKeptAlignments)
            throw InputError(std::to_string(iKeptAlignments - iMerged) +
                             " kept alignments carry values in no part (the parts hold " + std::to_string(iMerged) +
                             " of " + std::to_string(iKeptAlignments) + "): a part is incomplete");
    }

    std::vector<std::unique_ptr<PartValueSource>> vSources;  // owned; one per part, in part order
    const std::vector<Part>& vParts;
    std::vector<Pending> vPending;
    std::vector<int64_t> vCounts;
    int64_t iKeptAlignments;
    int iColumns;
    int64_t iMerged;
};

// The summary of the whole run, from those the parts' manifests record. Parts of an earlier build
// record none: the merge then says so and gives no summary and writes no report files.
std::optional<RunSummary> SummaryOfTheParts(const std::vector<Part>& vParts) {
    std::vector<RunSummary> vSummaries;
    std::vector<std::string> vNames;
    for (const Part& part : vParts) {
        std::optional<RunSummary> summary = FiguresFromManifest(part.manifest, part.files.sManifest);
        if (!summary) {
            GetLogger()->Write("merge: the manifest (" + part.files.sManifest + ") records no figures (it was "
                               "written by an earlier build): no summary, no stats file and no MultiQC sections "
                               "are written\n",
                               LogLevel::Warning);
            return std::nullopt;
        }
        vSummaries.push_back(std::move(*summary));
        vNames.push_back(part.files.sManifest);
    }
    return AddUpParts(vSummaries, vNames);
}

std::unique_ptr<PartValueSource> PartValues(const Part& part, const InputFile& input, const InputOptions& options,
                                            const OutputTarget& output, int64_t iInputLines) {
    const int iColumns = ValueColumns(output.mode);
    if (part.files.bValuesOnly) return std::make_unique<ValuesPartValues>(part.files.sOutput, iColumns);
    if (output.format == OutputFormat::Samplus)
        return std::make_unique<SamplusPartValues>(part.files.sOutput, iColumns, iInputLines);
    return std::make_unique<TaggedPartValues>(part.files.sOutput, input, options, output.mode);
}

int Merge(const RunSettings& settings, const InputFile& input, std::optional<RunSummary>& summary) {
    const int iNumParts = settings.nparts;
    const InputOptions options = InputOptionsOf(settings);
    const OutputTarget output = FinalOutputTarget(settings, input);
    const Manifest expected = SharedManifestEntries(settings, input, options);
    const bool bValuesOnly = settings.partOutput == PartOutput::Values;
    const ReportFiles reports = ReportFilesOf(true, settings, output.sPath);
    ProbeReportFiles(reports, input);

    std::vector<Part> vParts;
    for (int k = 1; k <= iNumParts; ++k)
        vParts.push_back(FindPart(k, iNumParts, output.sPath, bValuesOnly, expected,
                                  PartFileName(settings.sLogFilename, k, iNumParts)));
    CheckSameStep1(vParts);
    WarnOfPartsWithoutChecksums(vParts);
    const EarlierReading partsReading = ReadingOfTheParts(vParts);
    summary = SummaryOfTheParts(vParts);  // before the output, which a manifest it cannot read stops
    if (summary) summary->vOutputFiles = {output.sPath};
    RemoveOldReports(reports);
    ReportUnfinishedOutputs({output.sPath});  // what a merge killed before this one left

    std::vector<std::unique_ptr<PartValueSource>> vSources;
    for (const Part& part : vParts) vSources.push_back(PartValues(part, input, options, output, partsReading.iLines));
    MergedValues values(std::move(vSources), vParts, NumberEntry(vParts[0], "kept_alignments"),
                        ValueColumns(output.mode));
    WriteOutput(input, options, output, values, partsReading);

    std::ostringstream message;
    message << "merge: the " << iNumParts << " parts are merged into (" << output.sPath << ")." << std::endl;
    GetLogger()->Write(message, true);
    return 0;
}

}  // namespace

std::unique_ptr<InputFile> OpenMergeInput(const RunSettings& settings) {
    if (settings.nparts < 2)
        throw InputError("NPARTS = " + std::to_string(settings.nparts) +
                         ": a merge needs the parts of a run divided in 2 or more");
    if (settings.sMapFileName == "-")
        throw InputError("the parts read standard input (MAP_FILENAME=-), which a merge cannot read again");
    auto pInput = std::make_unique<InputFile>(settings.sMapFileName);
    RefuseSettingsGivenAsInput(*pInput);
    return pInput;
}

int RunMergeCommand(const RunSettings& settings, const InputFile& input, std::optional<RunSummary>& summary) {
    return Merge(settings, input, summary);
}
