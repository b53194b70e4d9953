#include "Bench.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

void usage()
{
    std::fprintf(stderr,
        "usage: lumivane-bench --overlay PATH --floor PATH --work DIR [--paint CSV] [--icon-data DIR]\n"
        "                      [--smoke] [--runs N] [--starts N]\n"
        "                      [--cycles N] [--warmup-storms N] [--storms N] [--storm-size N]\n"
        "                      [--bus-storm-size N] [--idle-seconds N]\n");
}

} // namespace

int main(int argc, char *argv[])
{
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--smoke") {
            // One short pass through every scenario: that the driver and both programs get through
            // them, not figures to compare. Options after it still apply.
            options.runs = options.starts = options.cycles = options.warmupStorms = options.storms = 1;
            options.idleSeconds = 1;
            continue;
        }
        if (i + 1 >= argc) {
            usage();
            return 2;
        }
        const char *value = argv[++i];
        if (option == "--overlay")
            options.overlay = value;
        else if (option == "--floor")
            options.floor = value;
        else if (option == "--work")
            options.workDirectory = value;
        else if (option == "--paint")
            options.paintResults = value;
        else if (option == "--icon-data")
            options.iconData = value;
        else if (option == "--runs")
            options.runs = std::atoi(value);
        else if (option == "--starts")
            options.starts = std::atoi(value);
        else if (option == "--cycles")
            options.cycles = std::atoi(value);
        else if (option == "--warmup-storms")
            options.warmupStorms = std::atoi(value);
        else if (option == "--storms")
            options.storms = std::atoi(value);
        else if (option == "--storm-size")
            options.stormSize = std::atoi(value);
        else if (option == "--bus-storm-size")
            options.busStormSize = std::atoi(value);
        else if (option == "--idle-seconds")
            options.idleSeconds = std::atoi(value);
        else {
            usage();
            return 2;
        }
    }
    if (options.overlay.empty() || options.floor.empty() || options.workDirectory.empty() ||
        options.runs < 1 || options.starts < 1 || options.cycles < 1 || options.warmupStorms < 1 ||
        options.storms < 1 || options.stormSize < 1 || options.busStormSize < 1 || options.idleSeconds < 1) {
        usage();
        return 2;
    }
    try {
        Bench bench(options);
        bench.run();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "lumivane-bench: %s\n", error.what());
        return 1;
    }
    // Figures are reported, never judged by the exit status.
    return 0;
}
