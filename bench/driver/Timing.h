#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "Samples.h"

namespace bench {

// Times each of `count` calls.
template <class Call>
void time_calls(size_t count, Call&& call, Samples& samples) {
    samples.reserve(samples.size() + count);
    for (size_t i = 0; i < count; ++i) {
        const auto start = Clock::now();
        call();
        samples.add(microseconds_since(start));
    }
}

// Runs the two measurements in alternating blocks, so that a slow phase of a
// shared machine hits both alike.
template <class CallA, class CallB>
void time_alternating(size_t count, size_t blocks, CallA&& a, Samples& samples_a, CallB&& b, Samples& samples_b) {
    for (size_t block = 0; block < blocks; ++block) {
        const size_t share = count / blocks + (block < count % blocks ? 1 : 0);
        time_calls(share, a, samples_a);
        time_calls(share, b, samples_b);
    }
}

struct ThreadRun {
    Samples latencies;
    double calls_per_second = 0;
};

// `threads` host threads that start together and make `calls_per_thread`
// calls each. make_call runs on each thread and returns that thread's call.
template <class MakeCall>
ThreadRun time_threads(unsigned threads, size_t calls_per_thread, MakeCall make_call) {
    std::vector<Samples> per_thread(threads);
    std::vector<std::exception_ptr> failures(threads);
    std::mutex lock;
    std::condition_variable go_signal;
    bool go = false;
    unsigned ready = 0;
    std::condition_variable all_ready;
    Clock::time_point started;
    std::vector<std::thread> workers;
    for (unsigned index = 0; index < threads; ++index) {
        workers.emplace_back([&, index] {
            try {
                auto call = make_call();
                {
                    std::unique_lock<std::mutex> guard(lock);
                    ++ready;
                    all_ready.notify_one();
                    go_signal.wait(guard, [&] { return go; });
                }
                time_calls(calls_per_thread, call, per_thread[index]);
            } catch (...) {
                failures[index] = std::current_exception();
                std::lock_guard<std::mutex> guard(lock);
                if (!go) {
                    ++ready;
                    all_ready.notify_one();
                }
            }
        });
    }
    {
        std::unique_lock<std::mutex> guard(lock);
        all_ready.wait(guard, [&] { return ready == threads; });
        started = Clock::now();
        go = true;
    }
    go_signal.notify_all();
    for (std::thread& worker : workers) worker.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);

    ThreadRun run;
    for (const Samples& samples : per_thread) run.latencies.add_all(samples);
    run.calls_per_second = seconds > 0 ? static_cast<double>(run.latencies.size()) / seconds : 0;
    return run;
}

}  // namespace bench
