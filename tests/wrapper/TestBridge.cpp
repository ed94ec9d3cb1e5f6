// A stand-in bridge for the wrapper's tests. Every call appends one line to
// the file named by WRAPPER_TEST_BRIDGE_LOG:
//   whichCall parm1 pb actualEntryPoint own-entry own-file
// (addresses as unsigned decimals). With WRAPPER_TEST_BRIDGE_THROW set, the
// call throws after recording. Initialisation answers "enabled" and string
// requests get a short name, so a host simulator accepts the plug-in.
#include <dlfcn.h>
#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "WrapperCallStruct.h"

extern "C" __attribute__((visibility("default"))) void WrapperFMExternCallProc(WrapperFMX_ExternCallStruct* myPb);

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

std::string own_file() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&WrapperFMExternCallProc), &info) == 0 || info.dli_fname == nullptr)
        return "?";
    return info.dli_fname;
}

void record(const WrapperFMX_ExternCallStruct& call) {
    const char* log_path = std::getenv("WRAPPER_TEST_BRIDGE_LOG");
    if (log_path == nullptr) return;
    std::unique_ptr<std::FILE, FileCloser> log(std::fopen(log_path, "a"));
    if (!log) return;
    fmt::print(log.get(), "{} {} {} {} {} {}\n", call.pb->whichCall, call.pb->parm1,
               reinterpret_cast<uintptr_t>(call.pb), reinterpret_cast<uintptr_t>(call.actualEntryPoint),
               reinterpret_cast<uintptr_t>(&WrapperFMExternCallProc), own_file());
}

void answer(FMX_ExternCallPtr pb) {
    if (pb->whichCall == kFMXT_Init) pb->result = kCurrentExtnVersion;
    if (pb->whichCall == kFMXT_GetString && pb->parm3 > 0 && pb->result != 0) {
        static const char16_t name[] = u"Wrapper Test";
        auto* buffer = reinterpret_cast<FMX_Unichar*>(pb->result);
        size_t i = 0;
        for (; i + 1 < pb->parm3 && name[i] != 0; ++i) buffer[i] = name[i];
        buffer[i] = 0;
    }
}

}  // namespace

void WrapperFMExternCallProc(WrapperFMX_ExternCallStruct* myPb) {
    record(*myPb);
    if (std::getenv("WRAPPER_TEST_BRIDGE_THROW") != nullptr) throw std::runtime_error("test bridge failure");
    answer(myPb->pb);
}
