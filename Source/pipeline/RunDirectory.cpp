#include "RunDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Leftovers.h"
#include "Logger.h"
#include "PathNames.h"
#include "SignalCleanup.h"

RunDirectory::RunDirectory(const std::string& sBesideDirectory) : iUncaughtAtStart(std::uncaught_exceptions()) {
    const char* pTmp = std::getenv("TMPDIR");
    const std::string sParent = (pTmp != nullptr && *pTmp != '\0') ? pTmp : sBesideDirectory;
    std::string sTemplate = sParent + "/korvex-run-XXXXXX";
    std::vector<char> vName(sTemplate.begin(), sTemplate.end());
    vName.push_back('\0');
    {
        const SignalHold hold;  // until the directory is registered for removal
        if (mkdtemp(vName.data()) == nullptr)
            throw std::runtime_error("a private directory for the run's intermediate files could not be made in (" +
                                     sParent + "): " + std::strerror(errno));
        sPath = vName.data();
        RemoveDirectoryOnSignal(sPath);
    }
    WriteOwnerRecord(sPath);
}

RunDirectory::~RunDirectory() {
    ForgetOnSignal(sPath);
    if (std::uncaught_exceptions() > iUncaughtAtStart) {
        std::ostringstream message;
        message << "RunDirectory: the run failed; its intermediate files are kept in (" << sPath << ")." << std::endl;
        GetLogger()->Write(message, true, LogLevel::Warning);
        return;
    }
    std::error_code error;
    std::filesystem::remove_all(sPath, error);
    if (!error) return;
    std::ostringstream message;
    message << "RunDirectory: the directory (" << sPath << ") could not be removed: " << error.message() << "."
            << std::endl;
    GetLogger()->Write(message, true, LogLevel::Warning);
}
