#include <gtest/gtest.h>
#include <fmt/format.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

// A bridge with one exchange in progress on thread 5 and a host text, owned
// by the call, for the child to style.
class StyleCallbackTest : public BridgeTest {
protected:
    void SetUp() override {
        host_text.Assign("hello world", fmx::Text::kEncoding_UTF8);
        call = std::make_unique<PipeParent::ScopedCallTokens>(
            parent, std::vector<TypedToken>{{token_of(host_text), TokenType::text}});
        exchange = std::make_unique<Exchange>(parent, child, thread_5);
        expect_command(thread_5);
    }
    void TearDown() override {
        if (exchange) finish_exchange();
    }
    void finish_exchange() {
        child.write(Wire().finished(thread_5, 0));
        EXPECT_EQ(exchange->get(), 0);
        exchange.reset();
    }

    void no_answer(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        child.expect_separator();
    }
    int64_t answer_int64(CodeToParent code, const Wire& payload = Wire()) {
        callback(thread_5, code, payload);
        const int64_t value = child.i64();
        child.expect_separator();
        return value;
    }
    int32_t answer_int32(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        const int32_t value = child.i32();
        child.expect_separator();
        return value;
    }
    struct Values {
        int32_t face;
        int32_t font;
        int32_t size;
        bool operator==(const Values& other) const {
            return face == other.face && font == other.font && size == other.size;
        }
    };
    Values values_of(int64_t style) {
        return {answer_int32(CodeToParent::get_face, Wire().i64(style)),
                answer_int32(CodeToParent::get_font_id, Wire().i64(style)),
                answer_int32(CodeToParent::get_font_size, Wire().i64(style))};
    }
    int64_t create_style(int32_t face, int32_t font, int32_t size) {
        const int64_t style = answer_int64(CodeToParent::create_char_style);
        no_answer(CodeToParent::set_face, Wire().i64(style).i32(face));
        no_answer(CodeToParent::set_font_id, Wire().i64(style).i32(font));
        no_answer(CodeToParent::set_font_size, Wire().i64(style).i32(size));
        return style;
    }

    fmx::Text host_text;
    std::unique_ptr<PipeParent::ScopedCallTokens> call;
    std::unique_ptr<Exchange> exchange;
};

TEST_F(StyleCallbackTest, StyleAppliedToARunAndReadBack) {
    const int64_t text = token_of(host_text);
    const int64_t bold = create_style(fmx::CharacterStyle::kFace_Bold, 3, 14);
    no_answer(CodeToParent::set_color, Wire().i64(bold).i32(200).i32(20).i32(30).i32(255));
    no_answer(CodeToParent::set_char_style, Wire().i64(text).i64(bold).i64(6).i64(5));  // "world"

    const Values plain{fmx::CharacterStyle::kFace_Plain, 0, fmx::CharacterStyle::kDefaultSize};
    const Values styled{fmx::CharacterStyle::kFace_Bold, 3, 14};
    struct Case {
        int64_t position;
        Values expected;
    };
    const std::vector<Case> cases = {{0, plain}, {5, plain}, {6, styled}, {10, styled}, {11, plain}, {99, plain}};
    for (const Case& c : cases) {
        const int64_t read_back = answer_int64(CodeToParent::get_char_style, Wire().i64(text).i64(c.position));
        EXPECT_NE(read_back, bold);
        EXPECT_TRUE(values_of(read_back) == c.expected) << c.position;
    }
    const int64_t fallback = answer_int64(CodeToParent::get_default_char_style, Wire().i64(text));
    EXPECT_TRUE(values_of(fallback) == plain);

    // The color travels with the run as well.
    finish_exchange();
    ASSERT_EQ(host_text.GetStyleRuns().size(), 1u);
    const fmx::Text::StyleRun& run = host_text.GetStyleRuns()[0];
    EXPECT_EQ(run.start, 6u);
    EXPECT_EQ(run.length, 5u);
    EXPECT_EQ(run.style, fmx::CharacterStyle(3, fmx::CharacterStyle::kFace_Bold, 14,
                                             fmx::CharacterStyle::Color(200, 20, 30, 255)));
}

