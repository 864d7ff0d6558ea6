#ifndef KORVEX_FILEDESCRIPTOR_H
#define KORVEX_FILEDESCRIPTOR_H

#include <cstddef>

// Writes every byte to the descriptor, however many calls that takes, retrying a call that a
// signal interrupted. False, with errno set, when a write fails.
bool WriteAll(int iFd, const char* pData, std::size_t iLength);

#endif
