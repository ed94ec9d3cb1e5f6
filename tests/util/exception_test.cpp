#include "exception/TobrinException.h"

#include <gtest/gtest.h>

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
    ASSERT_EQ(trace.rfind("\n\n0x", 0), 0u) << trace;
    const size_t base_end = trace.find('\n', 4);
    ASSERT_NE(base_end, std::string::npos) << trace;
    EXPECT_EQ(trace.find_first_not_of("0123456789abcdef", 4), base_end) << trace;
    EXPECT_GT(trace.size(), base_end + 2) << "no frame after the load base: " << trace;
    EXPECT_EQ(trace.back(), '\n') << trace;
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
