#include "CompanionProcess.h"

#include <windows.h>

#include <memory>

void CompanionProcess::tieToOurLife()
{
    // Nothing of ours runs when this process is terminated by force: the job, whose only handle
    // is ours, ends the companion when the system closes that handle.
    job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return;
    // Created suspended and put in the job before it runs, so that nothing it starts escapes it.
    // QProcess holds the process's handles until its end.
    auto created = std::make_shared<PROCESS_INFORMATION *>(nullptr);
    setCreateProcessArgumentsModifier([created](CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
        *created = arguments->processInformation;
    });
    connect(this, &QProcess::started, this, [this, created] {
        AssignProcessToJobObject(job, (*created)->hProcess);
        ResumeThread((*created)->hThread);
    });
}

void CompanionProcess::killGroup()
{
    // No process groups here: the companion alone.
    kill();
}

void CompanionProcess::setUpChild()
{
    // Never called: on Windows the child is created and run in one step, with no code of ours
    // in between.
}
