#ifndef KORVEX_MERGECOMMAND_H
#define KORVEX_MERGECOMMAND_H

struct RunSettings;

// korvex merge: combines the output of the iNumParts parts of a divided run into the
// output of the whole run. Returns the exit status.
int RunMergeCommand(const RunSettings& settings, int iNumParts);

#endif
