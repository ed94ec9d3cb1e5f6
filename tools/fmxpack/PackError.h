#pragma once

#include <stdexcept>

namespace fmxpack {

// A pack that cannot be made; the message names the file and the reason.
class pack_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The command line cannot be understood.
class usage_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace fmxpack
