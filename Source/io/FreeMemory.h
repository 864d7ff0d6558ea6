#ifndef KORVEX_FREEMEMORY_H
#define KORVEX_FREEMEMORY_H

// Gives the memory that the program has freed back to the system. Freed memory otherwise stays
// with the process for later allocations, and a step that frees much before the next grows
// (the temporaries of reading and sorting, the texts needed only for scoring) would leave the
// next step's peak on top of it.
void ReturnFreedMemory();

#endif
