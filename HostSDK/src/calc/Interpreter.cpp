#include "Interpreter.h"

#include "Builtins.h"
#include "CalcError.h"
#include "Operators.h"
#include "Values.h"

#include <fmt/format.h>

namespace hostsim::calc {
namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

void check_argument_count(const std::string& name, std::size_t given, long min_args, long max_args) {
    if (static_cast<long>(given) < min_args)
        throw CalcError(kTooFewArguments, fmt::format("{} needs at least {} arguments", name, min_args));
    if (max_args >= 0 && static_cast<long>(given) > max_args)
        throw CalcError(kTooManyArguments, fmt::format("{} takes at most {} arguments", name, max_args));
}

}  // namespace

fmx::Data Interpreter::evaluate(const Node& node) const {
    return std::visit(Overloaded{
                          [](const NumberLiteral& literal) {
                              fmx::FixPt number;
                              if (!number.AssignText(literal.digits)) throw CalcError(kCalcError, "bad number");
                              return number_value(number);
                          },
                          [](const TextLiteral& literal) { return text_value(literal.value); },
                          [this](const Negate& negation) { return negate(evaluate(*negation.operand)); },
                          [this](const Chain& chain) { return evaluate_chain(chain); },
                          [this](const Call& call) { return evaluate_call(call); },
                      },
                      node.content);
}

fmx::Data Interpreter::evaluate_chain(const Chain& chain) const {
    fmx::Data value = evaluate(*chain.first);
    for (const auto& [op, operand] : chain.rest) value = apply(op, value, evaluate(*operand));
    return value;
}

std::vector<fmx::Data> Interpreter::evaluate_arguments(const Call& call) const {
    std::vector<fmx::Data> values;
    values.reserve(call.arguments.size());
    for (const NodePtr& argument : call.arguments) values.push_back(evaluate(*argument));
    return values;
}

fmx::Data Interpreter::evaluate_call(const Call& call) const {
    if (const auto function = Host::instance().find_function(call.name)) {
        check_argument_count(function->name, call.arguments.size(), function->min_args, function->max_args);
        fmx::DataVect parameters;
        for (const fmx::Data& value : evaluate_arguments(call)) parameters.PushBack(value);
        fmx::Data result;
        const FMX_ErrorCode error = function->entry(function->function_id, env_, parameters, result);
        if (error != 0) throw CalcError(error, fmt::format("{} answered error {}", function->name, error));
        return result;
    }
    if (const Builtin* builtin = find_builtin(call.name)) {
        check_argument_count(builtin->name, call.arguments.size(), static_cast<long>(builtin->min_args),
                             static_cast<long>(builtin->max_args));
        return builtin->run(evaluate_arguments(call));
    }
    throw CalcError(kOperatorOrFunctionUnknown, fmt::format("unknown function {}", call.name));
}

}  // namespace hostsim::calc
