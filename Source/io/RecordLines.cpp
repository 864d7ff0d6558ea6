#include "RecordLines.h"

#include <string_view>

#include "InputFile.h"
#include "LineSources.h"
#include "Trim.h"

LineView RecordText(LineView line) {
    const std::string_view text = Trim(std::string_view(line.pData, line.iLength), SPACES_AND_TABS, " \t\r");
    return LineView{line.pData + (text.data() - line.pData), text.size()};
}

int64_t CountHeaderLines(sam_hdr_t* pHeader) {
    const char* pText = sam_hdr_str(pHeader);
    if (pText == nullptr) return 0;
    std::size_t iLength = sam_hdr_length(pHeader);
    int64_t iLines = 0;
    for (std::size_t i = 0; i < iLength; ++i) iLines += pText[i] == '\n';
    if (iLength > 0 && pText[iLength - 1] != '\n') ++iLines;
    return iLines;
}

RecordLines::RecordLines(const InputFile& input, const InputOptions& options) : iLine(0) {
    if (input.Format() == InputFormat::Bam || input.Format() == InputFormat::Cram) {
        HtsRecordReader reader(input, options);
        iLine = CountHeaderLines(reader.Header());
        return;
    }
    pLines = OpenLineSource(input, options);
}

RecordLines::~RecordLines() {}

bool RecordLines::Next(int64_t& iRecordLine) {
    if (!pLines) {
        iRecordLine = ++iLine;
        return true;
    }
    LineView line;
    while (pLines->NextLine(line)) {
        ++iLine;
        LineView content = RecordText(line);
        if (content.iLength == 0 || content.pData[0] == '@') continue;
        iRecordLine = iLine;
        return true;
    }
    return false;
}
