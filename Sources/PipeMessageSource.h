#pragma once

#include <functional>

#include "util/StreamUtils.h"

namespace corvane {

// Writes the body of a frame to the child straight onto the stream; an empty
// function means that the frame has no body.
using PipeMessageSource = std::function<void(FILE_PTR)>;

}  // namespace corvane
