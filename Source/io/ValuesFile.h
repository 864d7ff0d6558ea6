#ifndef KORVEX_VALUESFILE_H
#define KORVEX_VALUESFILE_H

#include <cstdint>
#include <memory>
#include <string>

#include "ContentChecksum.h"
#include "LineSource.h"
#include "LineValues.h"

// The values of one part of a divided run: one line per value line, "LINE\tV1[\tV2]\n", each
// value printed so that it reads back as the identical double ("NA" for NaN). Written
// atomically; returns its checksum; throws OutputError naming the file.
ContentChecksum WriteValuesFile(const std::string& sPath, LineValueSource& values, int iColumns);

// Reads a values file back as a value source. Throws InputError naming the file and line for
// a line that is malformed, has another number of values, or is not after the line before.
class ValuesFileReader : public LineValueSource {
public:
    ValuesFileReader(const std::string& sPath, int iColumns);
    ~ValuesFileReader() override;
    bool Next(int64_t& iLineNumber, double* pdValues) override;
    // The checksum of the file as far as it was read.
    const ContentChecksum& Checksum() const { return pLines->Checksum(); }

private:
    // Throws the InputError of the current line; an empty sWhy says what the line should hold.
    [[noreturn]] void Malformed(const std::string& sWhy) const;

    std::string sPath;
    int iColumns;
    std::unique_ptr<LineSource> pLines;  // owned
    int64_t iFileLine;                   // lines of the file read so far
    int64_t iPreviousLineNumber;
};

#endif
