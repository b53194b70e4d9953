#include "ParentProcess.h"

#include <unistd.h>

struct ParentProcess::Native
{
    pid_t parent = ::getppid();
};

ParentProcess::ParentProcess()
    : native(new Native)
{
}

ParentProcess::~ParentProcess() = default;

bool ParentProcess::isGone() const
{
    // An orphan is adopted by init or a subreaper, so its parent changes.
    return ::getppid() != native->parent;
}
