#ifndef KORVEX_CONTENTSNIFF_H
#define KORVEX_CONTENTSNIFF_H

#include <string>
#include <string_view>
#include <vector>

// Recognising, from the first lines of a file, data that is not what the file was given as:
// sequencing reads or alignments where settings are expected, settings where alignments are.

// What a file starting with these lines (without their line ends; the first three are enough)
// is, when it is sequence data: "a BAM file", "a CRAM file", "compressed data (...)", "a SAM
// file", "FASTQ reads" or "FASTA sequences"; nullptr when it may be text of settings.
const char* DescribeSequenceData(const std::vector<std::string_view>& vFirstLines);

// Whether a line is a SAM header line (@HD, @SQ, @RG, @PG or @CO and a tab) or an alignment
// line (11 or more fields separated by tabs); no line of settings is either.
bool IsSamLine(std::string_view sLine);

// The first iCount lines of a regular file, without their line ends; a longer line counts as
// lines of iMaxLength bytes. Fewer when the file has fewer; empty when it cannot be read.
std::vector<std::string> FirstLines(const std::string& sPath, int iCount, std::size_t iMaxLength = 4096);

#endif
