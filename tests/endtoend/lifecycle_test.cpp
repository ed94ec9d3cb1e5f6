// The bridge's life in a host process, driven from this process with call
// blocks made by the test: string requests, initialisation that succeeds or
// fails, idle and end-of-session calls, shutdown and a second load.
#include <dlfcn.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "InProcessHost.h"
#include "SeparatorSequence.h"
#include "hostsdk/Host.h"
#include "wrapperplugin/WrapperCallStruct.h"

namespace endtoend {
namespace {

const char* const registry_variable = "CORVANE_LOADED_PLUGINS";

// Logs of the plug-ins go under a scratch home; the registry of loaded
// plug-ins starts empty.
class InProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home.path().c_str(), 1);
        unsetenv(registry_variable);
    }
    void TearDown() override { unsetenv(registry_variable); }

    std::string log_of(const std::string& plugin_name) const {
        return read_file(desktop_log_path(home.path(), plugin_name));
    }

    ScratchDir home;
};

// The units of an answer up to and including its terminator.
std::vector<FMX_Unichar> units_of(const std::string& ascii) {
    std::vector<FMX_Unichar> units(ascii.begin(), ascii.end());
    units.push_back(0);
    return units;
}

struct HandlerSnapshot {
    std::vector<sighandler_t> signal_handlers;
    std::terminate_handler terminate_handler;

    static HandlerSnapshot take() {
        HandlerSnapshot snapshot{{}, std::get_terminate()};
        for (int signal_number : {SIGABRT, SIGFPE, SIGSEGV, SIGILL, SIGINT, SIGTERM, SIGCHLD}) {
            struct sigaction action {};
            sigaction(signal_number, nullptr, &action);
            snapshot.signal_handlers.push_back(action.sa_handler);
        }
        return snapshot;
    }
    bool operator==(const HandlerSnapshot& other) const {
        return signal_handlers == other.signal_handlers && terminate_handler == other.terminate_handler;
    }
};

