#include "Parser.h"

#include "CalcError.h"
#include "Lexer.h"

#include <fmt/format.h>

namespace hostsim::calc {
namespace {

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    NodePtr run() {
        NodePtr root = comparison();
        switch (peek().kind) {
        case TokenKind::End: return root;
        case TokenKind::RightParen:
            throw CalcError(kUnbalancedParenthesis, fmt::format("\")\" without \"(\" at offset {}", peek().offset));
        default:
            throw CalcError(kOperatorOrFunctionUnknown, fmt::format("operator missing at offset {}", peek().offset));
        }
    }

private:
    // Counts one level of nesting for as long as it lives.
    class DepthGuard {
    public:
        explicit DepthGuard(std::size_t& depth) : depth_(depth) {
            if (++depth_ > kMaxNestingDepth) {
                --depth_;
                throw CalcError(kCalcError, "expression nested too deeply");
            }
        }
        ~DepthGuard() { --depth_; }
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

    private:
        std::size_t& depth_;
    };

    const Token& peek() const { return tokens_[pos_]; }
    const Token& take() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

    template <typename Next, typename MatchOp>
    NodePtr chain(Next next, MatchOp match_op) {
        NodePtr first = (this->*next)();
        Chain result{std::move(first), {}};
        for (BinaryOp op; match_op(peek().kind, op);) {
            take();
            result.rest.emplace_back(op, (this->*next)());
        }
        if (result.rest.empty()) return std::move(result.first);
        return std::make_unique<Node>(Node{std::move(result)});
    }

    NodePtr comparison() {
        return chain(&Parser::concatenation, [](TokenKind kind, BinaryOp& op) {
            switch (kind) {
            case TokenKind::Equal: op = BinaryOp::Equal; return true;
            case TokenKind::NotEqual: op = BinaryOp::NotEqual; return true;
            case TokenKind::Less: op = BinaryOp::Less; return true;
            case TokenKind::LessEqual: op = BinaryOp::LessEqual; return true;
            case TokenKind::Greater: op = BinaryOp::Greater; return true;
            case TokenKind::GreaterEqual: op = BinaryOp::GreaterEqual; return true;
            default: return false;
            }
        });
    }

    NodePtr concatenation() {
        return chain(&Parser::sum, [](TokenKind kind, BinaryOp& op) {
            op = BinaryOp::Concatenate;
            return kind == TokenKind::Ampersand;
        });
    }

    NodePtr sum() {
        return chain(&Parser::product, [](TokenKind kind, BinaryOp& op) {
            if (kind == TokenKind::Plus) op = BinaryOp::Add;
            else if (kind == TokenKind::Minus) op = BinaryOp::Subtract;
            else return false;
            return true;
        });
    }

    NodePtr product() {
        return chain(&Parser::unary, [](TokenKind kind, BinaryOp& op) {
            if (kind == TokenKind::Star) op = BinaryOp::Multiply;
            else if (kind == TokenKind::Slash) op = BinaryOp::Divide;
            else return false;
            return true;
        });
    }

    NodePtr unary() {
        if (peek().kind != TokenKind::Minus) return primary();
        take();
        DepthGuard guard(depth_);
        return std::make_unique<Node>(Node{Negate{unary()}});
    }

    NodePtr primary() {
        const Token& token = take();
        switch (token.kind) {
        case TokenKind::Number: return std::make_unique<Node>(Node{NumberLiteral{token.text}});
        case TokenKind::Text: return std::make_unique<Node>(Node{TextLiteral{token.text}});
        case TokenKind::Name: return call(token);
        case TokenKind::LeftParen: {
            DepthGuard guard(depth_);
            NodePtr inner = comparison();
            expect_closing(token);
            return inner;
        }
        case TokenKind::End: throw CalcError(kUnexpectedEnd, "the expression ends where a value was expected");
        case TokenKind::RightParen:
            throw CalcError(kUnbalancedParenthesis, fmt::format("\")\" where a value was expected at offset {}", token.offset));
        default: throw CalcError(kValueExpected, fmt::format("a value was expected at offset {}", token.offset));
        }
    }

    NodePtr call(const Token& name) {
        Call result{name.text, {}};
        // A function without arguments may be written without parentheses.
        if (peek().kind != TokenKind::LeftParen) return std::make_unique<Node>(Node{std::move(result)});
        const Token& open = take();
        DepthGuard guard(depth_);
        if (peek().kind != TokenKind::RightParen) {
            result.arguments.push_back(comparison());
            while (peek().kind == TokenKind::Semicolon) {
                take();
                result.arguments.push_back(comparison());
            }
        }
        expect_closing(open);
        return std::make_unique<Node>(Node{std::move(result)});
    }

    void expect_closing(const Token& open) {
        const Token& token = take();
        if (token.kind == TokenKind::RightParen) return;
        if (token.kind == TokenKind::End)
            throw CalcError(kUnbalancedParenthesis, fmt::format("\"(\" at offset {} is never closed", open.offset));
        throw CalcError(kOperatorOrFunctionUnknown, fmt::format("operator missing at offset {}", token.offset));
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
};

}  // namespace

NodePtr parse(std::string_view expression) { return Parser(tokenize(expression)).run(); }

}  // namespace hostsim::calc
