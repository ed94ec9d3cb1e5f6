#include "Bench.h"

#include "ValueText.h"
#include "hostsdk/fmx.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace fmhost {
namespace {

using Clock = std::chrono::steady_clock;

// Joins every thread it started when it goes, whatever happened in between.
class ThreadGroup {
public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;
    ~ThreadGroup() { join(); }

    template <typename F>
    void start(F&& body) {
        threads_.emplace_back(std::forward<F>(body));
    }
    void join() {
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
    }

private:
    std::vector<std::thread> threads_;
};

// Lets every thread begin at the same moment.
class StartSignal {
public:
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait(lock, [this] { return go_; });
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            go_ = true;
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool go_ = false;
};

double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

bool has_placeholders(const std::string& text) {
    return text.find("{thread}") != std::string::npos || text.find("{call}") != std::string::npos;
}

std::string fill_in(std::string text, unsigned thread, std::uint64_t call) {
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"{thread}", std::to_string(thread)},
                                     std::pair<std::string, std::string>{"{call}", std::to_string(call)}}) {
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    }
    return text;
}

// The first mismatch found by any thread, and how many there were.
class MismatchRecord {
public:
    void add(unsigned thread, std::uint64_t call, const std::string& got, const std::string& expected) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_++ == 0)
            first_ = fmt::format("thread {} call {}: got \"{}\", expected \"{}\"", thread, call, got, expected);
    }
    void report(BenchResult& result) {
        std::lock_guard<std::mutex> lock(mutex_);
        result.mismatches = count_;
        result.first_mismatch = first_;
    }

private:
    std::mutex mutex_;
    std::uint64_t count_ = 0;
    std::string first_;
};

}  // namespace

BenchResult run_bench(const std::string& expression, std::uint64_t calls_per_thread, unsigned threads,
                      const std::string& expected) {
    // Without placeholders the expression is built once, outside the timed loop.
    const bool per_call_expression = has_placeholders(expression);
    const fmx::Text expression_text(expression.c_str());
    MismatchRecord mismatches;
    // Reserved here, so that no thread has to allocate (and possibly fail) while timed.
    std::vector<std::vector<double>> latencies(threads);
    for (auto& mine : latencies) mine.reserve(calls_per_thread);
    std::atomic<FMX_ErrorCode> first_error{0};
    StartSignal start;
    Clock::time_point began;
    Clock::time_point ended;
    {
        const auto start_worker = [&](ThreadGroup& group, unsigned index) {
            group.start([&, index] {
                const fmx::ExprEnv env = hostsim::Host::instance().current_environment();
                std::vector<double>& mine = latencies[index];
                start.wait();
                for (std::uint64_t call = 0; call < calls_per_thread; ++call) {
                    fmx::Data result;
                    const fmx::Text call_text(per_call_expression ? fill_in(expression, index, call).c_str() : "");
                    const fmx::Text& text = per_call_expression ? call_text : expression_text;
                    const auto before = Clock::now();
                    const FMX_ErrorCode error = hostsim::evaluate_expression(text, env, result);
                    mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
                    FMX_ErrorCode none = 0;
                    if (error != 0) first_error.compare_exchange_strong(none, error);
                    if (error == 0 && !expected.empty()) {
                        const std::string want = one_line(fill_in(expected, index, call));
                        const std::string got = value_line(result);
                        if (got != want) mismatches.add(index, call, got, want);
                    }
                }
            });
        };
        ThreadGroup group;
        try {
            for (unsigned index = 0; index < threads; ++index) start_worker(group, index);
        } catch (...) {
            start.release();  // the threads already running must not wait for ever
            throw;
        }
        began = Clock::now();
        start.release();
        group.join();
        ended = Clock::now();
    }
    std::vector<double> all;
    for (const auto& mine : latencies) all.insert(all.end(), mine.begin(), mine.end());
    std::sort(all.begin(), all.end());
    BenchResult result;
    result.calls = all.size();
    const double seconds = std::chrono::duration<double>(ended - began).count();
    result.calls_per_second = seconds > 0 ? static_cast<double>(all.size()) / seconds : 0;
    result.p50_microseconds = percentile(all, 0.50);
    result.p99_microseconds = percentile(all, 0.99);
    result.first_error = first_error.load();
    mismatches.report(result);
    return result;
}

}  // namespace fmhost
