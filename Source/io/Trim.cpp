#include "Trim.h"

std::string_view Trim(std::string_view text, std::string_view sLeading, std::string_view sTrailing) {
    std::size_t iEnd = text.size();
    while (iEnd > 0 && sTrailing.find(text[iEnd - 1]) != std::string_view::npos) --iEnd;
    std::size_t iFirst = 0;
    while (iFirst < iEnd && sLeading.find(text[iFirst]) != std::string_view::npos) ++iFirst;
    return text.substr(iFirst, iEnd - iFirst);
}
