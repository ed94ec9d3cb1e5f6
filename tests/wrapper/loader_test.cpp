// The wrapper as the host sees it: a packaged plug-in file loaded with dlopen
// and called through FMExternCallProc with one call block per call.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "TestSupport.h"
#include "hostsdk/CallBlock.h"

namespace wrappertest {
namespace {

// One line of the test bridge's log.
struct ForwardedCall {
    int which_call = -1;
    uint64_t parm1 = 0;
    uintptr_t pb = 0;
    uintptr_t actual_entry_point = 0;
    uintptr_t bridge_entry = 0;
    std::string bridge_file;
};

bool is_loaded(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr) return false;
    dlclose(library);
    return true;
}

bool is_extraction_path(const std::string& path) {
    const std::string prefix = "/tmp/actualPlugin";
    const std::string suffix = ".fmx";
    return path.size() == prefix.size() + 6 + suffix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct LibraryCloser {
    void operator()(void* library) const noexcept { dlclose(library); }
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("WRAPPER_TEST_BRIDGE_LOG", log_path().c_str(), 1);
        unsetenv("WRAPPER_TEST_BRIDGE_THROW");
    }

    void TearDown() override {
        unsetenv("WRAPPER_TEST_BRIDGE_LOG");
        unsetenv("WRAPPER_TEST_BRIDGE_THROW");
        // The wrapper never removes its extractions; the test does.
        for (const auto& call : forwarded_calls()) std::remove(call.bridge_file.c_str());
        for (const auto& payload : payloads_) remove_extractions_of(payload);
    }

    std::string log_path() const { return dir.file("calls.log"); }

    // Loads a private copy of the container, so every test starts with a
    // wrapper that has no bridge loaded.
    void load_plugin(const std::string& container) {
        const std::string path = dir.file("plugin.fmx");
        write_file(path, container);
        plugin_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(plugin_) << dlerror();
        entry_ = reinterpret_cast<FMX_ExternCallProc>(dlsym(plugin_.get(), "FMExternCallProc"));
        current_block_ = static_cast<FMX_ExternCallPtr*>(dlsym(plugin_.get(), "gFMX_ExternCallPtr"));
        ASSERT_NE(entry_, nullptr);
        ASSERT_NE(current_block_, nullptr);
    }

    // A container whose payload is not a working bridge; its extractions are
    // found by their content and removed after the test.
    void load_plugin_with_payload(const std::string& payload) {
        payloads_.push_back(payload);
        load_plugin(read_file(TEST_WRAPPER_PATH) + marker() + payload);
    }

    FMX_ExternCallStruct block_for(FMX_Int16 which_call, FMX_UInt32 parm1 = 0) const {
        FMX_ExternCallStruct block{};
        block.entryPoint = entry_;
        block.whichCall = which_call;
        block.parm1 = parm1;
        block.parm2 = 0x5e55;
        return block;
    }

    void call(FMX_ExternCallStruct& block) const { entry_(&block); }

    std::vector<ForwardedCall> forwarded_calls() const {
        std::vector<ForwardedCall> calls;
        std::ifstream log(log_path());
        std::string line;
        while (std::getline(log, line)) {
            std::istringstream fields(line);
            ForwardedCall call;
            fields >> call.which_call >> call.parm1 >> call.pb >> call.actual_entry_point >> call.bridge_entry >>
                call.bridge_file;
            calls.push_back(call);
        }
        return calls;
    }

    static void remove_extractions_of(const std::string& payload) {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/tmp", ignored)) {
            const std::string path = entry.path().string();
            if (is_extraction_path(path) && entry.file_size(ignored) == payload.size() &&
                read_file(path) == payload)
                std::remove(path.c_str());
        }
    }

    TempDir dir;
    FMX_ExternCallPtr* current_block_ = nullptr;

private:
    std::unique_ptr<void, LibraryCloser> plugin_;
    FMX_ExternCallProc entry_ = nullptr;
    std::vector<std::string> payloads_;
};

TEST_F(LoaderTest, ForwardsEveryCallUnchangedWithTheBridgeEntry) {
    load_plugin(read_file(TEST_PACKAGED_PLUGIN));
    const std::vector<std::pair<FMX_Int16, FMX_UInt32>> calls = {
        {kFMXT_Idle, kFMXT_UserIdle},  // the first call loads, whatever it is
        {kFMXT_GetString, kFMXT_NameStr},
        {kFMXT_Init, kFMXT_Pro},
        {kFMXT_SessionShutdown, 0},
        {kFMXT_FileShutdown, 0},
        {kFMXT_DoAppPreferences, 0}};

    for (const auto& [which_call, parm1] : calls) {
        FMX_ExternCallStruct block = block_for(which_call, parm1);
        const FMX_ExternCallStruct before = block;
        call(block);
        EXPECT_EQ(*current_block_, &block);
        if (which_call == kFMXT_Idle) {
            EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
        }
        const auto forwarded = forwarded_calls();
        ASSERT_FALSE(forwarded.empty());
        EXPECT_EQ(forwarded.back().pb, reinterpret_cast<uintptr_t>(&block));
    }

    const auto forwarded = forwarded_calls();
    ASSERT_EQ(forwarded.size(), calls.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(forwarded[i].which_call, calls[i].first);
        EXPECT_EQ(forwarded[i].parm1, calls[i].second);
        EXPECT_EQ(forwarded[i].actual_entry_point, forwarded[i].bridge_entry);
        EXPECT_EQ(forwarded[i].bridge_file, forwarded[0].bridge_file) << "extracted more than once";
    }
    EXPECT_TRUE(is_extraction_path(forwarded[0].bridge_file)) << forwarded[0].bridge_file;
    EXPECT_EQ(read_file(forwarded[0].bridge_file), read_file(TEST_BRIDGE_PATH) + read_file(TEST_PLUGIN_JAR));
}

