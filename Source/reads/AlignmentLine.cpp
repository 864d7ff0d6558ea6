#include "AlignmentLine.h"

#include <cstring>

bool SamFields::Split(const char* pText, std::size_t iLength) {
    text = std::string_view(pText, iLength);
    iCount = 0;
    tags = std::string_view();
    const char* pField = pText;
    const char* pEnd = pText + iLength;
    while (pField < pEnd) {
        const char* pTab = static_cast<const char*>(std::memchr(pField, '\t', static_cast<std::size_t>(pEnd - pField)));
        const char* pFieldEnd = pTab ? pTab : pEnd;
        if (pFieldEnd > pField) {
            aFields[iCount++] = std::string_view(pField, static_cast<std::size_t>(pFieldEnd - pField));
            if (iCount == MANDATORY) {
                if (pTab) tags = std::string_view(pTab + 1, static_cast<std::size_t>(pEnd - pTab - 1));
                return true;
            }
        }
        if (!pTab) break;
        pField = pTab + 1;
    }
    return false;
}
