#include "PathNames.h"

#include <cstring>
#include <filesystem>

namespace {

bool EndsWith(const std::string& sText, const std::string& sEnd) {
    return sText.size() >= sEnd.size() && sText.compare(sText.size() - sEnd.size(), sEnd.size(), sEnd) == 0;
}

}  // namespace

std::string DirectoryOf(const std::string& sPath) {
    const std::size_t iSlash = sPath.rfind('/');
    if (iSlash == std::string::npos) return ".";
    return iSlash == 0 ? "/" : sPath.substr(0, iSlash);
}

std::string InsertBeforeExtensions(const std::string& sPath, const std::string& sInsert) {
    const std::size_t iSlash = sPath.rfind('/');
    const std::size_t iNameStart = iSlash == std::string::npos ? 0 : iSlash + 1;
    const std::size_t iDot = sPath.find('.', iNameStart + 1);  // a leading dot is part of the name
    if (iDot == std::string::npos) return sPath + sInsert;
    return sPath.substr(0, iDot) + sInsert + sPath.substr(iDot);
}

std::string WithoutExtension(const std::string& sName, std::initializer_list<const char*> extensions) {
    for (const char* pExtension : extensions)
        if (EndsWith(sName, pExtension) && sName.size() > std::strlen(pExtension))
            return sName.substr(0, sName.size() - std::strlen(pExtension));
    return sName;
}

std::string ResolvedPath(const std::string& sPath) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = sPath;
    for (int iHops = 0; iHops < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++iHops) {
        fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    fs::path absolute = fs::absolute(path, error);  // a name of which nothing exists stays relative otherwise
    if (error) return sPath;
    fs::path resolved = fs::weakly_canonical(absolute, error);
    return error ? sPath : resolved.string();
}