TEST_F(LoaderTest, ShutdownUnloadsAndTheNextCallExtractsAFreshCopy) {
    load_plugin(read_file(TEST_PACKAGED_PLUGIN));
    FMX_ExternCallStruct init = block_for(kFMXT_Init);
    call(init);
    FMX_ExternCallStruct shutdown = block_for(kFMXT_Shutdown);
    call(shutdown);

    auto forwarded = forwarded_calls();
    ASSERT_EQ(forwarded.size(), 2u);
    EXPECT_EQ(forwarded[1].which_call, kFMXT_Shutdown);
    const std::string first_copy = forwarded[0].bridge_file;
    EXPECT_FALSE(is_loaded(first_copy));
    EXPECT_TRUE(file_exists(first_copy)) << "an extraction was removed";

    FMX_ExternCallStruct again = block_for(kFMXT_GetString, kFMXT_OptionsStr);
    call(again);
    forwarded = forwarded_calls();
    ASSERT_EQ(forwarded.size(), 3u);
    const std::string second_copy = forwarded[2].bridge_file;
    EXPECT_NE(second_copy, first_copy);
    EXPECT_TRUE(is_extraction_path(second_copy)) << second_copy;
    EXPECT_TRUE(is_loaded(second_copy));
    EXPECT_EQ(forwarded[2].actual_entry_point, forwarded[2].bridge_entry);
}

TEST_F(LoaderTest, BridgeExceptionReachesTheHostAsAPlainException) {
    load_plugin(read_file(TEST_PACKAGED_PLUGIN));
    setenv("WRAPPER_TEST_BRIDGE_THROW", "1", 1);

    for (const FMX_Int16 which_call : {kFMXT_Idle, kFMXT_Shutdown}) {
        FMX_ExternCallStruct block = block_for(which_call);
        ::testing::internal::CaptureStderr();
        try {
            call(block);
            ADD_FAILURE() << "no exception from call " << which_call;
        } catch (const std::exception& error) {
            EXPECT_EQ(typeid(error), typeid(std::exception));
        }
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("Error from plugin function: test bridge failure"),
                  std::string::npos);
    }

    // The shutdown did not return, so the bridge stays loaded.
    unsetenv("WRAPPER_TEST_BRIDGE_THROW");
    FMX_ExternCallStruct idle = block_for(kFMXT_Idle);
    call(idle);
    const auto forwarded = forwarded_calls();
    ASSERT_EQ(forwarded.size(), 3u);
    EXPECT_EQ(forwarded[2].bridge_file, forwarded[0].bridge_file);
    EXPECT_TRUE(is_loaded(forwarded[0].bridge_file));
}

struct RefusedPayload {
    const char* name;
    bool wrapper_as_payload;  // a shared object without the bridge entry
    const char* message;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RefusedPayload& c, std::ostream* os) { *os << c.name; }

class RefusedBridge : public LoaderTest, public ::testing::WithParamInterface<RefusedPayload> {};

TEST_P(RefusedBridge, NothingIsForwardedAndTheNextCallTriesAgain) {
    const RefusedPayload& refused = GetParam();
    // Unique per test, so that its extractions can be told apart in /tmp.
    const std::string unique = "\n" + dir.path() + "\n";
    load_plugin_with_payload(refused.wrapper_as_payload ? read_file(TEST_WRAPPER_PATH) + unique
                                                        : "not a shared object" + unique);

    for (int attempt = 0; attempt < 2; ++attempt) {
        FMX_ExternCallStruct block = block_for(kFMXT_Init, kFMXT_Pro);
        const FMX_ExternCallStruct before = block;
        ::testing::internal::CaptureStderr();
        call(block);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(refused.message), std::string::npos)
            << "attempt " << attempt;
        EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0) << "the call block was written";
    }
    EXPECT_TRUE(forwarded_calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Loader, RefusedBridge,
    ::testing::Values(RefusedPayload{"NotASharedObject", false, "Cannot open library: "},
                      RefusedPayload{"NoBridgeEntry", true, "Cannot load symbol 'PipeParent': "}),
    [](const ::testing::TestParamInfo<RefusedPayload>& info) { return info.param.name; });

}  // namespace
}  // namespace wrappertest
