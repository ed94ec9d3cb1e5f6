#pragma once

#include <string>
#include <vector>

namespace fmxpack {

// Writes the pieces end to end into a temporary file next to path and renames
// it over path once every byte is on disk, so that a failed pack never leaves
// a partial file at path. Throws pack_error.
void write_atomically(const std::string& path, const std::vector<const std::string*>& pieces);

}  // namespace fmxpack
