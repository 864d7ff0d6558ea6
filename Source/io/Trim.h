#ifndef KORVEX_TRIM_H
#define KORVEX_TRIM_H

#include <string_view>

// Sets of characters to trim.
inline constexpr std::string_view SPACES_AND_TABS = " \t";
inline constexpr std::string_view WHITE_SPACE = " \t\n\v\f\r";  // what std::isspace accepts in the C locale

// The text without the characters of sLeading at its start and those of sTrailing at its end
// (the end first: a text made only of them gives an empty view at its start).
std::string_view Trim(std::string_view text, std::string_view sLeading, std::string_view sTrailing);

inline std::string_view Trim(std::string_view text, std::string_view sBothEnds) {
    return Trim(text, sBothEnds, sBothEnds);
}

#endif
