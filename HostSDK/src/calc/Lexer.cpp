#include "Lexer.h"

#include "CalcError.h"

#include <fmt/format.h>

namespace hostsim::calc {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_name_part(char c) { return is_name_start(c) || is_digit(c) || c == '.'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class Lexer {
public:
    explicit Lexer(std::string_view input) : input_(input) {}

    std::vector<Token> run() {
        std::vector<Token> tokens;
        for (;;) {
            skip_space();
            if (pos_ >= input_.size()) {
                tokens.push_back({TokenKind::End, {}, pos_});
                return tokens;
            }
            tokens.push_back(next());
        }
    }

private:
    void skip_space() {
        while (pos_ < input_.size() && is_space(input_[pos_])) ++pos_;
    }

    Token next() {
        const std::size_t start = pos_;
        const char c = input_[pos_];
        if (is_digit(c) || (c == '.' && pos_ + 1 < input_.size() && is_digit(input_[pos_ + 1])))
            return number(start);
        if (c == '"') return text(start);
        if (is_name_start(c)) {
            while (pos_ < input_.size() && is_name_part(input_[pos_])) ++pos_;
            return {TokenKind::Name, std::string(input_.substr(start, pos_ - start)), start};
        }
        ++pos_;
        switch (c) {
        case '(': return {TokenKind::LeftParen, {}, start};
        case ')': return {TokenKind::RightParen, {}, start};
        case ';': return {TokenKind::Semicolon, {}, start};
        case '+': return {TokenKind::Plus, {}, start};
        case '-': return {TokenKind::Minus, {}, start};
        case '*': return {TokenKind::Star, {}, start};
        case '/': return {TokenKind::Slash, {}, start};
        case '&': return {TokenKind::Ampersand, {}, start};
        case '=': return {TokenKind::Equal, {}, start};
        case '<':
            if (accept('=')) return {TokenKind::LessEqual, {}, start};
            if (accept('>')) return {TokenKind::NotEqual, {}, start};
            return {TokenKind::Less, {}, start};
        case '>':
            if (accept('=')) return {TokenKind::GreaterEqual, {}, start};
            return {TokenKind::Greater, {}, start};
        default:
            throw CalcError(kValueExpected, fmt::format("unexpected character at offset {}", start));
        }
    }

    bool accept(char c) {
        if (pos_ < input_.size() && input_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    Token number(std::size_t start) {
        while (pos_ < input_.size() && is_digit(input_[pos_])) ++pos_;
        if (pos_ < input_.size() && input_[pos_] == '.') {
            ++pos_;
            while (pos_ < input_.size() && is_digit(input_[pos_])) ++pos_;
        }
        return {TokenKind::Number, std::string(input_.substr(start, pos_ - start)), start};
    }

    Token text(std::size_t start) {
        ++pos_;  // opening quotation mark
        std::string value;
        while (pos_ < input_.size()) {
            const char c = input_[pos_++];
            if (c == '"') return {TokenKind::Text, std::move(value), start};
            if (c == '\\' && pos_ < input_.size() && (input_[pos_] == '"' || input_[pos_] == '\\')) {
                value += input_[pos_++];
                continue;
            }
            value += c;
        }
        throw CalcError(kUnterminatedText, fmt::format("text starting at offset {} has no closing quotation mark", start));
    }

    std::string_view input_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view expression) { return Lexer(expression).run(); }

}  // namespace hostsim::calc
