#include "IdleWindow.h"

#include "BenchOptions.h"
#include "ProcessStats.h"
#include "Session.h"
#include "Stage.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

IdleWindow::IdleWindow(Session &session, const BenchOptions &options)
    : session(session)
    , options(options)
{
}

void IdleWindow::run()
{
    const auto &stages = session.stages();
    std::fprintf(stderr, "bench: idle for %d s\n", options.idleSeconds);
    session.waitHidden();
    // The fade-out and anything it armed have run out by now.
    session.waitUntil(after(Clock::now(), 1000));
    std::vector<long> ticks, switches;
    std::vector<std::map<std::string, long>> byThread;
    for (const auto &stage : stages) {
        ticks.push_back(ProcessStats::cpuTicks(stage->subject.processId()));
        switches.push_back(ProcessStats::contextSwitches(stage->subject.processId()));
        byThread.push_back(ProcessStats::contextSwitchesByThread(stage->subject.processId()));
    }
    // Looked at once a second, to tell when a wake-up came; reading /proc wakes nobody.
    const TimePoint start = Clock::now();
    std::vector<long> seen = switches;
    for (int second = 1; second <= options.idleSeconds; ++second) {
        session.waitUntil(after(start, second * 1000));
        for (size_t i = 0; i < stages.size(); ++i) {
            const long now = ProcessStats::contextSwitches(stages[i]->subject.processId());
            if (now != seen[i])
                std::fprintf(stderr, "bench: %s woke %ld times in idle second %d\n",
                    stages[i]->subject.label().c_str(), now - seen[i], second);
            seen[i] = now;
        }
    }
    for (size_t i = 0; i < stages.size(); ++i) {
        const pid_t pid = stages[i]->subject.processId();
        stages[i]->figures.idleTicks = double(ProcessStats::cpuTicks(pid) - ticks[i]);
        stages[i]->figures.idleSwitches = double(ProcessStats::contextSwitches(pid) - switches[i]);
        // Which thread woke, for whoever has to find out why.
        for (const auto &[thread, count] : ProcessStats::contextSwitchesByThread(pid)) {
            const long before = byThread[i].count(thread) ? byThread[i].at(thread) : 0;
            if (count != before)
                std::fprintf(stderr, "bench: %s woke while idle: thread %s, %ld switches\n",
                    stages[i]->subject.label().c_str(), thread.c_str(), count - before);
        }
    }
}
