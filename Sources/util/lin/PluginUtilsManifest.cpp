// The manifest reader of PluginUtils.
#include <sstream>

#include "util/lin/PluginUtils.h"
#include "zip/unzipper.h"

namespace corvane {

const std::string PluginUtils::manifest_entry_name = "META-INF/MANIFEST.MF";

namespace {
// "\r\n" ends the main section; counted with its line feed it is two bytes.
constexpr size_t shortest_attribute_line = 3;
}  // namespace

std::map<std::string, std::string> PluginUtils::get_manifest_attributes(const std::string& archive_path) {
    std::stringstream manifest;
    ziputils::unzipper archive;
    if (archive.open(archive_path.c_str())) {
        if (archive.openEntry(manifest_entry_name.c_str())) {
            archive >> manifest;
            archive.closeEntry();
        }
        archive.close();
    }
    manifest.clear();  // a failed copy leaves an empty text, not a failed stream
    return parse_manifest(manifest);
}

std::map<std::string, std::string> PluginUtils::parse_manifest(std::istream& manifest) {
    std::map<std::string, std::string> attributes;
    std::string line;
    std::string current_name;
    bool has_current = false;

    // Lines are read whole: the format allows 72 bytes of content per line
    // and archive tools write lines of exactly that length.
    while (std::getline(manifest, line)) {
        const bool ended_by_line_feed = !manifest.eof();
        if (line.size() + (ended_by_line_feed ? 1 : 0) < shortest_attribute_line) break;
        if (line.back() != '\r') continue;
        line.pop_back();

        if (line.front() == ' ') {
            if (!has_current) continue;  // nothing to continue
            attributes[current_name] += line.substr(1);
            continue;
        }

        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            has_current = false;
            continue;
        }
        current_name = line.substr(0, colon);
        // The value starts after the separator's space; "Name:" gives "".
        attributes[current_name] = colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
        has_current = true;
    }
    return attributes;
}

}  // namespace corvane