TEST_F(InProcessTest, ProbeLivesFromItsFirstStringRequestToShutdown) {
    const HandlerSnapshot before = HandlerSnapshot::take();
    InProcessHost host(PROBE_PLUGIN);

    const struct {
        FMX_UInt32 id;
        const char* answer;  // "" for a buffer left untouched
    } strings[] = {
        {kFMXT_NameStr, "Lifecycle Probe"},
        {kFMXT_OptionsStr, "LFCY1nnYnnn"},
        {kFMXT_AppConfigStr, "Reports the host calls that reach it."},
        {kFMXT_HelpURLStr, ""},
    };
    for (const char* stage : {"before init", "after init"}) {
        SCOPED_TRACE(stage);
        for (const auto& request : strings) {
            EXPECT_EQ(host.string_text(request.id), request.answer) << request.id;
        }
        // Five units hold four of the name and the terminator; nothing beyond.
        auto expected = units_of("Life");
        expected.push_back(InProcessHost::unset);
        EXPECT_EQ(host.string_request(kFMXT_NameStr, 5), expected);
        if (stage == std::string("before init")) {
            ASSERT_EQ(host.init(), kCurrentExtnVersion);
        }
    }
    EXPECT_EQ(getenv(registry_variable), std::string("LFCY"));

    EXPECT_EQ(hostsim::Host::instance().functions().size(), 3u);
    EXPECT_EQ(hostsim::Host::instance().script_steps().size(), 1u);
    const pid_t child = std::atoi(host.evaluate("LFCY_ChildPid").c_str());
    ASSERT_GT(child, 0);
    EXPECT_FALSE(process_is_gone(child));

    host.idle(kFMXT_UserIdle, 7);
    host.idle(kFMXT_UserNotIdle, 7);
    for (int i = 0; i < 3; ++i) host.idle(kFMXT_Unsafe, 7);
    host.session_shutdown(7);
    host.file_shutdown(7, 3);
    host.shutdown();

    EXPECT_TRUE(hostsim::Host::instance().functions().empty());
    EXPECT_TRUE(hostsim::Host::instance().script_steps().empty());
    EXPECT_TRUE(process_is_gone(child));
    EXPECT_TRUE(before == HandlerSnapshot::take()) << "the unloaded bridge left its handlers installed";

    // After shutdown the next call loads a fresh bridge, which has no object
    // and so nothing to relay.
    host.idle(kFMXT_UserIdle, 7);
    host.shutdown();

    const std::string log = log_of("Lifecycle Probe");
    EXPECT_EQ(count_of(log, "probe: idle level"), 2u) << log;
    for (const char* line : {"probe: idle level 0", "probe: idle level 1", "probe: session ended 7",
                             "probe: file closed 7 3", "probe: shutdown", "Finished stderr logging"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    EXPECT_LT(log.find("probe: shutdown"), log.find("Finished stderr logging"));
    const std::string startup_log = startup_log_path_in(log);
    ASSERT_FALSE(startup_log.empty());
    EXPECT_FALSE(file_exists(startup_log));
}

TEST_F(InProcessTest, DummyScriptEngineRegistersOnlyStepsAndASecondLoadStartsAfresh) {
    InProcessHost host(PROBE_PLUGIN);
    host.string_request(kFMXT_NameStr, 64, /*cfm_calls=*/1);
    ASSERT_EQ(host.init(), kCurrentExtnVersion);
    EXPECT_TRUE(hostsim::Host::instance().functions().empty());
    EXPECT_EQ(hostsim::Host::instance().script_steps().size(), 1u);
    host.shutdown();

    // The registry entry of the first load is stale now; the second load
    // replaces it and is a plain host again.
    EXPECT_EQ(host.string_text(kFMXT_OptionsStr), "LFCY1nnYnnn");
    ASSERT_EQ(host.init(), kCurrentExtnVersion);
    EXPECT_EQ(hostsim::Host::instance().functions().size(), 3u);
    EXPECT_EQ(host.evaluate("LFCY_Echo(\"again\")"), "again");
    const pid_t child = std::atoi(host.evaluate("LFCY_ChildPid").c_str());
    host.shutdown();

    EXPECT_TRUE(process_is_gone(child));
    EXPECT_EQ(getenv(registry_variable), std::string("LFCY"));
    EXPECT_EQ(child_pids_in(log_of("Lifecycle Probe")), std::vector<pid_t>{child})
        << "the second load starts its own log";
}

TEST_F(InProcessTest, ChildThatRefusesInitIsEndedAtOnceAndThePluginStaysDisabled) {
    InProcessHost host(FAILING_PLUGIN);
    EXPECT_EQ(host.string_text(kFMXT_NameStr), "Init Failure");
    // No "plugin-help" in the manifest: an empty, terminated answer.
    auto expected_help = units_of("");
    expected_help.resize(17, InProcessHost::unset);
    EXPECT_EQ(host.string_request(kFMXT_AppConfigStr, 16), expected_help);

    EXPECT_EQ(host.init(), kDoNotEnable);
    const std::string log = log_of("Init Failure");
    EXPECT_NE(log.find("An exception occurred during init: Unable to initialize plug-in child process (-2)"),
              std::string::npos)
        << log;
    const auto children = child_pids_in(log);
    ASSERT_EQ(children.size(), 1u) << log;
    // Gone before the host's shutdown call: the failed object ended it.
    EXPECT_TRUE(process_is_gone(children[0]));
    EXPECT_TRUE(hostsim::Host::instance().functions().empty());

    // The start-up log stays for diagnosis.
    const std::string startup_log = startup_log_path_in(log);
    EXPECT_TRUE(file_exists(startup_log)) << startup_log;
    std::remove(startup_log.c_str());
    host.shutdown();
}

// A plug-in file whose manifest lacks "plugin-options", put together by hand:
// the packager refuses such an archive.
std::string assemble_plugin_without_options(const ScratchDir& dir, const std::string& plugin_name) {
    write_file(dir.file("manifest.txt"), "plugin-name: " + plugin_name + "\n");
    write_file(dir.file("readme.txt"), "no options\n");
    const std::string command = "cd '" + dir.path() + "' && '" JAR_TOOL "' cfm plugin.jar manifest.txt readme.txt";
    if (std::system(command.c_str()) != 0) return {};
    const auto marker = corvane::SeparatorSequence::getSeparatorSequence();
    const std::string path = dir.file("no-options.fmx");
    write_file(path, read_file(WRAPPER_PATH) + std::string(marker.begin(), marker.end()) + read_file(BRIDGE_PATH) +
                         read_file(dir.file("plugin.jar")));
    return path;
}

TEST_F(InProcessTest, ManifestWithoutOptionsFailsInitWithoutAChildAndLeavesTheRegistryAlone) {
    const ScratchDir dir;
    // Unique, so that this run's start-up log can be told apart.
    const std::string plugin_name = "No Options " + std::to_string(getpid());
    const std::string plugin = assemble_plugin_without_options(dir, plugin_name);
    ASSERT_FALSE(plugin.empty());
    // A registry with an empty piece, as removals leave it.
    const std::string registry = ":AAAA:BBBB";
    setenv(registry_variable, registry.c_str(), 1);

    {
        InProcessHost host(plugin);
        EXPECT_EQ(host.string_text(kFMXT_NameStr), plugin_name);
        EXPECT_EQ(host.string_request(kFMXT_OptionsStr, 4), std::vector<FMX_Unichar>({0, InProcessHost::unset,
                                                                                       InProcessHost::unset,
                                                                                       InProcessHost::unset,
                                                                                       InProcessHost::unset}));
        EXPECT_EQ(host.init(), kDoNotEnable);
        host.shutdown();
    }
    EXPECT_EQ(getenv(registry_variable), registry);

    const auto startup_logs = files_starting_with("/tmp", plugin_name + "_");
    ASSERT_EQ(startup_logs.size(), 1u);
    const std::string log = read_file(startup_logs[0]);
    std::remove(startup_logs[0].c_str());
    EXPECT_NE(log.find("An exception occurred during init: Unable to read plug-in info from manifest"),
              std::string::npos)
        << log;
    EXPECT_TRUE(child_pids_in(log).empty()) << log;
}

TEST(BridgeEntryTest, StringRequestFailsCleanlyWhenTheLoaderCannotNameTheBridgesFile) {
    void* bridge = dlopen(BRIDGE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(bridge, nullptr) << dlerror();
    const auto entry = reinterpret_cast<WrapperFMX_ExternCallProc>(dlsym(bridge, "WrapperFMExternCallProc"));
    ASSERT_NE(entry, nullptr);

    std::vector<FMX_Unichar> buffer(8, InProcessHost::unset);
    FMX_ExternCallStruct block{};
    block.whichCall = kFMXT_GetString;
    block.parm1 = kFMXT_NameStr;
    block.parm3 = buffer.size();
    block.result = reinterpret_cast<FMX_IntPtr>(buffer.data());
    // An address inside no loaded object.
    auto not_code = std::make_unique<int>(0);
    WrapperFMX_ExternCallStruct call{&block, reinterpret_cast<WrapperFMX_ExternCallProc>(not_code.get())};

    ::testing::internal::CaptureStderr();
    entry(&call);
    const std::string error = ::testing::internal::GetCapturedStderr();
    dlclose(bridge);

    EXPECT_EQ(buffer, std::vector<FMX_Unichar>(8, InProcessHost::unset));
    EXPECT_NE(error.find("An error occurred retrieving a path to the plug-in"), std::string::npos) << error;
}

}  // namespace
}  // namespace endtoend
