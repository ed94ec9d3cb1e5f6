#include "Packer.h"

#include "AtomicOutput.h"
#include "PieceChecks.h"
#include "SeparatorSequence.h"

namespace fmxpack {

void pack(const PackOptions& options) {
    const std::string wrapper = read_piece(options.wrapper);
    check_shared_object(options.wrapper, wrapper);
    check_wrapper_has_no_marker(options.wrapper, wrapper);

    const std::string bridge = read_piece(options.bridge);
    check_shared_object(options.bridge, bridge);

    check_plugin_jar(options.jar);
    const std::string jar = read_piece(options.jar);

    const auto marker_characters = corvane::SeparatorSequence::getSeparatorSequence();
    const std::string marker(marker_characters.begin(), marker_characters.end());
    write_atomically(options.output, {&wrapper, &marker, &bridge, &jar});
}

}  // namespace fmxpack
