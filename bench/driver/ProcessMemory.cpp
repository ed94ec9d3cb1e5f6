#include "ProcessMemory.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace bench {

int64_t resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoll(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

namespace {

// The fields after "pid (comm) " of /proc/PID/stat, field 3 first; comm may hold blanks.
std::string stat_fields(pid_t pid) {
    std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(stat_file, stat)) return "";
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 > stat.size() ? "" : stat.substr(close + 2);
}

}  // namespace

double cpu_microseconds(pid_t pid) {
    std::istringstream fields(stat_fields(pid));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    // utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) user = std::strtoull(field.c_str(), nullptr, 10);
        if (index == 15) system = std::strtoull(field.c_str(), nullptr, 10);
    }
    return static_cast<double>(user + system) * 1e6 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t find_child(pid_t parent, const char* command) {
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), &closedir);
    if (!proc) return 0;
    pid_t newest = 0;
    unsigned long long newest_start = 0;
    while (const dirent* entry = readdir(proc.get())) {
        const pid_t pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
        if (pid <= 0) continue;
        std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
        std::string stat;
        if (!std::getline(stat_file, stat)) continue;
        // pid (comm) state ppid ... starttime is field 22; comm may hold blanks.
        const size_t open = stat.find('(');
        const size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (stat.substr(open + 1, close - open - 1) != command) continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        std::string state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid != parent || state == "Z") continue;
        for (int index = 5; index <= 22 && rest >> field; ++index) {
        }
        const unsigned long long start = std::strtoull(field.c_str(), nullptr, 10);
        if (newest == 0 || start >= newest_start) {
            newest = pid;
            newest_start = start;
        }
    }
    return newest;
}

}  // namespace bench
