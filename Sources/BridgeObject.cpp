#include "BridgeObject.h"

#include "BridgeState.h"
#include "PipeParent.h"

namespace corvane {

void destroy_bridge_object() noexcept {
    if (!pipeParent) return;
    pipeParent.get_deleter()(pipeParent.get());
    static_cast<void>(pipeParent.release());
}

}  // namespace corvane
