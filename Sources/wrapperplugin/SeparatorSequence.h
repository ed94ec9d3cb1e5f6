#pragma once

#include <cstddef>
#include <vector>

namespace corvane {

// The 22-byte marker that separates the wrapper from the bridge in the shipped
// file.
class SeparatorSequence {
public:
    SeparatorSequence() = delete;

    static constexpr size_t length = 22;

    static std::vector<char> getSeparatorSequence();
};

}  // namespace corvane