TEST_F(StyleCallbackTest, WideValuesKeepTheirLowBits) {
    struct Case {
        int32_t face, font, size;
        Values expected;
    };
    const std::vector<Case> cases = {
        {0x8000, 0, 12, {32768, 0, 12}},
        {0x18001, 70000, -2, {0x8001, 70000 - 65536, 65534}},
        {-1, -1, 0x10000, {65535, 65535, 0}},
    };
    for (const Case& c : cases) {
        const int64_t style = create_style(c.face, c.font, c.size);
        EXPECT_TRUE(values_of(style) == c.expected) << c.face;
    }

    // Channels keep their low 8 bits; positions and lengths their low 32.
    const int64_t colored = create_style(0, 0, 12);
    no_answer(CodeToParent::set_color, Wire().i64(colored).i32(300).i32(-1).i32(256).i32(0x1FF));
    const int64_t text = token_of(host_text);
    no_answer(CodeToParent::set_char_style,
              Wire().i64(text).i64(colored).i64((int64_t{1} << 32) + 2).i64((int64_t{7} << 32) + 1));
    const int64_t to_the_end = create_style(fmx::CharacterStyle::kFace_Italic, 0, 12);
    no_answer(CodeToParent::set_char_style, Wire().i64(text).i64(to_the_end).i64(9).i64(-1));
    finish_exchange();

    const fmx::CharacterStyle::Color wrapped(44, 255, 0, 255);
    const std::vector<fmx::Text::StyleRun>& runs = host_text.GetStyleRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].start, 2u);
    EXPECT_EQ(runs[0].length, 1u);
    EXPECT_EQ(runs[0].style.GetColor(), wrapped);
    EXPECT_EQ(runs[1].start, 9u);
    EXPECT_EQ(runs[1].length, 2u);
    EXPECT_EQ(runs[1].style.GetFace(), fmx::CharacterStyle::kFace_Italic);
}

TEST_F(StyleCallbackTest, ForgedTokensGetNeutralAnswersAndTheExchangeGoesOn) {
    struct Case {
        CodeToParent code;
        TokenType expected;  // what the callback wants in its first token
        std::function<Wire(int64_t)> payload;
        Bytes answer;  // the neutral body
    };
    const Bytes int32_zero(4, 0);
    const Bytes int64_zero(8, 0);
    const auto token_only = [](int64_t token) { return Wire().i64(token); };
    const auto with_int32 = [](int64_t token) { return Wire().i64(token).i32(1); };
    const int64_t live_style = create_style(fmx::CharacterStyle::kFace_Bold, 1, 10);
    const int64_t live_text = token_of(host_text);
    const std::vector<Case> cases = {
        {CodeToParent::set_face, TokenType::char_style, with_int32, {}},
        {CodeToParent::set_font_id, TokenType::char_style, with_int32, {}},
        {CodeToParent::set_font_size, TokenType::char_style, with_int32, {}},
        {CodeToParent::set_color, TokenType::char_style, [](int64_t t) { return Wire().i64(t).i32(1).i32(2).i32(3).i32(4); },
         {}},
        {CodeToParent::get_face, TokenType::char_style, token_only, int32_zero},
        {CodeToParent::get_font_id, TokenType::char_style, token_only, int32_zero},
        {CodeToParent::get_font_size, TokenType::char_style, token_only, int32_zero},
        {CodeToParent::set_char_style, TokenType::text,
         [&](int64_t t) { return Wire().i64(t).i64(live_style).i64(0).i64(-1); }, {}},
        {CodeToParent::get_char_style, TokenType::text, [](int64_t t) { return Wire().i64(t).i64(0); }, int64_zero},
        {CodeToParent::get_default_char_style, TokenType::text, token_only, int64_zero},
    };
    // Live objects of the wrong type are as unusable as made-up addresses.
    for (const Case& c : cases) {
        const int64_t wrong_type = c.expected == TokenType::text ? live_style : live_text;
        for (int64_t forged : {int64_t{0x7F00DEADBEE0}, int64_t{0}, int64_t{-8}, wrong_type}) {
            callback(thread_5, c.code, c.payload(forged));
            EXPECT_EQ(child.read(c.answer.size()), c.answer) << to_string(c.code);
            child.expect_separator();
            EXPECT_TRUE(log.contains(fmt::format("Invalid token {:d} for {} in {} on thread 5", forged,
                                                 token_type_name(c.expected), to_string(c.code))))
                << to_string(c.code) << " " << forged;
        }
    }
    // A live text with a forged style keeps its styles.
    no_answer(CodeToParent::set_char_style, Wire().i64(live_text).i64(0x7F00DEADBEE0).i64(0).i64(-1));
    EXPECT_TRUE(values_of(live_style) == (Values{fmx::CharacterStyle::kFace_Bold, 1, 10}));
    finish_exchange();
    EXPECT_TRUE(host_text.GetStyleRuns().empty());
}

}  // namespace
}  // namespace testing
}  // namespace corvane
