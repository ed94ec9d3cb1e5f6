#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace corvane {

// The process-wide list of loaded plug-ins, the attributes of a JAR manifest
// and the file of the module that holds an address.
//
// Every wrapper loads its own copy of the bridge, so the copies share no
// static data; the list therefore lives in the environment variable
// "CORVANE_LOADED_PLUGINS" as ":"-separated plug-in codes. The environment is
// not synchronised: callers use the registry from one thread at a time.
class PluginUtils {
public:
    PluginUtils() = delete;

    static const std::string loaded_plugins_variable;
    static const std::string manifest_entry_name;

    static void load_plugin(std::string plugin_code);
    // Cuts the code out of the registry text; a leading ":" may remain, which
    // never matches a code.
    static void unload_plugin(std::string plugin_code);
    static std::vector<std::string> get_plugins();
    static bool has_plugin(std::string plugin_code);

    // Main-section attributes of the archive's "META-INF/MANIFEST.MF"; empty
    // when the archive cannot be opened or has no manifest. Never throws for
    // a missing or malformed manifest.
    static std::map<std::string, std::string> get_manifest_attributes(const std::string& archive_path);

    // Parses manifest text. Lines may be of any length and must end in CR LF
    // (others are skipped); a line starting with a space continues the
    // current attribute; the first line shorter than three bytes (counting
    // its line feed) ends the main section. A line is split at its first ":"
    // and the value loses its first character; a line without ":" is skipped
    // and leaves no attribute for a continuation line to extend.
    static std::map<std::string, std::string> parse_manifest(std::istream& manifest);

    // Sets both paths to the file of the loaded object that contains address
    // (the bridge carries its JAR inside itself). Throws tobrin_exception when
    // the dynamic linker cannot tell.
    static void set_plugin_resource_paths(uint64_t address, std::string& resource_path, std::string& jar_path);
};

}  // namespace corvane
