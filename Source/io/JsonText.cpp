#include "JsonText.h"

#include <cmath>
#include <cstdio>

std::string JsonString(const std::string& sText) {
    std::string sJson = "\"";
    for (const char c : sText) {
        const auto iByte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
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
