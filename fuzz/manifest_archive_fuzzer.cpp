// Reading the manifest out of a damaged archive (or out of any file) must
// give some attributes or none, never a crash or a leak. The input is the
// whole file; it lives in memory and is read through its /proc path.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "QuietLog.h"
#include "util/lin/PluginUtils.h"
#include "util/lin/UniqueFd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane::fuzzing::install_quiet_log();
    const corvane::UniqueFd file(memfd_create("archive", MFD_CLOEXEC));
    if (file.get() < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t written = ::write(file.get(), data + done, size - done);
        if (written <= 0) std::abort();
        done += static_cast<size_t>(written);
    }
    corvane::PluginUtils::get_manifest_attributes("/proc/self/fd/" + std::to_string(file.get()));
    return 0;
}
