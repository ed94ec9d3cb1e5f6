#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// Latencies in microseconds.
class Samples {
public:
    void reserve(size_t count) { values.reserve(count); }
    void add(double microseconds) { values.push_back(microseconds); }
    void add_all(const Samples& other) { values.insert(values.end(), other.values.begin(), other.values.end()); }
    size_t size() const { return values.size(); }

    // The value at that fraction of the sorted samples (nearest rank).
    double percentile(double fraction) const {
        if (values.empty()) return 0;
        std::vector<double> sorted = values;
        const auto rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(rank), sorted.end());
        return sorted[rank];
    }
    double p50() const { return percentile(0.50); }
    double p99() const { return percentile(0.99); }

private:
    std::vector<double> values;
};

inline double microseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

}  // namespace bench
