// Fuzz target: the configuration file reader and the settling of the settings. The input is
// the text of a configuration file, then up to four command-line arguments, each behind a
// NUL byte. Settings that settle without a refusal must all lie in their ranges.
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Settings.h"
#include "SettingsTable.h"

namespace {

const std::size_t MAX_ARGUMENTS = 4;

// The configuration file lives in memory; its /proc path opens it afresh at offset 0.
int g_iConfigFd = -1;
std::string g_sConfigPath;

void WriteConfigFile(const char* pText, std::size_t iLength) {
    FUZZ_CHECK(ftruncate(g_iConfigFd, 0) == 0);
    FUZZ_CHECK(pwrite(g_iConfigFd, pText, iLength, 0) == static_cast<ssize_t>(iLength));
}

bool HasBlank(const std::string& sText) {
    for (char c : sText)
        if (std::isspace(static_cast<unsigned char>(c))) return true;
    return false;
}

void CheckSettledValues(const RunSettings& s, const std::string& sDump) {
    // Every integer within its row's range, so this check follows the table when a range changes.
    for (const SettingInfo& info : SettingTable()) {
        if (info.kind != SettingKind::Integer) continue;
        const int iValue = s.*info.pInteger;
        const int iMax = info.pMaxFrom ? s.*info.pMaxFrom : info.iMax;
        FUZZ_CHECK(iValue >= info.iMin && iValue <= iMax);
    }
    FUZZ_CHECK(s.dPolymorphismRate > 0.0 && s.dPolymorphismRate < 1.0);
    FUZZ_CHECK(s.iTotalIterations >= 2 && s.iTotalIterations <= 10000000);
    FUZZ_CHECK(s.iBurninIterations >= 0 && s.iBurninIterations <= s.iTotalIterations);
    // Every choice holds the value of one of its words (OUTPUT_FORMAT may hold none), and the dump
    // shows that word.
    for (const SettingInfo& info : SettingTable()) {
        if (info.kind != SettingKind::Choice) continue;
        const std::string sWord = ValueText(info, s);
        FUZZ_CHECK(WordIndex(info, sWord) >= 0 || (sWord.empty() && std::string(info.pName) == "OUTPUT_FORMAT"));
        FUZZ_CHECK(sDump.find("  " + std::string(info.pName) + " = " + (sWord.empty() ? "(" : sWord)) !=
                   std::string::npos);
    }
    FUZZ_CHECK(!s.sLogFilename.empty());
    for (const std::string* pPath : {&s.sLogFilename, &s.sMapFileName, &s.sOutputFile, &s.sReference})
        FUZZ_CHECK(!HasBlank(*pPath));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    g_iConfigFd = memfd_create("korvex-fuzz-config", 0);
    FUZZ_CHECK(g_iConfigFd >= 0);
    g_sConfigPath = "/proc/self/fd/" + std::to_string(g_iConfigFd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    const std::string sInput(reinterpret_cast<const char*>(pData), iSize);
    std::size_t iEndOfFile = sInput.find('\0');
    if (iEndOfFile == std::string::npos) iEndOfFile = sInput.size();
    WriteConfigFile(sInput.data(), iEndOfFile);

    std::vector<std::string> vArguments{g_sConfigPath};
    for (std::size_t iStart = iEndOfFile + 1; iStart <= sInput.size() && vArguments.size() <= MAX_ARGUMENTS;) {
        std::size_t iEnd = sInput.find('\0', iStart);
        if (iEnd == std::string::npos) iEnd = sInput.size();
        vArguments.push_back(sInput.substr(iStart, iEnd - iStart));
        iStart = iEnd + 1;
    }

    SettingSources sources;
    if (!ParseArguments(vArguments, false, sources).empty()) return 0;  // refused: a normal outcome
    FUZZ_CHECK(sources.sConfigFile == g_sConfigPath);
    const std::string sRefusal = ReadConfigurationFile(sources);
    if (!sRefusal.empty()) {  // only a control character or data of another kind refuses a file that can be read
        FUZZ_CHECK(sRefusal.find(" holds a control character (byte 0x") != std::string::npos ||
                   sRefusal.find(", not KEY=VALUE lines: ") != std::string::npos);
        return 0;
    }
    const SettledSettings settled = SettleSettings(sources);
    FUZZ_CHECK(settled.sDump.find("Settings in force") != std::string::npos);
    if (settled.vErrors.empty()) CheckSettledValues(settled.settings, settled.sDump);
    return 0;
}
