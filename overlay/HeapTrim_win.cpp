#include "HeapTrim.h"

void HeapTrim::giveBack()
{
    // The Windows heap decommits freed pages itself.
}
