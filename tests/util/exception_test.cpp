#include "exception/TobrinException.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using corvane::tobrin_exception;

TEST(TobrinException, CarriesMessageCodeAndTrace) {
    const tobrin_exception plain("boom");
    EXPECT_STREQ(plain.what(), "boom");
    EXPECT_EQ(plain.code(), 0);

    const tobrin_exception coded("Unable to initialize plug-in child process", -3);
    EXPECT_EQ(coded.code(), -3);

    // Two empty lines, then the module's load base in hexadecimal, then frames.
    const std::string& trace = plain.stacktrace();
    EXPECT_TRUE(std::regex_search(trace, std::regex("^\n\n0x[0-9a-f]+\n.+\n"))) << trace;
}

TEST(TobrinException, CopyKeepsTheOriginalTrace) {
    const tobrin_exception original("first");
    const tobrin_exception copy(original);  // NOLINT: the copy is the point
    EXPECT_EQ(copy.stacktrace(), original.stacktrace());
    EXPECT_STREQ(copy.what(), "first");
}

TEST(TobrinException, StacktraceDepthIsBounded) {
    auto frame_lines = [](uint32_t depth) {
        std::ostringstream out;
        tobrin_exception::get_stacktrace(out, depth);
        std::istringstream lines(out.str());
        std::string line;
        int count = 0;
        for (int i = 0; std::getline(lines, line); ++i)
            if (i >= 3) ++count;  // after the two empty lines and the base address
        return count;
    };
    EXPECT_EQ(frame_lines(1), 1);
    EXPECT_EQ(frame_lines(0), 0);
    EXPECT_LE(frame_lines(63), 63);
}
