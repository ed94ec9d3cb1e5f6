// The packaged stand-in bridge driven by the host simulator, as a host would.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "hostsdk/CallBlock.h"

namespace wrappertest {
namespace {

struct LoggedCall {
    int which_call = -1;
    uintptr_t actual_entry_point = 0;
    uintptr_t bridge_entry = 0;
    std::string bridge_file;
};

std::vector<LoggedCall> read_log(const std::string& path) {
    std::vector<LoggedCall> calls;
    std::ifstream log(path);
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        LoggedCall call;
        uint64_t parm1 = 0;
        uintptr_t pb = 0;
        fields >> call.which_call >> parm1 >> pb >> call.actual_entry_point >> call.bridge_entry >> call.bridge_file;
        calls.push_back(call);
    }
    return calls;
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(FmhostTest, HostSimulatorDrivesThePackagedPluginThroughTwoLoads) {
    TempDir dir;
    const std::string log_path = dir.file("calls.log");
    setenv("WRAPPER_TEST_BRIDGE_LOG", log_path.c_str(), 1);
    const ProgramResult result =
        run_program({FMHOST_PATH, TEST_PACKAGED_PLUGIN, "strings", "idle", "shutdown", "load", "strings"});
    unsetenv("WRAPPER_TEST_BRIDGE_LOG");
    const auto calls = read_log(log_path);
    for (const auto& call : calls) std::remove(call.bridge_file.c_str());

    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_EQ(count_of(result.output, "131 Wrapper Test"), 2u) << result.output;

    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().which_call, kFMXT_Shutdown);
    size_t shutdowns = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].actual_entry_point, calls[i].bridge_entry) << "call " << i;
        if (calls[i].which_call == kFMXT_Shutdown) ++shutdowns;
        if (i + 1 == calls.size()) continue;
        // A fresh extraction follows each shutdown, and only a shutdown.
        if (calls[i].which_call == kFMXT_Shutdown) {
            EXPECT_NE(calls[i + 1].bridge_file, calls[i].bridge_file) << "call " << i + 1;
        } else {
            EXPECT_EQ(calls[i + 1].bridge_file, calls[i].bridge_file) << "call " << i + 1;
        }
    }
    EXPECT_EQ(shutdowns, 2u);
}

}  // namespace
}  // namespace wrappertest
