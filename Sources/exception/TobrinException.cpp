#include "exception/TobrinException.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

namespace corvane {

tobrin_exception::tobrin_exception(const std::string& message) : tobrin_exception(message, 0) {}

tobrin_exception::tobrin_exception(std::string message, int code) : msg(std::move(message)), _code(code) {
    std::ostringstream trace;
    get_stacktrace(trace, stacktrace_depth);
    _stacktrace = trace.str();
}

tobrin_exception::~tobrin_exception() = default;

const char* tobrin_exception::what() const noexcept { return msg.c_str(); }

// Not inlined, so that the return address looked up below lies in the
// module of the caller.
__attribute__((noinline)) void tobrin_exception::get_stacktrace(std::ostream& out, uint32_t max_frames) {
    const void* base = nullptr;
    Dl_info info{};
    if (dladdr(__builtin_return_address(0), &info) != 0) base = info.dli_fbase;

    out << std::endl << std::endl;
    out << std::hex << base << std::endl;
    if (max_frames == 0) return;

    std::vector<void*> frames(max_frames);
    const int count = backtrace(frames.data(), static_cast<int>(frames.size()));
    std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames.data(), count), &std::free);
    for (int i = 0; i < count; ++i) {
        if (symbols)
            out << symbols.get()[i] << std::endl;
        else
            out << frames[static_cast<size_t>(i)] << std::endl;  // untranslatable: the bare address
    }
}

}  // namespace corvane
