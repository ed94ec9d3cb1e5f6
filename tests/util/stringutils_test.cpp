#include "util/stringutils.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(StringUtils, SplitReadsPiecesLikeLines) {
    using V = std::vector<std::string>;
    EXPECT_EQ(stringutils::split("", ':'), V{});
    EXPECT_EQ(stringutils::split("a:b", ':'), (V{"a", "b"}));
    EXPECT_EQ(stringutils::split("a:b:", ':'), (V{"a", "b"}));
    EXPECT_EQ(stringutils::split(":a", ':'), (V{"", "a"}));
    EXPECT_EQ(stringutils::split("a::b", ':'), (V{"a", "", "b"}));
}

TEST(StringUtils, JoinPutsGlueBetweenNeighboursOnly) {
    EXPECT_EQ(stringutils::join(std::vector<std::string>{}, ":"), "");
    EXPECT_EQ(stringutils::join(std::vector<std::string>{"a"}, ":"), "a");
    EXPECT_EQ(stringutils::join(std::vector<std::string>{"a", "", "c"}, ", "), "a, , c");
    const std::unordered_set<std::string> set{"x", "y"};
    const std::string joined = stringutils::join(set, ":");
    EXPECT_TRUE(joined == "x:y" || joined == "y:x") << joined;
}

TEST(StringUtils, SubstituteReplacesEachOccurrenceOnce) {
    struct Case { const char* text; const char* needle; const char* replacement; const char* expected; };
    const Case cases[] = {
        {"///", "//", "/", "//"},          // non-overlapping, left to right
        {"a{b}", "{", "{{", "a{{b}"},      // replacement contains the needle: terminates
        {"Level::INFO", "Level::", "", "INFO"},
        {"abc", "x", "y", "abc"},
        {"abc", "", "y", "abc"},           // empty needle: unchanged, terminates
        {"", "a", "b", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stringutils::substitute(c.text, c.needle, c.replacement), c.expected) << c.text;
}

TEST(StringUtils, EndsWithTrimAndUpper) {
    EXPECT_TRUE(stringutils::ends_with("file.pid", ".pid"));
    EXPECT_FALSE(stringutils::ends_with("d", ".pid"));
    EXPECT_TRUE(stringutils::ends_with("abc", ""));

    std::string slashes = "////";
    EXPECT_EQ(stringutils::trim_right_inplace(slashes, "/"), "");
    std::string padded = " \t x y \n";
    EXPECT_EQ(stringutils::trim_inplace(padded, " \t\n"), "x y");
    std::string left = "//a/";
    EXPECT_EQ(stringutils::trim_left_inplace(left, "/"), "a/");

    EXPECT_EQ(stringutils::to_upper("finer 12:-_"), "FINER 12:-_");
}
