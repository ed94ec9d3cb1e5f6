#pragma once

#include <string>
#include <vector>

#include "hostsdk/CallBlock.h"

namespace corvane {

// Splits the bridge out of the file that the host loaded: the wrapper, the
// split marker, then the bridge with its Java archive appended. Keeps no state.
class WrapperPlugin {
public:
    // True when stmt ends with the split marker. Nothing is tested before more
    // than 100 bytes have been read.
    bool splitDetected(const std::vector<char>& stmt) const;

    // Copies every byte after the first split marker of the container into a
    // new file at splitout_file_path, replacing what was there. Reports its
    // progress on standard output; throws std::logic_error when there is no
    // marker and a plain std::exception on any other failure.
    void splitFilesApart(const std::string& passthrough_file_path, const std::string& splitout_file_path) const;

    // The file of the shared object that holds the call block's entryPoint,
    // that is the wrapper as the host loaded it. Throws a plain std::exception
    // when the dynamic loader cannot tell.
    std::string getFilePathForCurrentLibrary(FMX_ExternCallPtr& ptr) const;
};

// Writes the dynamic loader's failure to name a plug-in's file to standard
// error.
void print_plugin_path_error();

}  // namespace corvane
