#include "Options.h"

#include "Numbers.h"

#include <fmt/format.h>

namespace fmhost {

const char* const kUsage =
    "usage: fmhost [OPTIONS] PLUGIN.fmx [COMMAND ...]\n"
    "options:\n"
    "  --app-type N          application type sent at initialisation (default 1)\n"
    "  --api-version N       plug-in API version sent at initialisation (default 62)\n"
    "  --file NAME=PATH      attach an SQLite database as host file NAME (first = current file)\n"
    "  --script NAME         declare a host script (repeatable)\n"
    "  --threads N           host threads for bench (default 1)\n"
    "  --expect TEXT         bench: every result must read TEXT ({thread}, {call} filled in)\n"
    "commands (one argument each; read line by line from standard input when none is given):\n"
    "  eval EXPR | step NAME [ARG] | idle [LEVEL] | session-end [ID] | file-end [SESSION FILE]\n"
    "  functions | strings | shutdown | load | bench EXPR N\n";

namespace {

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool done() const { return pos_ >= arguments_.size(); }
    const std::string& next() { return arguments_[pos_++]; }

    // The value of an option, given as "--name value" or "--name=value".
    std::string value_of(const std::string& option, const std::string& inline_value, bool has_inline) {
        if (has_inline) return inline_value;
        if (done()) throw UsageError(fmt::format("{} needs a value", option));
        return next();
    }

    std::vector<std::string> rest() {
        std::vector<std::string> remaining(arguments_.begin() + static_cast<std::ptrdiff_t>(pos_), arguments_.end());
        pos_ = arguments_.size();
        return remaining;
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t pos_ = 0;
};

template <typename T>
T ranged_option(const std::string& option, const std::string& text, long long low, long long high) {
    const auto value = parse_integer(text);
    if (!value || *value < low || *value > high)
        throw UsageError(fmt::format("{} needs a whole number from {} to {}, not \"{}\"", option, low, high, text));
    return static_cast<T>(*value);
}

}  // namespace

Options parse_options(const std::vector<std::string>& arguments) {
    Options options;
    ArgumentReader reader(arguments);
    while (!reader.done()) {
        const std::string& argument = reader.next();
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            return options;
        }
        if (argument.rfind("--", 0) != 0) {
            options.plugin_path = argument;
            options.commands = reader.rest();
            return options;
        }
        const auto equals = argument.find('=');
        const bool has_inline = equals != std::string::npos;
        const std::string name = argument.substr(0, equals);
        const std::string inline_value = has_inline ? argument.substr(equals + 1) : std::string();
        if (name == "--app-type") {
            options.app_type = ranged_option<FMX_Application>(name, reader.value_of(name, inline_value, has_inline), 0, 255);
        } else if (name == "--api-version") {
            options.api_version =
                ranged_option<FMX_Int16>(name, reader.value_of(name, inline_value, has_inline), INT16_MIN, INT16_MAX);
        } else if (name == "--threads") {
            options.threads = ranged_option<unsigned>(name, reader.value_of(name, inline_value, has_inline), 1, 256);
        } else if (name == "--expect") {
            options.bench_expect = reader.value_of(name, inline_value, has_inline);
            if (options.bench_expect.empty()) throw UsageError("--expect needs a text");
        } else if (name == "--script") {
            std::string script = reader.value_of(name, inline_value, has_inline);
            if (script.empty()) throw UsageError("--script needs a name");
            options.scripts.push_back(std::move(script));
        } else if (name == "--file") {
            const std::string file_option = reader.value_of(name, inline_value, has_inline);
            const auto separator = file_option.find('=');
            if (separator == std::string::npos || separator == 0 || separator + 1 == file_option.size())
                throw UsageError(fmt::format("--file needs NAME=PATH, not \"{}\"", file_option));
            options.files.emplace_back(file_option.substr(0, separator), file_option.substr(separator + 1));
        } else {
            throw UsageError(fmt::format("unknown option {}", argument));
        }
    }
    throw UsageError("no plug-in file given");
}

}  // namespace fmhost
