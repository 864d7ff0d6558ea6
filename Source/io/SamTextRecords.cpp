#include "SamTextRecords.h"

#include <string_view>

#include "InputFile.h"
#include "LineSources.h"
#include "RecordLines.h"

namespace {

// The iField-th (0-based) tab-separated field of a line; empty when the line has fewer.
std::string_view FieldOf(const LineView& line, int iField) {
    std::string_view text(line.pData, line.iLength);
    std::size_t iStart = 0;
    for (int i = 0; i < iField; ++i) {
        iStart = text.find('\t', iStart);
        if (iStart == std::string_view::npos) return std::string_view();
        ++iStart;
    }
    std::size_t iEnd = text.find('\t', iStart);
    return text.substr(iStart, iEnd == std::string_view::npos ? std::string_view::npos : iEnd - iStart);
}

// htslib turns a record whose reference is missing from the header into an unmapped one;
// such a record could not be copied unchanged. The name of that reference, or empty.
std::string_view UnknownReference(const LineView& content, const bam1_t* pRecord) {
    const int RNAME_FIELD = 2, RNEXT_FIELD = 6;
    if (pRecord->core.tid < 0 && FieldOf(content, RNAME_FIELD) != "*") return FieldOf(content, RNAME_FIELD);
    if (pRecord->core.mtid < 0 && FieldOf(content, RNEXT_FIELD) != "*") return FieldOf(content, RNEXT_FIELD);
    return std::string_view();
}

}  // namespace

SamTextRecords::SamTextRecords(const InputFile& input_, const InputOptions& options)
    : input(input_), pLines(OpenLineSource(input_, options)) {}

SamTextRecords::~SamTextRecords() {
    ks_free(&text);
    sam_hdr_destroy(pHeader);
}

std::string SamTextRecords::Where(int64_t iLine) const {
    return DescribeSamFile(input.Name()) + ", line " + std::to_string(iLine);
}

void SamTextRecords::ParseHeader() {
    pHeader = sam_hdr_parse(sHeaderText.size(), sHeaderText.c_str());
    if (pHeader == nullptr) throw InputError(DescribeSamFile(input.Name()) + ": its header lines cannot be parsed");
}

bool SamTextRecords::Next(bam1_t* pRecord, int64_t& iLine) {
    LineView line;
    while (pLines->NextLine(line)) {
        ++iLinesRead;
        LineView content = RecordText(line);
        if (content.iLength == 0) continue;
        if (content.pData[0] == '@') {
            if (pHeader != nullptr) throw InputError(Where(iLinesRead) + ": a header line after the first record");
            sHeaderText.append(content.pData, content.iLength).push_back('\n');
            continue;
        }
        if (pHeader == nullptr) ParseHeader();
        ks_clear(&text);
        if (kputsn(content.pData, content.iLength, &text) < 0 || sam_parse1(&text, pHeader, pRecord) < 0)
            throw InputError(Where(iLinesRead) + ": the record cannot be read as SAM");
        const std::string_view sUnknown = UnknownReference(content, pRecord);
        if (!sUnknown.empty())
            throw InputError(Where(iLinesRead) + ": the reference " + std::string(sUnknown) +
                             " is not among the header's @SQ lines");
        iLine = iLinesRead;
        return true;
    }
    if (pHeader == nullptr) ParseHeader();
    return false;
}

void CheckRecordsForTaggedOutput(const InputFile& input, const InputOptions& options) {
    if (input.Format() == InputFormat::Bam || input.Format() == InputFormat::Cram) return;
    SamTextRecords records(input, options);
    const std::unique_ptr<bam1_t, void (*)(bam1_t*)> pRecord(bam_init1(), bam_destroy1);
    int64_t iLine = 0;
    while (records.Next(pRecord.get(), iLine)) {
    }
}
