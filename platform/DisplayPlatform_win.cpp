#include "DisplayPlatform.h"

// Windows has one windowing system; there is nothing to choose and nothing to restore.

void DisplayPlatform::chooseBeforeApplication(int, char *[]) { }

void DisplayPlatform::restoreEnvironment() { }
