#include "SettingsAsInput.h"

#include <string>
#include <vector>

#include "ContentSniff.h"
#include "InputFile.h"
#include "LineSource.h"
#include "SettingsTable.h"
#include "Trim.h"

namespace {

// Comment and blank lines may come first; a SAM file holds neither.
const int LINES_LOOKED_AT = 20;

// The key of a KEY=VALUE line, or an empty text.
std::string KeyOf(std::string_view sLine) {
    const std::size_t iSeparator = sLine.find('=');
    if (iSeparator == std::string_view::npos || sLine.find('\t') < iSeparator) return std::string();
    return std::string(Trim(sLine.substr(0, iSeparator), SPACES_AND_TABS));
}

}  // namespace

void RefuseSettingsGivenAsInput(const InputFile& input) {
    if (input.Format() != InputFormat::Sam) return;
    for (const std::string& sLine : FirstLines(input.Path(), LINES_LOOKED_AT)) {
        const std::string_view sText = Trim(sLine, WHITE_SPACE);
        if (sText.empty() || sText[0] == '#') continue;
        const std::string sKey = KeyOf(sText);
        if (!sKey.empty() && FindSetting(sKey) != nullptr)
            throw InputError(DescribeSamFile(input.Name()) + " looks like a configuration file (" + sKey +
                             "= on its first line of settings), not alignments: give the SAM, BAM or CRAM "
                             "file as MAP_FILENAME");
        return;
    }
}
