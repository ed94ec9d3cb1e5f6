#include "Simulator.h"

#include "Bench.h"
#include "Numbers.h"
#include "ValueText.h"

#include "hostsdk/fmx.h"

#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <strings.h>
#include <utility>
#include <vector>

namespace fmhost {
namespace {

constexpr FMX_UInt32 kStringIds[] = {kFMXT_NameStr, kFMXT_AppConfigStr, kFMXT_OptionsStr, kFMXT_HelpURLStr};
constexpr long long kMaxBenchCalls = 10'000'000;

hostsim::Host& host() { return hostsim::Host::instance(); }

template <typename... Args>
void say(fmt::format_string<Args...> format, Args&&... args) {
    fmt::print(stdout, format, std::forward<Args>(args)...);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

template <typename... Args>
Outcome complain(Outcome outcome, fmt::format_string<Args...> format, Args&&... args) {
    std::fflush(stdout);
    fmt::print(stderr, "fmhost: ");
    fmt::print(stderr, format, std::forward<Args>(args)...);
    std::fputc('\n', stderr);
    return outcome;
}

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (const char c : one_line(text)) {
        if (c == '"') result += '\\';
        result += c;
    }
    return result + "\"";
}

// Splits "word rest of line" at the first blank.
std::pair<std::string, std::string> split_first_word(const std::string& text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    const auto end = text.find(' ', begin);
    if (end == std::string::npos) return {text.substr(begin), {}};
    const auto rest = text.find_first_not_of(' ', end);
    return {text.substr(begin, end - begin), rest == std::string::npos ? std::string() : text.substr(rest)};
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    for (auto [word, rest] = split_first_word(text); !word.empty(); std::tie(word, rest) = split_first_word(rest))
        result.push_back(word);
    return result;
}

std::optional<FMX_PtrType> id_argument(const std::string& text) {
    const auto value = parse_integer(text);
    if (!value || *value < 0) return std::nullopt;
    return static_cast<FMX_PtrType>(*value);
}

// Runs one call into the plug-in; an exception that left it counts as a failure.
template <typename F>
Outcome guarded(F&& call) {
    try {
        call();
        return Outcome::Succeeded;
    } catch (const PluginCallError& error) {
        return complain(Outcome::Failed, "{}", error.what());
    }
}

}  // namespace

Simulator::Simulator(Options options) : options_(std::move(options)) {}

Outcome Simulator::start() {
    for (const auto& [name, path] : options_.files) host().attach_file(name, path);
    for (const std::string& script : options_.scripts) host().declare_script(script);
    return load();
}

Outcome Simulator::finish() { return plugin_ ? unload() : Outcome::Succeeded; }

const LoadedPlugin* Simulator::loaded_plugin() {
    if (!plugin_) complain(Outcome::Failed, "no plug-in is loaded");
    return plugin_ ? &*plugin_ : nullptr;
}

Outcome Simulator::load() {
    if (plugin_) return complain(Outcome::Failed, "the plug-in is already loaded");
    try {
        plugin_.emplace(options_.plugin_path);
        // The host asks for the name, the options and the description before it initialises.
        for (const FMX_UInt32 id : {kFMXT_NameStr, kFMXT_OptionsStr, kFMXT_AppConfigStr}) plugin_->get_string(id);
        const FMX_IntPtr answer = plugin_->initialise(options_.app_type, options_.api_version);
        print_triggered_scripts();
        if (answer != kCurrentExtnVersion) {
            complain(Outcome::Fatal, "the plug-in is not enabled: its init call answered {} instead of {}", answer,
                     static_cast<FMX_IntPtr>(kCurrentExtnVersion));
            unload();
            return Outcome::Fatal;
        }
        return Outcome::Succeeded;
    } catch (const LoadError& error) {
        plugin_.reset();
        return complain(Outcome::Fatal, "{}", error.what());
    } catch (const PluginCallError& error) {
        complain(Outcome::Fatal, "{}", error.what());
        unload();
        return Outcome::Fatal;
    }
}

Outcome Simulator::unload() {
    const Outcome outcome = guarded([this] { plugin_->shutdown(); });
    print_triggered_scripts();
    withdraw_leftover_registrations();
    // A plug-in whose shutdown failed may still have threads in its code.
    if (outcome != Outcome::Succeeded) plugin_->keep_loaded();
    plugin_.reset();
    return outcome;
}

// Entries still registered when the plug-in's code goes away would point
// into unmapped memory; the host forgets them rather than call them later.
void Simulator::withdraw_leftover_registrations() {
    for (const hostsim::RegisteredFunction& function : host().functions()) {
        complain(Outcome::Failed, "the plug-in left function {} registered at shutdown; withdrawn", function.name);
        host().unregister_function(function.plugin_id, function.function_id);
    }
    for (const hostsim::RegisteredScriptStep& step : host().script_steps()) {
        complain(Outcome::Failed, "the plug-in left script step {} registered at shutdown; withdrawn", step.name);
        host().unregister_script_step(step.plugin_id, step.step_id);
    }
}

// The host's record only grows, so a run recorded by a plug-in thread while
// this prints is printed next time instead of being lost to a clear.
void Simulator::print_triggered_scripts() {
    const auto triggered = host().triggered_scripts();
    for (; printed_scripts_ < triggered.size(); ++printed_scripts_) {
        const hostsim::TriggeredScript& run = triggered[printed_scripts_];
        say("triggered script {} in file {} control {} parameter {}", quoted(run.script), quoted(run.file),
            static_cast<int>(run.control), run.has_parameter ? quoted(run.parameter) : std::string("none"));
    }
}

Outcome Simulator::execute(const std::string& command) {
    const auto [name, arguments] = split_first_word(command);
    Outcome outcome = Outcome::Fatal;
    if (name == "eval") outcome = eval(arguments);
    else if (name == "step") outcome = step(arguments);
    else if (name == "idle") outcome = idle(arguments);
    else if (name == "session-end") outcome = session_end(arguments);
    else if (name == "file-end") outcome = file_end(arguments);
    else if (name == "functions" && arguments.empty()) outcome = functions();
    else if (name == "strings" && arguments.empty()) outcome = strings();
    else if (name == "shutdown" && arguments.empty()) outcome = plugin_ ? unload() : complain(Outcome::Failed, "no plug-in is loaded");
    else if (name == "load" && arguments.empty()) outcome = load();
    else if (name == "bench") outcome = bench(arguments);
    else return complain(Outcome::Fatal, "unknown command \"{}\"\n{}", command, kUsage);
    print_triggered_scripts();
    return outcome;
}

Outcome Simulator::eval(const std::string& expression) {
    if (expression.empty()) return complain(Outcome::Fatal, "eval needs an expression");
    fmx::Data result;
    const FMX_ErrorCode error = host().current_environment().Evaluate(fmx::Text(expression.c_str()), result);
    if (error != 0) {
        say("error {}", error);
        return Outcome::Failed;
    }
    say("{}", value_line(result));
    return Outcome::Succeeded;
}

// The step is the registered one with the longest name that the arguments
// start with (names may contain blanks); whatever follows is its text argument.
Outcome Simulator::step(const std::string& arguments) {
    if (arguments.empty()) return complain(Outcome::Fatal, "step needs a script step name");
    std::optional<hostsim::RegisteredScriptStep> chosen;
    for (const hostsim::RegisteredScriptStep& step : host().script_steps()) {
        const std::size_t length = step.name.size();
        const bool matches = length <= arguments.size() && strncasecmp(step.name.c_str(), arguments.c_str(), length) == 0 &&
                             (length == arguments.size() || arguments[length] == ' ');
        if (matches && (!chosen || length > chosen->name.size())) chosen = step;
    }
    if (!chosen) {
        say("error {}", fmx::kErrNotFound);
        return complain(Outcome::Failed, "no script step is registered as \"{}\"", arguments);
    }
    fmx::DataVect parameters;
    if (arguments.size() > chosen->name.size()) {
        fmx::Data argument;
        argument.SetAsText(fmx::Text(arguments.substr(chosen->name.size() + 1).c_str()), fmx::Locale());
        parameters.PushBack(argument);
    }
    fmx::Data result;
    FMX_ErrorCode error = 0;
    try {
        error = chosen->entry(chosen->step_id, host().current_environment(), parameters, result);
    } catch (...) {
        return complain(Outcome::Failed, "script step {} ended with an exception", chosen->name);
    }
    if (error != 0) {
        say("error {}", error);
        return Outcome::Failed;
    }
    say("{}", value_line(result));
    return Outcome::Succeeded;
}

Outcome Simulator::idle(const std::string& arguments) {
    FMX_UInt32 level = kFMXT_UserIdle;
    if (!arguments.empty()) {
        const auto value = parse_integer(arguments);
        if (!value || *value < 0 || *value > UINT32_MAX) return complain(Outcome::Fatal, "idle needs a level, not \"{}\"", arguments);
        level = static_cast<FMX_UInt32>(*value);
    }
    const LoadedPlugin* plugin = loaded_plugin();
    if (!plugin) return Outcome::Failed;
    return guarded([&] { plugin->idle(level, host().session_id()); });
}

Outcome Simulator::session_end(const std::string& arguments) {
    FMX_PtrType session = host().session_id();
    if (!arguments.empty()) {
        const auto value = id_argument(arguments);
        if (!value) return complain(Outcome::Fatal, "session-end needs a session id, not \"{}\"", arguments);
        session = *value;
    }
    const LoadedPlugin* plugin = loaded_plugin();
    if (!plugin) return Outcome::Failed;
    return guarded([&] { plugin->session_shutdown(session); });
}

Outcome Simulator::file_end(const std::string& arguments) {
    FMX_PtrType session = host().session_id();
    FMX_PtrType file = host().current_file_id();
    const std::vector<std::string> ids = words(arguments);
    if (!ids.empty()) {
        const auto session_value = ids.size() == 2 ? id_argument(ids[0]) : std::nullopt;
        const auto file_value = ids.size() == 2 ? id_argument(ids[1]) : std::nullopt;
        if (!session_value || !file_value)
            return complain(Outcome::Fatal, "file-end needs a session id and a file id, not \"{}\"", arguments);
        session = *session_value;
        file = *file_value;
    }
    const LoadedPlugin* plugin = loaded_plugin();
    if (!plugin) return Outcome::Failed;
    return guarded([&] { plugin->file_shutdown(session, file); });
}

Outcome Simulator::functions() {
    for (const hostsim::RegisteredFunction& function : host().functions()) {
        const std::string most = function.max_args < 0 ? std::string("*") : std::to_string(function.max_args);
        say("function {} {} {} {}..{} {}", quoted(function.plugin_id.AsString()), function.function_id,
            quoted(function.name), function.min_args, most, quoted(function.prototype));
    }
    for (const hostsim::RegisteredScriptStep& step : host().script_steps())
        say("step {} {} {} {}", quoted(step.plugin_id.AsString()), step.step_id, quoted(step.name), quoted(step.definition));
    return Outcome::Succeeded;
}

Outcome Simulator::strings() {
    const LoadedPlugin* plugin = loaded_plugin();
    if (!plugin) return Outcome::Failed;
    for (const FMX_UInt32 id : kStringIds) {
        std::string answer;
        const Outcome outcome = guarded([&] { answer = plugin->get_string(id); });
        if (outcome != Outcome::Succeeded) return outcome;
        say("{} {}", id, one_line(answer));
    }
    return Outcome::Succeeded;
}

// "bench EXPR N": the expression may contain blanks, the count is the last word.
Outcome Simulator::bench(const std::string& arguments) {
    const auto last_blank = arguments.find_last_of(' ');
    const auto count = last_blank == std::string::npos ? std::nullopt : parse_integer(arguments.substr(last_blank + 1));
    const std::string expression = last_blank == std::string::npos ? std::string() : arguments.substr(0, last_blank);
    if (!count || *count < 1 || *count > kMaxBenchCalls || expression.find_first_not_of(' ') == std::string::npos)
        return complain(Outcome::Fatal, "bench needs an expression and a call count from 1 to {}", kMaxBenchCalls);
    const BenchResult result =
        run_bench(expression, static_cast<std::uint64_t>(*count), options_.threads, options_.bench_expect);
    say("bench calls={} threads={} calls_per_second={:.0f} p50_us={:.2f} p99_us={:.2f}", result.calls, options_.threads,
        result.calls_per_second, result.p50_microseconds, result.p99_microseconds);
    if (result.mismatches != 0) say("mismatches={} first: {}", result.mismatches, result.first_mismatch);
    if (result.first_error != 0) {
        say("error {}", result.first_error);
        return Outcome::Failed;
    }
    return result.mismatches == 0 ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace fmhost
