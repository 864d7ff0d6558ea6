#include "FreeMemory.h"

#include <malloc.h>

void ReturnFreedMemory() { malloc_trim(0); }
