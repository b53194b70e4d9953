#include "InstanceGuard.h"

bool InstanceGuard::overlayShowsUp()
{
    // Every overlay holds its named mutex before it makes the marker, and this one holds the
    // mutex now: no overlay stands behind a marker held by someone else.
    return false;
}
