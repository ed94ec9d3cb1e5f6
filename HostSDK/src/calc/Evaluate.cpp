// The host's expression evaluation: parse, then evaluate, turning every
// failure into a host error number so that no input can bring the host down.
#include "CalcError.h"
#include "Interpreter.h"
#include "Parser.h"

#include "hostsdk/fmx.h"

#include <new>

namespace hostsim {
namespace {

// A plug-in function may evaluate an expression that calls a plug-in
// function again; this bounds that loop on each thread.
constexpr int kMaxNestedEvaluations = 32;
thread_local int nested_evaluations = 0;

class NestedEvaluation {
public:
    NestedEvaluation() {
        if (nested_evaluations >= kMaxNestedEvaluations)
            throw calc::CalcError(calc::kCalcError, "evaluations nested too deeply");
        ++nested_evaluations;
    }
    ~NestedEvaluation() { --nested_evaluations; }
    NestedEvaluation(const NestedEvaluation&) = delete;
    NestedEvaluation& operator=(const NestedEvaluation&) = delete;
};

}  // namespace

FMX_ErrorCode evaluate_expression(const fmx::Text& expression, const fmx::ExprEnv& env, fmx::Data& result) {
    try {
        NestedEvaluation nesting;
        const calc::NodePtr tree = calc::parse(expression.GetUTF8());
        result = calc::Interpreter(env).evaluate(*tree);
        return 0;
    } catch (const calc::CalcError& error) {
        return error.code();
    } catch (const std::bad_alloc&) {
        return fmx::kErrOutOfMemory;
    } catch (...) {
        // Whatever a plug-in function threw must not leave the host.
        return calc::kCalcError;
    }
}

}  // namespace hostsim
