#pragma once

#include <string>

namespace fmxpack {

// Each check throws pack_error naming the file and what is wrong with it.

// The whole content of a file to be packed.
std::string read_piece(const std::string& path);

// A shared object at all: the wrapper and the bridge are loaded by the
// dynamic loader.
void check_shared_object(const std::string& path, const std::string& content);

// The loader splits at the first marker in the file, so the wrapper must not
// hold it anywhere.
void check_wrapper_has_no_marker(const std::string& path, const std::string& content);

// A zip archive whose manifest names the plug-in through "plugin-options".
void check_plugin_jar(const std::string& path);

}  // namespace fmxpack
