#include "RunPlan.h"

#include <omp.h>

#include <algorithm>
#include <filesystem>

#include "InputFile.h"
#include "PathNames.h"
#include "RunSettings.h"

namespace {

// Threads that may decode the input and compress the output. Reading and writing are not
// divided into jobs, so they may use the processors the runtime grants the process
// (OMP_NUM_THREADS, or the processors it may run on), whatever NUM_THREADS allows the jobs; but
// no more than MAX_IO_THREADS: the records are parsed and formatted in order on one thread,
// which that many BGZF threads already outpace, and each pool thread holds blocks in flight.
const int MAX_IO_THREADS = 16;
int IoThreads() { return std::clamp(omp_get_max_threads(), 1, MAX_IO_THREADS); }

// The parts a merge reads, in part order. The merge refuses at the first missing part and reads
// none after it, so the list ends with that part (by name: a link may point to it).
void ListParts(const RunSettings& settings, const std::string& sFinalOutput, RunFiles& files) {
    const bool bValuesOnly = settings.partOutput == PartOutput::Values;
    for (int k = 1; k <= settings.nparts; ++k) {
        const PartFiles part = PartFilesOf(sFinalOutput, k, settings.nparts, bValuesOnly);
        const std::string sPart = "part " + std::to_string(k) + "'s ";
        files.Reads(sPart + (bValuesOnly ? "values file" : "output file"), part.sOutput, part.sOutput);
        files.Reads(sPart + "manifest", part.sManifest, part.sManifest);
        std::error_code error;
        if (!std::filesystem::exists(part.sOutput, error) || !std::filesystem::exists(part.sManifest, error)) return;
    }
}

}  // namespace

InputOptions InputOptionsOf(const RunSettings& settings) {
    InputOptions options;
    options.sReference = settings.sReference;
    options.iThreads = IoThreads();
    return options;
}

OutputTarget FinalOutputTarget(const RunSettings& settings, const InputFile& input) {
    const OutputFormat format = settings.outputFormat.value_or(DefaultOutputFormat(input.Format()));
    const std::string sPath = settings.sOutputFile.empty() ? DefaultOutputPath(input, format) : settings.sOutputFile;
    return OutputTarget{format, sPath, settings.probMode, settings.sReference, IoThreads(),
                      settings.sCommandLine};
}

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

std::string PartFileName(const std::string& sPath, int iPart, int iNumParts) {
    if (iNumParts <= 1) return sPath;
    return InsertBeforeExtensions(sPath, ".part" + std::to_string(iPart) + "of" + std::to_string(iNumParts));
}

RunFiles FilesOfCommand(bool bMerge, const std::string& sConfigFile, const RunSettings& settings,
                        const InputFile* pInput) {
    RunFiles files;
    if (!sConfigFile.empty()) files.Reads("the configuration file", sConfigFile, sConfigFile);
    if (pInput != nullptr && pInput->IsStandardInput())
        files.Reads("the copy of standard input", pInput->Path(), pInput->Path());
    else if (!settings.sMapFileName.empty() && settings.sMapFileName != "-")
        files.Reads("the SAM file", settings.sMapFileName, settings.sMapFileName);
    if (!settings.sReference.empty()) files.Reads("the reference", settings.sReference, settings.sReference);
    if (pInput != nullptr) {
        const std::string sFinalOutput = FinalOutputTarget(settings, *pInput).sPath;
        if (bMerge) {
            ListParts(settings, sFinalOutput, files);
            files.Writes("the output file", sFinalOutput, "OUTPUT_FILE");
        } else {
            const PartFiles part = PartFilesOf(sFinalOutput, settings);
            files.Writes(part.bValuesOnly ? "the values file" : "the output file", part.sOutput, "OUTPUT_FILE");
            if (!part.sManifest.empty()) files.Writes("the manifest", part.sManifest, "OUTPUT_FILE");
        }
    }
    files.Writes("the log file", LogFileName(bMerge, settings), "LOG_FILENAME");
    return files;
}

std::string LogFileName(bool bMerge, const RunSettings& settings) {
    if (bMerge) return InsertBeforeExtensions(settings.sLogFilename, ".merge");
    return PartFileName(settings.sLogFilename, settings.part, settings.nparts);
}
