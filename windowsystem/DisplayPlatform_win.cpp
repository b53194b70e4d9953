#include "DisplayPlatform.h"

// Windows has one windowing system, whose windows take any opacity: there is nothing to choose
// and nothing to restore.

void DisplayPlatform::chooseBeforeApplication(int, char *[]) { }

void DisplayPlatform::restoreEnvironment() { }

bool DisplayPlatform::hasWindowOpacity()
{
    return true;
}
