#include "SamplusWriter.h"

#include <cmath>
#include <memory>

#include "AtomicFile.h"
#include "InputFile.h"
#include "LineSources.h"
#include "NumberText.h"

namespace {

void WriteShortValue(AtomicFile& out, double dValue) {
    char acText[NUMBER_TEXT_SIZE];
    out.Write(acText, ShortNumberText(dValue, acText));
}

}  // namespace

ContentChecksum WriteSamplus(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                             LineValueSource& values, const EarlierReading& earlier) {
    const int iColumns = ValueColumns(output.mode);
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, inOptions);
    AtomicFile out(output.sPath, &input);
    ValueCursor cursor(values, iColumns);
    LineView line;
    int64_t iLine = 0;
    while (pLines->NextLine(line)) {
        const double* pdValues = cursor.At(++iLine);
        out.Write(line.pData, line.iLength);
        out.Put('\t');
        for (int i = 0; i < iColumns; ++i) {
            if (pdValues == nullptr || std::isnan(pdValues[i]))
                out.Write("NA", 2);
            else
                WriteShortValue(out, pdValues[i]);
            out.Put('\t');
        }
        out.Put('\n');
    }
    CheckSecondReading(input, iLine, pLines->Checksum(), earlier, cursor);
    const ContentChecksum written = out.Checksum();
    out.Commit();
    return written;
}
