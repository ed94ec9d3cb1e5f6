// Plays the host process for the crash-handling tests, which must end a
// process: installs the crash handler as the bridge entry does, optionally
// launches the stand-in child, prints the child's id (0 for none) on a line
// and waits to be signalled.
//
//   launch_host_helper MODE LOG_FILE STUB_CHILD SCRATCH_DIR
//   MODE: launch       bridge object, launched child, then waits
//         launch-abort bridge object, launched child, then std::abort()
//         no-launch    bridge object without a child, then waits
//         no-bridge    no bridge object, then waits
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BridgeState.h"
#include "PipeParent.h"
#include "SignalHandling.h"
#include "util/LogManager.h"

using namespace corvane;

int main(int argc, char** argv) {
    if (argc != 5) return 64;
    const std::string mode = argv[1];
    const std::string log_file = argv[2];
    const std::string stub_child = argv[3];
    const std::string scratch = argv[4];

    LogManager::configure_logger("helper", std::make_shared<Logger>(log_file, Logger::ALL), "{}: {}\n");
    LogManager::set_default_logger_name(LoggerName("helper"));

    if (mode != "no-bridge") pipeParent = std::make_unique<PipeParent>();
    install_crash_handler();

    PID_T child = 0;
    if (mode == "launch" || mode == "launch-abort") {
        pipeParent->marker_dir = scratch;
        pipeParent->orphan_pid_folder = scratch;
        pipeParent->launch_plugin_process("Helper", "Hlpr", "ignore-term", scratch, scratch, stub_child, false,
                                          FMInitParams{});
        if (!pipeParent->is_alive()) return 65;
        child = pipeParent->get_child_process_id();
    }
    std::printf("%d\n", static_cast<int>(child));
    std::fflush(stdout);

    if (mode == "launch-abort") std::abort();
    for (;;) pause();
}
