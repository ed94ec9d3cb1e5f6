#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "StartupHandshake.h"
#include "TestLogging.h"
#include "util/lin/UniqueFd.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

// Whatever follows the token belongs to the protocol or the log relay, so the
// reader must stop exactly at the token's last byte, however the bytes before
// it resemble the token.
TEST(StartupToken, ReaderStopsAtTheTokensLastByte) {
    struct Case {
        const char* before;
        bool arrives;
    };
    const Case cases[] = {
        {"", true},
        {"IMALIV", true},                        // the token starts again inside a near miss
        {"IIMAL", true},                         // repeated first letter
        {"IMAIMALIVIMALIVEX", true},             // an earlier token: the first one counts
        {"loader trace line\nIMALIVX\n", true},  // a near miss, then lines
        {"IMALIV", false},                       // stream ends one byte short
    };
    for (const Case& c : cases) {
        const corvane::testing::ScopedTestLog log;
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        UniqueFd read_end(ends[0]);
        UniqueFd write_end(ends[1]);
        const std::string input = std::string(c.before) + (c.arrives ? "IMALIVEafter" : "");
        // Where the first token ends, if it comes.
        const size_t token_end = input.find("IMALIVE") + 7;
        ASSERT_EQ(write(write_end.get(), input.data(), input.size()), static_cast<ssize_t>(input.size()));
        write_end.reset();

        const StartupCancellation cancellation;
        EXPECT_EQ(read_startup_token(StartupStream::standard_error, read_end.get(), 5s, cancellation), c.arrives)
            << c.before;
        std::string left(64, '\0');
        const ssize_t got = read(read_end.get(), left.data(), left.size());
        ASSERT_GE(got, 0);
        left.resize(static_cast<size_t>(got));
        // The first token ends the reading; everything after it stays.
        const std::string expected_left = c.arrives ? input.substr(token_end) : "";
        EXPECT_EQ(left, expected_left) << c.before;
        // What came before the token is logged whole, trimmed of blanks.
        if (c.arrives) {
            EXPECT_TRUE(log.contains("JVM stderr message: " + input.substr(0, token_end)))
                << c.before << "\n" << log.contents();
        }
    }
}

}  // namespace
