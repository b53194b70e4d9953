#ifndef PROCESSSTATS_H
#define PROCESSSTATS_H

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>

// What the kernel tells about a running process through /proc, summed over all its threads.
namespace ProcessStats {

// CPU time spent, in nanoseconds (the scheduler's own account, finer than clock ticks).
int64_t cpuNanoseconds(pid_t pid);

// CPU time spent in clock ticks, user plus system (/proc/PID/stat).
long cpuTicks(pid_t pid);

// Voluntary plus involuntary context switches: every time a thread woke up or was put aside.
long contextSwitches(pid_t pid);

// The same, thread by thread, keyed by "thread id name".
std::map<std::string, long> contextSwitchesByThread(pid_t pid);

// Resident set size in KiB (/proc/PID/status).
long residentKiB(pid_t pid);

// Proportional set size in KiB (/proc/PID/smaps_rollup): shared pages counted in part.
long proportionalKiB(pid_t pid);

// How many distinct shared objects the process has mapped.
int mappedLibraries(pid_t pid);

} // namespace ProcessStats

#endif // PROCESSSTATS_H
