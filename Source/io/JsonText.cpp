#include "JsonText.h"

#include <cmath>
#include <cstdio>

namespace {

bool IsContinuation(const std::string& sText, std::size_t i, unsigned char cLow = 0x80, unsigned char cHigh = 0xbf) {
    if (i >= sText.size()) return false;
    const auto cByte = static_cast<unsigned char>(sText[i]);
    return cByte >= cLow && cByte <= cHigh;
}

// The length of the well-formed UTF-8 sequence of more than one byte at i; 0 when the bytes there
// are none (a lone continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t Utf8SequenceLength(const std::string& sText, std::size_t i) {
    const auto cLead = static_cast<unsigned char>(sText[i]);
    if (cLead >= 0xc2 && cLead <= 0xdf) return IsContinuation(sText, i + 1) ? 2 : 0;
    if (cLead >= 0xe0 && cLead <= 0xef) {
        const unsigned char cLow = cLead == 0xe0 ? 0xa0 : 0x80, cHigh = cLead == 0xed ? 0x9f : 0xbf;
        return IsContinuation(sText, i + 1, cLow, cHigh) && IsContinuation(sText, i + 2) ? 3 : 0;
    }
    if (cLead >= 0xf0 && cLead <= 0xf4) {
        const unsigned char cLow = cLead == 0xf0 ? 0x90 : 0x80, cHigh = cLead == 0xf4 ? 0x8f : 0xbf;
        return IsContinuation(sText, i + 1, cLow, cHigh) && IsContinuation(sText, i + 2) &&
                       IsContinuation(sText, i + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

// Appends the UTF-8 sequence at i, or U+FFFD for a byte of another encoding (a Latin-1 file name),
// since JSON is UTF-8; returns the bytes taken.
std::size_t AppendNonAscii(const std::string& sText, std::size_t i, std::string& sJson) {
    const std::size_t iLength = Utf8SequenceLength(sText, i);
    if (iLength == 0) {
        sJson += "\\ufffd";
        return 1;
    }
    sJson.append(sText, i, iLength);
    return iLength;
}

}  // namespace

std::string JsonString(const std::string& sText) {
    std::string sJson = "\"";
    for (std::size_t i = 0; i < sText.size(); ++i) {
        const char c = sText[i];
        const auto iByte = static_cast<unsigned char>(c);
        if (iByte >= 0x80) {
            i += AppendNonAscii(sText, i, sJson) - 1;
        } else if (c == '"' || c == '\\') {
            sJson += '\\';
            sJson += c;
        } else if (iByte < 0x20) {
            char acEscape[8];
            std::snprintf(acEscape, sizeof(acEscape), "\\u%04x", iByte);
            sJson += acEscape;
        } else {
            sJson += c;
        }
    }
    return sJson + "\"";
}

std::string JsonNumber(double dValue, int iDecimals) {
    if (!std::isfinite(dValue)) return "null";
    char acText[64];
    std::snprintf(acText, sizeof(acText), "%.*f", iDecimals, dValue);
    return acText;
}

std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& vMembers) {
    std::string sJson = "{";
    for (std::size_t i = 0; i < vMembers.size(); ++i)
        sJson += (i == 0 ? "" : ", ") + JsonString(vMembers[i].first) + ": " + vMembers[i].second;
    return sJson + "}";
}

std::string JsonCounts(const std::vector<std::pair<std::string, int64_t>>& vCounts) {
    std::vector<std::pair<std::string, std::string>> vMembers;
    for (const auto& [sKey, iCount] : vCounts) vMembers.emplace_back(sKey, std::to_string(iCount));
    return JsonObject(vMembers);
}
