#include "PieceChecks.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "PackError.h"
#include "SeparatorSequence.h"
#include "util/lin/PluginUtils.h"
#include "zip/unzipper.h"

namespace fmxpack {

std::string read_piece(const std::string& path) {
    std::ifstream input(path, std::ios::in | std::ios::binary);
    if (!input) throw pack_error(fmt::format("{}: cannot be read: {}", path, std::strerror(errno)));
    std::ostringstream content;
    content << input.rdbuf();
    if (input.bad()) throw pack_error(fmt::format("{}: cannot be read", path));
    return content.str();
}

void check_shared_object(const std::string& path, const std::string& content) {
    static const std::string elf_magic("\x7f" "ELF");
    if (content.compare(0, elf_magic.size(), elf_magic) != 0)
        throw pack_error(fmt::format("{}: not a shared object (no ELF header)", path));
}

void check_wrapper_has_no_marker(const std::string& path, const std::string& content) {
    const auto marker = corvane::SeparatorSequence::getSeparatorSequence();
    const auto found = std::search(content.begin(), content.end(), marker.begin(), marker.end());
    if (found != content.end())
        throw pack_error(fmt::format("{}: the wrapper contains the split marker at byte {}; "
                                     "the loader would split the plug-in there",
                                     path, std::distance(content.begin(), found)));
}

void check_plugin_jar(const std::string& path) {
    {
        ziputils::unzipper archive;
        if (!archive.open(path.c_str())) throw pack_error(fmt::format("{}: not a zip archive", path));
        if (!archive.openEntry(corvane::PluginUtils::manifest_entry_name.c_str()))
            throw pack_error(fmt::format("{}: the archive has no manifest ({})", path,
                                         corvane::PluginUtils::manifest_entry_name));
    }
    // Read the way the bridge reads it, so that what passes here is what the
    // bridge will find.
    const auto attributes = corvane::PluginUtils::get_manifest_attributes(path);
    const auto options = attributes.find("plugin-options");
    if (options == attributes.end())
        throw pack_error(fmt::format("{}: the manifest has no \"plugin-options\" attribute", path));
    if (options->second.empty())
        throw pack_error(fmt::format("{}: the manifest's \"plugin-options\" attribute is empty", path));
}

}  // namespace fmxpack
