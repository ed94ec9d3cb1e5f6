// Splits an expression (UTF-8) into tokens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim::calc {

enum class TokenKind {
    Number,
    Text,
    Name,
    LeftParen,
    RightParen,
    Semicolon,
    Plus,
    Minus,
    Star,
    Slash,
    Ampersand,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    End
};

struct Token {
    TokenKind kind;
    std::string text;    // number lexeme, decoded text constant or name
    std::size_t offset;  // byte offset in the expression, for messages
};

// Text constants are written in double quotes; inside them \" stands for a
// quotation mark and \\ for a backslash, any other backslash is kept as is.
// Throws CalcError on a character that starts no token or on an unterminated
// text constant.
std::vector<Token> tokenize(std::string_view expression);

}  // namespace hostsim::calc
