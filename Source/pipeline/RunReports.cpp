#include "RunReports.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "AtomicFile.h"
#include "InputFile.h"
#include "MultiqcFiles.h"
#include "RunSettings.h"
#include "StatsFile.h"
#include "WallClock.h"

namespace {

std::vector<std::string> AllFiles(const ReportFiles& files) {
    std::vector<std::string> vFiles{files.sStats};
    vFiles.insert(vFiles.end(), files.vMultiqc.begin(), files.vMultiqc.end());
    return vFiles;
}

void WriteFile(const std::string& sPath, const std::string& sText, const InputFile& input) {
    AtomicFile file(sPath, &input);
    file.Write(sText.data(), sText.size());
    file.Commit();
}

}  // namespace

void ProbeReportFiles(const ReportFiles& files, const InputFile& input) {
    for (const std::string& sFile : AllFiles(files)) AtomicFile probe(sFile, &input);
}

void RemoveOldReports(const ReportFiles& files) {
    for (const std::string& sFile : AllFiles(files))
        if (::unlink(sFile.c_str()) != 0 && errno != ENOENT)
            throw OutputError("the report file (" + sFile + ") of an earlier run cannot be removed: " +
                              std::strerror(errno));
}

std::vector<std::string> WriteReports(bool bMerge, const RunSettings& settings, const InputFile& input,
                                      const RunSummary& summary) {
    const std::string sFinalOutput = FinalOutputTarget(settings, input).sPath;
    const ReportFiles files = ReportFilesOf(bMerge, settings, sFinalOutput);
    const char* pCommand = bMerge ? "merge" : settings.nparts > 1 ? "part" : "run";
    const std::string sWritten = bMerge ? sFinalOutput : PartFilesOf(sFinalOutput, settings).sOutput;
    const StatsOrigin origin{pCommand, input.Name(), sWritten, summary.dWallSeconds, ProcessResourceUsage()};
    WriteFile(files.sStats, StatsJson(summary, settings, origin), input);
    const std::vector<std::string> vTexts = MultiqcTexts(files.sSample, summary);
    for (std::size_t i = 0; i < files.vMultiqc.size(); ++i) WriteFile(files.vMultiqc[i], vTexts[i], input);
    std::vector<std::string> vWritten{files.sStats};
    vWritten.insert(vWritten.end(), files.vMultiqc.begin(), files.vMultiqc.end());
    return vWritten;
}
