// Evaluates a syntax tree in a calculation environment.
//
// A call resolves first to a plug-in function in the host's tables (its
// minimum and maximum argument counts are checked before any argument is
// evaluated), then to a built-in function; anything else is unknown.
#pragma once

#include "Syntax.h"

#include "hostsdk/fmx.h"

namespace hostsim::calc {

class Interpreter {
public:
    explicit Interpreter(const fmx::ExprEnv& env) : env_(env) {}

    // Throws CalcError; a plug-in function's non-zero result becomes the error's code.
    fmx::Data evaluate(const Node& node) const;

private:
    fmx::Data evaluate_chain(const Chain& chain) const;
    fmx::Data evaluate_call(const Call& call) const;
    std::vector<fmx::Data> evaluate_arguments(const Call& call) const;

    const fmx::ExprEnv& env_;
};

}  // namespace hostsim::calc
