#include "ProcessStats.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string procPath(pid_t pid, const std::string &rest)
{
    return "/proc/" + std::to_string(pid) + "/" + rest;
}

std::vector<std::string> threadDirectories(pid_t pid)
{
    std::vector<std::string> result;
    const std::string base = procPath(pid, "task");
    DIR *directory = opendir(base.c_str());
    if (!directory)
        return result;
    while (const dirent *entry = readdir(directory)) {
        if (entry->d_name[0] != '.')
            result.push_back(base + "/" + entry->d_name);
    }
    closedir(directory);
    return result;
}

// The value of a "Key:   value kB" line of a status-like file, or 0.
long statusField(const std::string &path, const std::string &key)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() && line[key.size()] == ':')
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    }
    return 0;
}

} // namespace

int64_t ProcessStats::cpuNanoseconds(pid_t pid)
{
    int64_t total = 0;
    for (const std::string &thread : threadDirectories(pid)) {
        std::ifstream file(thread + "/schedstat");
        long long running = 0;
        if (file >> running)
            total += running;
    }
    return total;
}

long ProcessStats::cpuTicks(pid_t pid)
{
    std::ifstream file(procPath(pid, "stat"));
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields are counted after its closing parenthesis.
    const size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    long total = 0;
    // Fields 3..15 of the record: utime and stime are the 12th and 13th after the name.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14 || index == 15)
            total += std::strtol(field.c_str(), nullptr, 10);
    }
    return total;
}

long ProcessStats::contextSwitches(pid_t pid)
{
    long total = 0;
    for (const std::string &thread : threadDirectories(pid)) {
        total += statusField(thread + "/status", "voluntary_ctxt_switches");
        total += statusField(thread + "/status", "nonvoluntary_ctxt_switches");
    }
    return total;
}

std::map<std::string, long> ProcessStats::contextSwitchesByThread(pid_t pid)
{
    std::map<std::string, long> result;
    for (const std::string &thread : threadDirectories(pid)) {
        std::ifstream file(thread + "/comm");
        std::string name;
        std::getline(file, name);
        result[thread.substr(thread.rfind('/') + 1) + " " + name] =
            statusField(thread + "/status", "voluntary_ctxt_switches") +
            statusField(thread + "/status", "nonvoluntary_ctxt_switches");
    }
    return result;
}

long ProcessStats::residentKiB(pid_t pid)
{
    return statusField(procPath(pid, "status"), "VmRSS");
}

long ProcessStats::proportionalKiB(pid_t pid)
{
    return statusField(procPath(pid, "smaps_rollup"), "Pss");
}

int ProcessStats::mappedLibraries(pid_t pid)
{
    std::ifstream file(procPath(pid, "maps"));
    std::set<std::string> libraries;
    std::string line;
    while (std::getline(file, line)) {
        const size_t slash = line.find('/');
        if (slash != std::string::npos && line.find(".so", slash) != std::string::npos)
            libraries.insert(line.substr(slash));
    }
    return int(libraries.size());
}
