#include "Bench.h"

#include "DisplayCycles.h"
#include "IdleWindow.h"
#include "ResultTable.h"
#include "Stage.h"
#include "StartupRuns.h"
#include "Storms.h"
#include "Summary.h"

#include <cstdio>
#include <utility>

Bench::Bench(BenchOptions options)
    : options(std::move(options))
    , session(this->options)
{
}

void Bench::run()
{
    StartupRuns(session, options).run();
    DisplayCycles(session, options).run();
    Storms(session, options).run();
    IdleWindow(session, options).run();
    const auto &stages = session.stages();
    for (const auto &stage : stages) {
        stage->subject.readOutput();
        stage->subject.stop();
    }
    ResultTable table;
    Summary(options, stages[0]->figures, stages[1]->figures).fill(table);
    table.print();
    std::printf("budgets missed: %d\n", table.misses());
}
