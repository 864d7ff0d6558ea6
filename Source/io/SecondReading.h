#ifndef KORVEX_SECONDREADING_H
#define KORVEX_SECONDREADING_H

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "ContentChecksum.h"
#include "LineValues.h"

class InputFile;

// A writer reads the input a second time and gives each line its values: the values, met in
// line order, and what must hold before the output is put in place.

// Values per line at most: the unique-read share and the posterior.
constexpr int MAX_VALUE_COLUMNS = 2;

// What an earlier reading of the input found, which the output pass must find again: the
// number of lines and the content (see LineSource::Checksum; none when it is not known, as
// in the manifests of earlier builds). sReading names that reading in messages.
struct EarlierReading {
    EarlierReading(int64_t iLinesRead, const std::optional<ContentChecksum>& contentRead)
        : iLines(iLinesRead), content(contentRead) {}

    int64_t iLines;
    std::optional<ContentChecksum> content;
    std::string sReading = "its first reading";
    std::string sRemedy = "run again on a file that stays put";
};

// The values of the input lines, met in ascending line order while the input is read again.
class ValueCursor {
public:
    ValueCursor(LineValueSource& values_, int iColumns_) : values(values_), iColumns(iColumns_) {
        bPending = values.Next(iPendingLine, adPending);
    }
    // The values of line iLine, or nullptr when it has none.
    const double* At(int64_t iLine) {
        if (!bPending || iPendingLine != iLine) return nullptr;
        std::memcpy(adCurrent, adPending, sizeof(double) * static_cast<std::size_t>(iColumns));
        bPending = values.Next(iPendingLine, adPending);
        return adCurrent;
    }
    bool AllMet() const { return !bPending; }
    int64_t PendingLine() const { return iPendingLine; }

private:
    LineValueSource& values;
    int iColumns;
    bool bPending;
    int64_t iPendingLine = 0;
    double adPending[MAX_VALUE_COLUMNS] = {};
    double adCurrent[MAX_VALUE_COLUMNS] = {};
};

// What must hold before an output is put in place: the input is the file the earlier reading
// read, line for line and byte for byte, and every value found its line. Throws InputError
// naming the input.
void CheckSecondReading(const InputFile& input, int64_t iLinesRead, const ContentChecksum& content,
                        const EarlierReading& earlier, const ValueCursor& cursor);

#endif
