// Times repeated evaluations of one expression from several host threads at once.
#pragma once

#include "hostsdk/CallBlock.h"

#include <cstdint>
#include <string>

namespace fmhost {

struct BenchResult {
    std::uint64_t calls = 0;
    double calls_per_second = 0;
    double p50_microseconds = 0;
    double p99_microseconds = 0;
    FMX_ErrorCode first_error = 0;  // of the first failed call, 0 when all succeeded
};

// `calls_per_thread` evaluations on each of `threads` threads, all running together.
BenchResult run_bench(const std::string& expression, std::uint64_t calls_per_thread, unsigned threads);

}  // namespace fmhost
