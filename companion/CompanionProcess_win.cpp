#include "CompanionProcess.h"

void CompanionProcess::killGroup()
{
    // No process groups here: the companion alone.
    kill();
}

void CompanionProcess::setupChildProcess()
{
    // Never called: on Windows the child is created and run in one step, with no code of ours
    // in between.
}
