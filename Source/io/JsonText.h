#ifndef KORVEX_JSONTEXT_H
#define KORVEX_JSONTEXT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Pieces of JSON text for the files a run writes for pipelines and reports.

// The text as a JSON string, quoted, with quotes, backslashes and control characters escaped, and
// every byte that is not part of well-formed UTF-8 written as U+FFFD.
std::string JsonString(const std::string& sText);

// A number with iDecimals digits after the point; JSON has no NaN or infinity, so they are null.
std::string JsonNumber(double dValue, int iDecimals);

// An object of the members in their order, each value already JSON text, on one line.
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& vMembers);

// An object of counts, each key a name.
std::string JsonCounts(const std::vector<std::pair<std::string, int64_t>>& vCounts);

#endif
