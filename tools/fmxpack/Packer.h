#pragma once

#include "PackOptions.h"

namespace fmxpack {

// Checks the three inputs and writes wrapper, split marker, bridge and JAR
// end to end, nothing patched, aligned or padded between them. Throws
// pack_error.
void pack(const PackOptions& options);

}  // namespace fmxpack
