#include "RunFiles.h"

#include <sys/stat.h>

#include <filesystem>

#include "InputFile.h"
#include "Korvex.h"
#include "PartOutputs.h"
#include "PathNames.h"
#include "RunDirectory.h"
#include "RunSettings.h"

namespace {

// What makes two names one file: the same path once links are followed, or, for files that
// exist, the same device and inode (a hard link, a bind mount).
struct FileIdentity {
    std::string sResolved;
    bool bExists = false;
    dev_t iDevice = 0;
    ino_t iInode = 0;
};

FileIdentity IdentityOf(const std::string& sPath) {
    FileIdentity identity;
    identity.sResolved = ResolvedPath(sPath);
    struct stat status;
    if (::stat(sPath.c_str(), &status) == 0) {
        identity.bExists = true;
        identity.iDevice = status.st_dev;
        identity.iInode = status.st_ino;
    }
    return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.bExists && b.bExists && a.iDevice == b.iDevice && a.iInode == b.iInode) return true;
    return a.sResolved == b.sResolved;
}

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

void RunFiles::Reads(const std::string& sWhat, const std::string& sName, const std::string& sPath) {
    vFiles.push_back(Entry{sWhat, sName, sPath, ""});
}

void RunFiles::Writes(const std::string& sWhat, const std::string& sPath, const std::string& sKey) {
    vFiles.push_back(Entry{sWhat, sPath, sPath, sKey});
}

std::string RunFiles::FirstClash() const {
    std::vector<FileIdentity> vIdentities;
    for (const Entry& file : vFiles) vIdentities.push_back(IdentityOf(file.sPath));
    for (std::size_t i = 0; i < vFiles.size(); ++i) {
        if (vFiles[i].sKey.empty()) continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (!SameFile(vIdentities[i], vIdentities[j])) continue;
            return vFiles[i].sWhat + " (" + vFiles[i].sName + ") is " + vFiles[j].sWhat + " (" + vFiles[j].sName +
                   "): choose another " + vFiles[i].sKey;
        }
    }
    return std::string();
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
        const std::string sFinalOutput = FinalOutputSpec(settings, *pInput).sPath;
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
