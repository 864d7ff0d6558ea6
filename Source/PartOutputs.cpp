#include "PartOutputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "AtomicFile.h"
#include "InputFile.h"
#include "Korvex.h"
#include "LineSources.h"
#include "MultiReadCollectionMgr.h"
#include "OutputWriters.h"
#include "RunDirectory.h"
#include "Settings.h"
#include "ThreadDataMgr.h"

namespace {

const char* FormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Samplus: return "SAMPLUS";
        case OutputFormat::Sam: return "SAM";
        case OutputFormat::Bam: return "BAM";
        case OutputFormat::Cram: return "CRAM";
    }
    return "";
}

// A double written so that it reads back as the same double.
std::string ExactText(double dValue) {
    char acBuffer[40];
    std::to_chars_result end = std::to_chars(acBuffer, acBuffer + sizeof(acBuffer), dValue);
    return std::string(acBuffer, end.ptr);
}

// The header lines of the input, each followed by a line end.
std::string HeaderText(const InputFile& input, const InputOptions& options) {
    std::unique_ptr<LineSource> pSource = OpenLineSource(input, options);
    std::string sHeader;
    LineView line;
    while (pSource->NextLine(line)) {
        if (line.iLength == 0) continue;
        if (line.pData[0] != '@') break;
        sHeader.append(line.pData, line.iLength);
        sHeader += '\n';
    }
    return sHeader;
}

int64_t FileSize(const std::string& sPath) {
    struct stat status;
    if (::stat(sPath.c_str(), &status) != 0)
        throw OutputError("the output file (" + sPath + ") cannot be found after writing: " + std::strerror(errno));
    return static_cast<int64_t>(status.st_size);
}

void SetValuesMissing(Read& read) {
    read.probability[0] = read.probability[1] = std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

PartFiles PartFilesOf(const std::string& sFinalOutput, int iPart, int iNumParts, bool bValuesOnly) {
    PartFiles files;
    if (iNumParts <= 1) {
        files.sOutput = sFinalOutput;
        return files;
    }
    files.bValuesOnly = bValuesOnly;
    files.sOutput = PartFileName(sFinalOutput, iPart, iNumParts) + (bValuesOnly ? ".values" : "");
    files.sManifest = files.sOutput + ".manifest";
    return files;
}

PartFiles PartFilesOf(const std::string& sFinalOutput, const RunSettings& settings) {
    return PartFilesOf(sFinalOutput, settings.part, settings.nparts, settings.partOutput == PartOutput::Values);
}

void KeepOnlyValuesOwnedByThisPart(MultiReadCollectionMgr& collections, const RunSettings& settings) {
    if (settings.nparts <= 1 || settings.part == 1) return;
    for (MultiRead& unique : collections.Container(1)) SetValuesMissing(unique.Reads(0));
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k) {
        MultiReadContainer& container = collections.Container(k);
        if (static_cast<int>(container.size()) > settings.nparts) continue;  // disjoint slices
        for (MultiRead& multiRead : container)
            for (int j = 0; j < k; ++j) SetValuesMissing(multiRead.Reads(j));
    }
}

Manifest SharedManifestEntries(const RunSettings& settings, const InputFile& input, const InputOptions& options) {
    Manifest manifest;
    manifest.Set("input", input.Name());
    AddIdentity(manifest, IdentifyInput(input.Path(), HeaderText(input, options)));
    manifest.Set("nparts", settings.nparts);
    manifest.Set("output_format", FormatName(FinalOutputSpec(settings, input).format));
    manifest.Set("part_output", settings.sPartOutput);
    manifest.Set("MAX_NUM_MISMATCHES_FOR_TOP_HITS", settings.maxMismatchesForTopHits);
    manifest.Set("EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS", settings.extraMismatchesForAdditionalHits);
    manifest.Set("MAX_ALIGNMENTS", settings.iMaxAlignments);
    manifest.Set("SEQ_FLANKING_VALUE", settings.iFlankingValue);
    manifest.Set("STRANDNESS_OPTION", settings.sStrandnessOption);
    manifest.Set("PROB_OUTPUT", settings.probOutput);
    manifest.Set("POLYMORPHISM_RATE", ExactText(settings.dPolymorphismRate));
    manifest.Set("TOTAL_ITERATIONS", settings.iTotalIterations);
    manifest.Set("BURNIN_ITERATIONS", settings.iBurninIterations);
    return manifest;
}

void RemoveOldManifest(const PartFiles& files) {
    if (files.sManifest.empty() || ::unlink(files.sManifest.c_str()) == 0 || errno == ENOENT) return;
    throw OutputError("the manifest (" + files.sManifest + ") of an earlier run of this part cannot be removed: " +
                      std::strerror(errno));
}

void WritePartManifest(const PartFiles& files, const RunSettings& settings, const InputFile& input,
                       const MultiReadCollectionMgr& collections, const PartChecksums& checksums) {
    Manifest manifest = SharedManifestEntries(settings, input, InputOptionsOf(settings));
    manifest.Set("part", settings.part);
    manifest.Set("input_lines", collections.LinesRead());
    manifest.Set("input_content_bytes", checksums.input.Bytes());
    manifest.Set("input_content_crc32", checksums.input.Hex());
    manifest.Set("kept_alignments", static_cast<int64_t>(collections.LineNumberMap.size()));
    int64_t iValueLines = 0;
    for (const Read* pRead : collections.LineNumberMap) iValueLines += !std::isnan(pRead->probability[0]);
    manifest.Set("value_lines", iValueLines);
    int64_t iMultireads = 0;
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k) {
        int iStart = 0, iEnd = 0;
        GetPartSlice(static_cast<int>(collections.Container(k).size()), settings.nparts, settings.part, iStart, iEnd);
        iMultireads += iEnd - iStart;
    }
    manifest.Set("multireads_computed", iMultireads);
    manifest.Set("output", files.sOutput);
    manifest.Set("output_bytes", FileSize(files.sOutput));
    manifest.Set("output_crc32", checksums.output.Hex());
    AtomicFile file(files.sManifest, &input);
    const std::string sText = manifest.Text();
    file.Write(sText.data(), sText.size());
    file.Commit();
}
