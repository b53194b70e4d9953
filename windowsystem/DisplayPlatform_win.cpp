#include "DisplayPlatform.h"

// Windows has one windowing system, whose windows take any opacity: there is nothing to choose.

bool DisplayPlatform::chooseBeforeApplication(int, char *[])
{
    return true;
}

void DisplayPlatform::sayWhichDisplay() { }
