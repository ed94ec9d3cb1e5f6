// Recursive-descent parser of the calculation language.
//
//   comparison := concatenation { ("=" | "<>" | "<" | "<=" | ">" | ">=") concatenation }
//   concatenation := sum { "&" sum }
//   sum        := product { ("+" | "-") product }
//   product    := unary { ("*" | "/") unary }
//   unary      := "-" unary | primary
//   primary    := number | text | name [ "(" [ comparison { ";" comparison } ] ")" ] | "(" comparison ")"
#pragma once

#include "Syntax.h"

#include <cstddef>
#include <string_view>

namespace hostsim::calc {

// Deeper nesting than this is refused, so hostile input cannot exhaust the stack.
constexpr std::size_t kMaxNestingDepth = 200;

// Throws CalcError on a syntax error.
NodePtr parse(std::string_view expression);

}  // namespace hostsim::calc
