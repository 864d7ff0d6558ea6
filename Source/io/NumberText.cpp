#include "NumberText.h"

#include <charconv>

std::size_t ShortNumberText(double dValue, char* pText) {
    const std::to_chars_result end =
        std::to_chars(pText, pText + NUMBER_TEXT_SIZE, dValue, std::chars_format::general, 6);
    return static_cast<std::size_t>(end.ptr - pText);
}

void AppendShortNumber(std::string& sText, double dValue) {
    char acText[NUMBER_TEXT_SIZE];
    sText.append(acText, ShortNumberText(dValue, acText));
}

std::string ShortNumberText(double dValue) {
    std::string sText;
    AppendShortNumber(sText, dValue);
    return sText;
}

std::size_t ExactNumberText(double dValue, char* pText) {
    const std::to_chars_result end = std::to_chars(pText, pText + NUMBER_TEXT_SIZE, dValue);
    return static_cast<std::size_t>(end.ptr - pText);
}

std::string ExactNumberText(double dValue) {
    char acText[NUMBER_TEXT_SIZE];
    return std::string(acText, ExactNumberText(dValue, acText));
}
