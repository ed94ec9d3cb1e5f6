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
    std::uint64_t mismatches = 0;   // results that differ from the expected text
    std::string first_mismatch;     // describes the first of them
};

// `calls_per_thread` evaluations on each of `threads` threads, all running
// together. "{thread}" (0-based) and "{call}" (0-based, per thread) in the
// expression are replaced for each call; when `expected` is not empty, each
// result's text must equal it with the same replacements.
BenchResult run_bench(const std::string& expression, std::uint64_t calls_per_thread, unsigned threads,
                      const std::string& expected = {});

}  // namespace fmhost
