// Error numbers of the calculation language and the exception that carries
// one out of the parser or the interpreter up to evaluate_expression.
#pragma once

#include "hostsdk/CallBlock.h"

#include <stdexcept>

namespace hostsim::calc {

// Numbers in the host's calculation-error range, so that a plug-in sees the
// kind of code it would see from the real thing.
enum CalcErrorCode : FMX_ErrorCode {
    kCalcError = 1200,             // wrong kind of value, division by zero, nesting too deep
    kTooFewArguments = 1201,
    kTooManyArguments = 1202,
    kUnexpectedEnd = 1203,         // the expression stops where more was needed
    kValueExpected = 1204,         // a number, text, name or "(" was expected
    kUnterminatedText = 1206,      // a text constant without its closing quotation mark
    kUnbalancedParenthesis = 1207,
    kOperatorOrFunctionUnknown = 1208  // two values without an operator, or an unknown function
};

class CalcError : public std::runtime_error {
public:
    CalcError(FMX_ErrorCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
    FMX_ErrorCode code() const noexcept { return code_; }

private:
    FMX_ErrorCode code_;
};

}  // namespace hostsim::calc
