#include "RunFiles.h"

#include <sys/stat.h>

#include "PathNames.h"

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
