// bench_bridge: the bridge's figures, each against a bare floor measured in
// the same run (bench/baseline), printed as a table and written as JSON.
//
//   bench_bridge --plugin BENCH.fmx --bare-jar bare-child.jar [--java PATH]
//                [--json FILE] [--scale F] [--startups N]
//
// Exit status: 0 when the run was made (missed targets are marked in the
// table and the JSON), 2 when it could not be made.

#include <unistd.h>

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BareParent.h"
#include "BridgeHost.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "Timing.h"

namespace bench {
namespace {

struct Options {
    std::string plugin;
    std::string bare_jar;
    std::string java = "/usr/bin/java";
    std::string json;
    double scale = 1.0;
    int startups = 5;
};

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) throw std::invalid_argument(fmt::format("{} needs a value", name));
        const std::string value = argv[++i];
        if (name == "--plugin") options.plugin = value;
        else if (name == "--bare-jar") options.bare_jar = value;
        else if (name == "--java") options.java = value;
        else if (name == "--json") options.json = value;
        else if (name == "--scale") options.scale = std::stod(value);
        else if (name == "--startups") options.startups = std::stoi(value);
        else throw std::invalid_argument(fmt::format("unknown option {}", name));
    }
    if (options.plugin.empty() || options.bare_jar.empty())
        throw std::invalid_argument("--plugin and --bare-jar are required");
    if (options.scale <= 0 || options.startups < 1) throw std::invalid_argument("--scale and --startups must be positive");
    return options;
}

