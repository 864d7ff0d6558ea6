#include "PartOutputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "AtomicFile.h"
#include "InputFile.h"
#include "LineSources.h"
#include "MultiReadCollectionMgr.h"
#include "RunFigures.h"
#include "RunPlan.h"
#include "RunSettings.h"
#include "SettingsTable.h"

namespace {

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

bool UniqueValuesWrittenByThisPart(const RunSettings& settings) { return settings.nparts <= 1 || settings.part == 1; }

void KeepOnlyValuesOwnedByThisPart(MultiReadCollectionMgr& collections, const RunSettings& settings) {
    if (UniqueValuesWrittenByThisPart(settings)) return;
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
    manifest.Set("output_format", FormatName(FinalOutputTarget(settings, input).format));
    manifest.Set("part_output", ValueText(*FindSetting("PART_OUTPUT"), settings));
    for (const auto& [sKey, sText] : SettingsSharedByParts(settings)) manifest.Set(sKey, sText);
    return manifest;
}

void RemoveOldManifest(const PartFiles& files) {
    if (files.sManifest.empty() || ::unlink(files.sManifest.c_str()) == 0 || errno == ENOENT) return;
    throw OutputError("the manifest (" + files.sManifest + ") of an earlier run of this part cannot be removed: " +
                      std::strerror(errno));
}

void WritePartManifest(const PartFiles& files, const RunSettings& settings, const InputFile& input,
                       const PartWork& work) {
    Manifest manifest = SharedManifestEntries(settings, input, InputOptionsOf(settings));
    manifest.Set("part", settings.part);
    manifest.Set("input_lines", work.iInputLines);
    manifest.Set("input_content_bytes", work.input.Bytes());
    manifest.Set("input_content_crc32", work.input.Hex());
    manifest.Set("kept_alignments", work.iKeptAlignments);
    manifest.Set("value_lines", work.iValueLines);
    manifest.Set("multireads_computed", work.iMultireadsComputed);
    manifest.Set("output", files.sOutput);
    manifest.Set("output_bytes", FileSize(files.sOutput));
    manifest.Set("output_crc32", work.output.Hex());
    AddFiguresToManifest(work.summary, manifest);
    AtomicFile file(files.sManifest, &input);
    const std::string sText = manifest.Text();
    file.Write(sText.data(), sText.size());
    file.Commit();
}
