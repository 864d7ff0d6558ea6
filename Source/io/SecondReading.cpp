#include "SecondReading.h"

#include "InputFile.h"
#include "LineSource.h"

void CheckSecondReading(const InputFile& input, int64_t iLinesRead, const ContentChecksum& content,
                        const EarlierReading& earlier, const ValueCursor& cursor) {
    input.CheckUnchanged();
    if (iLinesRead != earlier.iLines)
        throw InputError(DescribeSamFile(input.Name()) + " gave " + std::to_string(iLinesRead) +
                         " lines when it was read again, but " + std::to_string(earlier.iLines) +
                         " the first time; it changed while korvex was running");
    if (earlier.content && content != *earlier.content)
        throw InputError(DescribeSamFile(input.Name()) + " has changed: read again, its content (" +
                         content.Describe() + ") differs from " + earlier.sReading + " (" +
                         earlier.content->Describe() + "); " + earlier.sRemedy);
    if (!cursor.AllMet())
        throw InputError("the values of line " + std::to_string(cursor.PendingLine()) + " found no such line in " +
                         DescribeSamFile(input.Name()) + " when it was read again");
}
