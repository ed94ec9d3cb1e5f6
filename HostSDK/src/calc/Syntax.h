// The syntax tree of one expression. Runs of operators of one precedence
// level are kept flat (first operand plus a list of operator/operand pairs),
// so a long chain such as 1+1+...+1 adds no depth; depth comes only from
// parentheses, unary minus and call arguments, which the parser bounds.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace hostsim::calc {

enum class BinaryOp { Add, Subtract, Multiply, Divide, Concatenate, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

struct Node;
using NodePtr = std::unique_ptr<Node>;

struct NumberLiteral {
    std::string digits;  // as written, read exactly when evaluated
};

struct TextLiteral {
    std::string value;
};

struct Call {
    std::string name;
    std::vector<NodePtr> arguments;
};

struct Negate {
    NodePtr operand;
};

// first op1 second op2 third ..., evaluated left to right.
struct Chain {
    NodePtr first;
    std::vector<std::pair<BinaryOp, NodePtr>> rest;
};

struct Node {
    std::variant<NumberLiteral, TextLiteral, Call, Negate, Chain> content;
};

}  // namespace hostsim::calc
