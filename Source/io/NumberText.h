#ifndef KORVEX_NUMBERTEXT_H
#define KORVEX_NUMBERTEXT_H

#include <cstddef>
#include <string>

// Doubles as text, the two ways korvex writes them. Both are independent of the locale.

// Room for either text of any double.
constexpr std::size_t NUMBER_TEXT_SIZE = 32;

// printf's %g: six significant digits ("0.333333", "1e-05", "1"), as the SAMplus fields, the
// call_record lines and the settings' texts show values. Writes to pText (NUMBER_TEXT_SIZE bytes,
// no terminating NUL) and returns the length.
std::size_t ShortNumberText(double dValue, char* pText);
void AppendShortNumber(std::string& sText, double dValue);
std::string ShortNumberText(double dValue);

// The shortest text that reads back as the very same double, as values files and manifests
// record values; to pText as above.
std::size_t ExactNumberText(double dValue, char* pText);
std::string ExactNumberText(double dValue);

#endif
