#include "HeapTrim.h"

#include <malloc.h>

void HeapTrim::giveBack()
{
    malloc_trim(0);
}