size_t scaled(double scale, size_t count) { return std::max<size_t>(1, static_cast<size_t>(count * scale)); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double milliseconds(std::chrono::nanoseconds duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

Verdict judge(bool met) { return met ? Verdict::met : Verdict::missed; }

// A call of one registered function with fixed parameters, as one host thread makes it.
class HostThreadCall {
public:
    HostThreadCall(RegisteredFunction function, const fmx::DataVect& parameters)
        : function(function), parameters(parameters), environment(hostsim::Host::instance().current_environment()) {}
    void operator()() const {
        fmx::Data result;
        const FMX_ErrorCode error = function(environment, parameters, result);
        if (error != 0) throw std::runtime_error(fmt::format("a benchmark function failed with error {}", error));
    }

private:
    RegisteredFunction function;
    const fmx::DataVect& parameters;
    fmx::ExprEnv environment;
};

// CPU time the host process and a child used during some calls.
struct CpuUse {
    double host = 0;
    double child = 0;
};

template <class Call>
void time_calls_with_cpu(size_t count, const Call& call, Samples& samples, pid_t child, CpuUse& use) {
    const double host_before = cpu_microseconds(getpid());
    const double child_before = cpu_microseconds(child);
    time_calls(count, call, samples);
    use.host += cpu_microseconds(getpid()) - host_before;
    use.child += cpu_microseconds(child) - child_before;
}

constexpr int callback_counts[] = {1, 3, 10};
constexpr unsigned thread_counts[] = {1, 2, 8};
constexpr size_t memory_calls = 100000;
constexpr double host_growth_limit_kib = 2048;

int run(const Options& options) {
    Report report;
    report.note("plugin", options.plugin);
    report.note("java", options.java);
    report.note("cpus", std::to_string(sysconf(_SC_NPROCESSORS_ONLN)));
    report.note("scale", fmt::format("{}", options.scale));
    {
        std::ifstream load("/proc/loadavg");
        std::string average;
        std::getline(load, average);
        report.note("load_average_at_start", average);
    }
    const JavaLaunch bare_launch = bridge_like_launch(options.java, options.bare_jar, "bare.BareChild");

    // --- Start-up: alternating bare and bridge starts ------------------------
    std::fprintf(stderr, "Start-up (%d rounds)...\n", options.startups);
    // Our child started by the bare parent tells the JVM's share (class path,
    // main class) apart from the rest of the initialisation.
    const JavaLaunch our_child_launch = bridge_like_launch(options.java, options.plugin, "com.corvane.ambrix.PipeChild");
    std::vector<double> bare_starts;
    std::vector<double> our_child_starts;
    std::vector<double> bridge_starts;
    for (int round = 0; round < options.startups; ++round) {
        bare_starts.push_back(milliseconds(BareParent(bare_launch).startup_time()));
        our_child_starts.push_back(milliseconds(BareParent(our_child_launch).startup_time()));
        BridgeHost host(options.plugin);
        bridge_starts.push_back(milliseconds(host.initialise()));
    }
    {
        const double bridge = median(bridge_starts);
        const double bare = median(bare_starts);
        const double our_child = median(our_child_starts);
        report.add({"start-up: init call until enabled (median)", bridge, "ms", bare, bridge / bare,
                    "<= 1.5x bare JVM to token", judge(bridge <= 1.5 * bare)});
        report.add({"start-up: our child's JVM to token (median)", our_child, "ms", bare, our_child / bare, "",
                    Verdict::info});
    }

    // --- The host and the bare parent used for every call figure -------------
    BridgeHost host(options.plugin);
    host.initialise();
    const pid_t bridge_child = find_child(getpid(), "java");
    const int64_t child_after_startup = resident_kib(bridge_child);
    BareParent bare(bare_launch);
    const int64_t bare_child_after_startup = resident_kib(bare.child_pid());

    fmx::DataVectUniquePtr no_parameters;
    fmx::DataVectUniquePtr one_text;
    {
        fmx::DataUniquePtr text;
        text->SetAsText(fmx::Text("benchmark"), text->GetLocale());
        one_text->PushBack(*text);
    }
    const HostThreadCall nothing(host.function("BNCH_Nothing"), *no_parameters);
    std::vector<HostThreadCall> with_callbacks;
    for (int count : {0, 1, 3, 10})
        with_callbacks.emplace_back(host.function(fmt::format("BNCH_Calls{}", count)), *one_text);
    const auto bare_call = [&bare](int32_t callbacks) { return [&bare, callbacks] { bare.call(callbacks); }; };

    std::fprintf(stderr, "Warming up...\n");
    Samples discarded;
    time_alternating(scaled(options.scale, 2000), 1, nothing, discarded, bare_call(0), discarded);
    for (const HostThreadCall& call : with_callbacks) time_calls(scaled(options.scale, 300), call, discarded);
    time_calls(scaled(options.scale, 1000), bare_call(10), discarded);

    // --- Trivial call ---------------------------------------------------------
    std::fprintf(stderr, "Trivial calls...\n");
    Samples bridge_trivial;
    Samples bare_trivial;
    CpuUse bridge_cpu;
    CpuUse bare_cpu;
    const size_t trivial_blocks = 4;
    const size_t trivial_block_calls = scaled(options.scale, 12000) / trivial_blocks + 1;
    for (size_t block = 0; block < trivial_blocks; ++block) {
        time_calls_with_cpu(trivial_block_calls, nothing, bridge_trivial, bridge_child, bridge_cpu);
        time_calls_with_cpu(trivial_block_calls, bare_call(0), bare_trivial, bare.child_pid(), bare_cpu);
    }
    report.add({"trivial call p50", bridge_trivial.p50(), "us", bare_trivial.p50(),
                bridge_trivial.p50() / bare_trivial.p50(), "<= 1.3x bare",
                judge(bridge_trivial.p50() <= 1.3 * bare_trivial.p50())});
    report.add({"trivial call p99", bridge_trivial.p99(), "us", bare_trivial.p99(),
                bridge_trivial.p99() / bare_trivial.p99(), "", Verdict::info});
    report.add({"trivial call p99 / p50", bridge_trivial.p99() / bridge_trivial.p50(), "", std::nullopt,
                std::nullopt, "<= 3", judge(bridge_trivial.p99() <= 3 * bridge_trivial.p50())});

    const double trivial_calls = static_cast<double>(bridge_trivial.size());
    report.add({"trivial call: host CPU per call", bridge_cpu.host / trivial_calls, "us", bare_cpu.host / trivial_calls,
                bridge_cpu.host / bare_cpu.host, "", Verdict::info});
    report.add({"trivial call: child CPU per call", bridge_cpu.child / trivial_calls, "us",
                bare_cpu.child / trivial_calls, bridge_cpu.child / bare_cpu.child, "", Verdict::info});

    // --- Callbacks --------------------------------------------------------------
    std::fprintf(stderr, "Calls with callbacks...\n");
    const size_t callback_calls = scaled(options.scale, 3000);
    Samples bridge_zero;
    Samples bare_zero;
    time_alternating(callback_calls, 4, with_callbacks[0], bridge_zero, bare_call(0), bare_zero);
    for (size_t index = 0; index < std::size(callback_counts); ++index) {
        const int count = callback_counts[index];
        Samples bridge_samples;
        Samples bare_samples;
        time_alternating(callback_calls, 4, with_callbacks[index + 1], bridge_samples, bare_call(count), bare_samples);
        const double ours = (bridge_samples.p50() - bridge_zero.p50()) / count;
        const double floor = (bare_samples.p50() - bare_zero.p50()) / count;
        const std::string name = fmt::format("cost per callback, {} callback{} (p50)", count, count == 1 ? "" : "s");
        if (floor <= 0) {
            // The machine's noise swamped the bare round trips: no floor to judge by.
            report.add({name, ours, "us", floor, std::nullopt, "<= 1.2x bare (floor lost in noise)", Verdict::info});
            continue;
        }
        report.add({name, ours, "us", floor, ours / floor, "<= 1.2x bare round trip", judge(ours <= 1.2 * floor)});
    }

    // --- Host threads -------------------------------------------------------------
    std::fprintf(stderr, "Host threads...\n");
    const size_t thread_calls = scaled(options.scale, 8000);
    double single_thread_rate = 0;
    for (unsigned threads : thread_counts) {
        const size_t per_thread = std::max<size_t>(1, thread_calls / threads);
        const ThreadRun bare_run = time_threads(threads, per_thread, [&] { return bare_call(0); });
        const ThreadRun bridge_run = time_threads(threads, per_thread, [&] {
            return HostThreadCall(host.function("BNCH_Nothing"), *no_parameters);
        });
        if (threads == 1) single_thread_rate = bridge_run.calls_per_second;
        report.add({fmt::format("{} host thread{}: calls per second", threads, threads == 1 ? "" : "s"),
                    bridge_run.calls_per_second, "1/s", bare_run.calls_per_second,
                    bridge_run.calls_per_second / bare_run.calls_per_second,
                    threads == 8 ? "not below 1 thread" : "",
                    threads == 8 ? judge(bridge_run.calls_per_second >= single_thread_rate) : Verdict::info});
        report.add({fmt::format("{} host thread{}: p99", threads, threads == 1 ? "" : "s"),
                    bridge_run.latencies.p99(), "us", bare_run.latencies.p99(),
                    bridge_run.latencies.p99() / bare_run.latencies.p99(), "", Verdict::info});
    }

    // --- Memory ---------------------------------------------------------------------
    const size_t calls = scaled(options.scale, memory_calls);
    std::fprintf(stderr, "Memory over %zu calls...\n", calls);
    const int64_t host_before = resident_kib(getpid());
    const int64_t child_before = resident_kib(bridge_child);
    Samples long_run;
    time_calls(calls, with_callbacks[2], long_run);
    const int64_t host_after = resident_kib(getpid());
    const int64_t child_after = resident_kib(bridge_child);
    // The bare child has served about as many calls by now.
    const int64_t bare_child_after = resident_kib(bare.child_pid());
    const std::string calls_text = fmt::format("{}k calls", calls / 1000);
    report.add({"child RSS after start-up", child_after_startup / 1024.0, "MiB", bare_child_after_startup / 1024.0,
                static_cast<double>(child_after_startup) / bare_child_after_startup, "", Verdict::info});
    report.add({"child RSS after " + calls_text + " (bare: at the end)", child_after / 1024.0, "MiB", bare_child_after / 1024.0,
                static_cast<double>(child_after) / bare_child_after, "", Verdict::info});
    report.add({"child RSS growth over " + calls_text, (child_after - child_before) / 1024.0, "MiB", std::nullopt,
                std::nullopt, "", Verdict::info});
    report.add({"host RSS before " + calls_text, host_before / 1024.0, "MiB", std::nullopt, std::nullopt, "",
                Verdict::info});
    report.add({"host RSS growth over " + calls_text, (host_after - host_before) / 1024.0, "MiB", std::nullopt,
                std::nullopt, fmt::format("no growth (<= {:.0f} MiB)", host_growth_limit_kib / 1024),
                judge(host_after - host_before <= host_growth_limit_kib)});

    std::printf("%s", report.table().c_str());
    if (!options.json.empty()) {
        std::ofstream out(options.json);
        out << report.json();
        if (!out) throw std::runtime_error(fmt::format("cannot write {}", options.json));
        std::printf("Results written to %s\n", options.json.c_str());
    }
    if (report.missed_count() > 0) std::printf("%d target(s) missed\n", report.missed_count());
    return 0;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    try {
        return bench::run(bench::parse_options(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_bridge: %s\n", e.what());
        return 2;
    }
}
