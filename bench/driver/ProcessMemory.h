#pragma once

#include <sys/types.h>

#include <cstdint>

namespace bench {

// Resident set size of a process in KiB, from /proc; 0 when unknown.
int64_t resident_kib(pid_t pid);

// CPU time (user and system) a process has used so far, in microseconds,
// at the kernel's tick resolution; 0 when unknown.
double cpu_microseconds(pid_t pid);

// The newest living child of `parent` whose command is `command` (as in
// /proc/PID/comm), or 0 when there is none.
pid_t find_child(pid_t parent, const char* command);

}  // namespace bench
