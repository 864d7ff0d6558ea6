#include "MergeCommand.h"

#include "Logger.h"
#include "Settings.h"
#include "utils.h"

int RunMergeCommand(const RunSettings& /*settings*/, int /*iNumParts*/) {
    GetLogger()->Write("merge: not built yet\n", LogLevel::Error);
    return 1;
}
