#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsdk/fmx.h"

namespace {

using Units = std::vector<FMX_Unichar>;

fmx::Text from_units(const Units& units) {
    fmx::Text text;
    text.AssignUnicodeWithLength(units.data(), static_cast<FMX_UInt32>(units.size()));
    return text;
}

std::string bytes_of(const fmx::Text& text, FMX_UInt32 bufferSize = 256, FMX_UInt32 position = 0,
                     FMX_UInt32 size = fmx::Text::kSize_End) {
    std::vector<char> buffer(bufferSize + 1, 'X');  // one guard byte past the buffer
    text.GetBytes(buffer.data(), bufferSize, position, size, fmx::Text::kEncoding_UTF8);
    EXPECT_EQ(buffer[bufferSize], 'X') << "wrote past the buffer";
    return bufferSize == 0 ? std::string() : std::string(buffer.data());
}

struct Utf8Case {
    const char* name;
    std::string utf8;
    Units expected;
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8Decoding : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decoding, GivesTheExpectedUnits) {
    const auto& c = GetParam();
    fmx::Text text;
    text.Assign(c.utf8.c_str(), fmx::Text::kEncoding_UTF8);
    EXPECT_EQ(text.GetUnits(), c.expected);
    EXPECT_EQ(text.GetSize(), c.expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Text, Utf8Decoding,
    testing::Values(Utf8Case{"ascii", "ab", {'a', 'b'}},
                    Utf8Case{"two_byte", "\xC3\xA9", {0xE9}},
                    Utf8Case{"three_byte", "\xE2\x82\xAC", {0x20AC}},
                    Utf8Case{"surrogate_pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
                    Utf8Case{"lone_continuation", "a\x80z", {'a', 0xFFFD, 'z'}},
                    Utf8Case{"truncated_at_end", "a\xE2\x82", {'a', 0xFFFD}},
                    Utf8Case{"truncated_before_ascii", "\xE2\x82z", {0xFFFD, 'z'}},
                    Utf8Case{"overlong", "\xC0\xAF", {0xFFFD, 0xFFFD}},
                    Utf8Case{"encoded_surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
                    Utf8Case{"above_max", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
                    Utf8Case{"invalid_lead", "\xFF", {0xFFFD}}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

TEST(Text, NativeEncodingReadsUtf8AndNullIsEmpty) {
    fmx::Text text;
    text.Assign("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(text.GetSize(), 3u);
    text.Assign(nullptr);
    EXPECT_EQ(text.GetSize(), 0u);
}

TEST(Text, AssignUnicodeStopsAtNulButWithLengthKeepsIt) {
    const FMX_Unichar units[] = {'a', 0, 'b', 0};
    fmx::Text text;
    text.AssignUnicode(units);
    EXPECT_EQ(text.GetSize(), 1u);
    text.AssignUnicodeWithLength(units, 3);
    EXPECT_EQ(text.GetUnits(), (Units{'a', 0, 'b'}));
}

TEST(Text, BytesOfLoneSurrogatesAreReplacementCharacters) {
    EXPECT_EQ(bytes_of(from_units({'a', 0xD800, 'b'})), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(bytes_of(from_units({0xDC00})), "\xEF\xBF\xBD");
    // A range that splits a pair leaves a lone half.
    EXPECT_EQ(bytes_of(from_units({0xD83D, 0xDE00}), 256, 1), "\xEF\xBF\xBD");
    EXPECT_EQ(bytes_of(from_units({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
}

struct BytesCase {
    FMX_UInt32 buffer_size;
    FMX_UInt32 position;
    FMX_UInt32 size;
    std::string expected;
};

TEST(Text, GetBytesTruncatesOnWholeCharacters) {
    fmx::Text text("a\xC3\xA9\xE2\x82\xAC");  // a é €: 1 + 2 + 3 bytes
    const BytesCase cases[] = {
        {0, 0, fmx::Text::kSize_End, ""},
        {1, 0, fmx::Text::kSize_End, ""},
        {2, 0, fmx::Text::kSize_End, "a"},
        {3, 0, fmx::Text::kSize_End, "a"},  // é needs two bytes and there is room for one
        {4, 0, fmx::Text::kSize_End, "a\xC3\xA9"},
        {6, 0, fmx::Text::kSize_End, "a\xC3\xA9"},
        {7, 0, fmx::Text::kSize_End, "a\xC3\xA9\xE2\x82\xAC"},
        {64, 1, 1, "\xC3\xA9"},
        {64, 2, fmx::Text::kSize_End, "\xE2\x82\xAC"},
        {64, 3, 5, ""},
        {64, 99, 5, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bytes_of(text, c.buffer_size, c.position, c.size), c.expected)
            << "buffer " << c.buffer_size << " position " << c.position << " size " << c.size;
    }
}

struct UnicodeCase {
    FMX_UInt32 position;
    FMX_UInt32 size;
    Units expected;  // the buffer of 5 units, 0xEEEE where nothing was written
};

TEST(Text, GetUnicodeCopiesOnlyWhatExists) {
    const fmx::Text text = from_units({'a', 'b', 'c'});
    constexpr FMX_Unichar kUntouched = 0xEEEE;
    const UnicodeCase cases[] = {
        {0, 3, {'a', 'b', 'c', kUntouched, kUntouched}},
        {0, 2, {'a', 'b', kUntouched, kUntouched, kUntouched}},
        {1, 5, {'b', 'c', kUntouched, kUntouched, kUntouched}},
        {3, 2, {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched}},
        {0xFFFFFFF0u, fmx::Text::kSize_End, {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched}},
        {2, fmx::Text::kSize_End, {'c', kUntouched, kUntouched, kUntouched, kUntouched}},
    };
    for (const auto& c : cases) {
        Units buffer(5, kUntouched);
        text.GetUnicode(buffer.data(), c.position, c.size);
        EXPECT_EQ(buffer, c.expected) << "position " << c.position << " size " << c.size;
    }
}

TEST(Text, AppendTextTakesTheRequestedRangeOnly) {
    const fmx::Text source("hello");
    struct Case {
        FMX_UInt32 position;
        FMX_UInt32 size;
        const char* expected;
    };
    const Case cases[] = {
        {0, fmx::Text::kSize_End, ">hello"}, {1, 3, ">ell"}, {3, 100, ">lo"}, {5, 1, ">"}, {99, 1, ">"},
    };
    for (const auto& c : cases) {
        fmx::Text target(">");
        target.AppendText(source, c.position, c.size);
        EXPECT_EQ(target.GetUTF8(), c.expected) << c.position << "/" << c.size;
    }
}

TEST(Text, AppendingAndSettingFromItselfWork) {
    fmx::Text text("ab");
    text.AppendText(text);
    EXPECT_EQ(text.GetUTF8(), "abab");
    text.SetText(text, 1, 2);
    EXPECT_EQ(text.GetUTF8(), "ba");
}

TEST(Text, ComparesUnitsOnly) {
    fmx::Text styled("abc");
    styled.SetStyle(fmx::CharacterStyle(3, fmx::CharacterStyle::kFace_Bold, 20), 0, 1);
    EXPECT_EQ(styled, fmx::Text("abc"));
    EXPECT_LT(fmx::Text("abc"), fmx::Text("abd"));
    EXPECT_NE(fmx::Text("abc"), fmx::Text("ab"));
}

class TextStyles : public testing::Test {
protected:
    const fmx::CharacterStyle bold_{1, fmx::CharacterStyle::kFace_Bold, 14,
                                    fmx::CharacterStyle::Color(255, 0, 0)};
    const fmx::CharacterStyle italic_{2, fmx::CharacterStyle::kFace_Italic, 9};
    const fmx::CharacterStyle plain_;

    fmx::CharacterStyle style_at(const fmx::Text& text, FMX_UInt32 position) const {
        fmx::CharacterStyle style(7, 7, 7);
        text.GetStyle(style, position);
        return style;
    }

    // One style per unit, for comparing whole texts at once.
    std::vector<fmx::CharacterStyle> styles_of(const fmx::Text& text) const {
        std::vector<fmx::CharacterStyle> styles;
        for (FMX_UInt32 i = 0; i < text.GetSize(); ++i) styles.push_back(style_at(text, i));
        return styles;
    }
};

TEST_F(TextStyles, SetStyleAppliesPerRunAndSplitsOverlaps) {
    fmx::Text text("abcdefgh");
    text.SetStyle(bold_, 1, 5);    // b..f bold
    text.SetStyle(italic_, 3, 2);  // d, e italic inside the bold run
    text.SetStyle(bold_, 7, 99);   // clipped to the last unit
    const std::vector<fmx::CharacterStyle> expected = {plain_, bold_, bold_, italic_, italic_, bold_, plain_, bold_};
    EXPECT_EQ(styles_of(text), expected);
    EXPECT_EQ(style_at(text, 100), plain_);
    fmx::CharacterStyle fallback;
    text.GetDefaultStyle(fallback);
    EXPECT_EQ(fallback, plain_);
}

TEST_F(TextStyles, SetStyleOutsideTheTextChangesNothing) {
    fmx::Text text("ab");
    text.SetStyle(bold_, 2, 5);
    text.SetStyle(bold_, 0, 0);
    EXPECT_TRUE(text.GetStyleRuns().empty());
}

TEST_F(TextStyles, AppendTextKeepsStylesOfTheAppendedRange) {
    fmx::Text source("xyz");
    source.SetStyle(italic_, 1, 2);  // y, z italic
    fmx::Text target("ab");
    target.SetStyle(bold_, 0, 2);
    target.AppendText(source, 1, 1);  // y only
    target.AppendText(source);
    const std::vector<fmx::CharacterStyle> expected = {bold_, bold_, italic_, plain_, italic_, italic_};
    EXPECT_EQ(target.GetUTF8(), "abyxyz");
    EXPECT_EQ(styles_of(target), expected);
}

TEST_F(TextStyles, AssignDropsStyles) {
    fmx::Text text("ab");
    text.SetStyle(bold_, 0, 2);
    text.Assign("cd");
    EXPECT_EQ(style_at(text, 0), plain_);
}

TEST(CharacterStyle, KeepsSixteenBitValuesAndColorChannels) {
    fmx::CharacterStyle style;
    style.SetFace(0x8000);
    style.SetFont(0xFFFF);
    style.SetSize(300);
    style.SetColor(fmx::CharacterStyle::Color(1, 2, 3, 4));
    EXPECT_EQ(style.GetFace(), 0x8000);
    EXPECT_EQ(style.GetFont(), 0xFFFF);
    EXPECT_EQ(style.GetSize(), 300);
    fmx::CharacterStyle::Color color;
    style.GetColor(color);
    EXPECT_EQ(color, fmx::CharacterStyle::Color(1, 2, 3, 4));
    EXPECT_EQ(color.GetAlpha(), 4);
}

TEST(QuadChar, BuildsFromCharsOrStringAndIndexes) {
    const fmx::QuadChar fnam("FNAM");
    EXPECT_EQ(fnam, fmx::QuadChar('F', 'N', 'A', 'M'));
    EXPECT_EQ(fnam[3], 'M');
    EXPECT_EQ(fmx::QuadChar("AB").AsString(), "AB  ");
    EXPECT_EQ(fmx::QuadChar("TOOLONG").AsString(), "TOOL");
    EXPECT_THROW(fnam[4], std::out_of_range);
    EXPECT_NE(fnam, fmx::QuadChar("SIZE"));
}

}  // namespace
