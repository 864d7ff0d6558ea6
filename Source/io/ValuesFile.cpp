#include "ValuesFile.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "AtomicFile.h"
#include "NumberText.h"
#include "PlainLineSource.h"
#include "SecondReading.h"

ContentChecksum WriteValuesFile(const std::string& sPath, LineValueSource& values, int iColumns) {
    AtomicFile out(sPath);
    int64_t iLine = 0;
    double adValues[MAX_VALUE_COLUMNS];
    char acText[64];
    while (values.Next(iLine, adValues)) {
        std::to_chars_result result = std::to_chars(acText, acText + sizeof(acText), iLine);
        out.Write(acText, static_cast<std::size_t>(result.ptr - acText));
        for (int i = 0; i < iColumns; ++i) {
            out.Put('\t');
            if (std::isnan(adValues[i])) {
                out.Write("NA", 2);
                continue;
            }
            out.Write(acText, ExactNumberText(adValues[i], acText));
        }
        out.Put('\n');
    }
    const ContentChecksum written = out.Checksum();
    out.Commit();
    return written;
}

ValuesFileReader::ValuesFileReader(const std::string& sPath_, int iColumns_)
    : sPath(sPath_),
      iColumns(iColumns_),
      pLines(std::make_unique<PlainLineSource>(sPath_, "the values file (" + sPath_ + ")")),
      iFileLine(0),
      iPreviousLineNumber(0) {}

ValuesFileReader::~ValuesFileReader() = default;

void ValuesFileReader::Malformed(const std::string& sWhy) const {
    std::string sReason = sWhy.empty() ? "expected a line number and " + std::to_string(iColumns) +
                                             " value(s), separated by tabs"
                                       : sWhy;
    throw InputError("the values file (" + sPath + "), line " + std::to_string(iFileLine) + ": " + sReason);
}

bool ValuesFileReader::Next(int64_t& iLineNumber, double* pdValues) {
    LineView line;
    if (!pLines->NextLine(line)) return false;
    ++iFileLine;
    const char* pText = line.pData;
    const char* pEnd = line.pData + line.iLength;
    std::from_chars_result result = std::from_chars(pText, pEnd, iLineNumber);
    if (result.ec != std::errc() || iLineNumber <= iPreviousLineNumber) {
        if (result.ec == std::errc()) Malformed("line numbers must rise, but " + std::to_string(iLineNumber) +
                                                " follows " + std::to_string(iPreviousLineNumber));
        Malformed("");
    }
    pText = result.ptr;
    for (int i = 0; i < iColumns; ++i) {
        if (pText == pEnd || *pText != '\t') Malformed("");
        ++pText;
        if (pEnd - pText >= 2 && pText[0] == 'N' && pText[1] == 'A' && (pEnd - pText == 2 || pText[2] == '\t')) {
            pdValues[i] = std::numeric_limits<double>::quiet_NaN();
            pText += 2;
            continue;
        }
        result = std::from_chars(pText, pEnd, pdValues[i]);
        if (result.ec != std::errc()) Malformed("");
        pText = result.ptr;
    }
    if (pText != pEnd) Malformed("");
    iPreviousLineNumber = iLineNumber;
    return true;
}
