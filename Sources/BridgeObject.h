#pragma once

namespace corvane {

// Destroys the bridge object (pipeParent) and then sets pipeParent to null.
// The pointer keeps naming the object while its destructor runs: the shutdown
// it performs may be interrupted by a crash signal, whose handler ends the
// child through it. Does nothing when there is no object.
void destroy_bridge_object() noexcept;

}  // namespace corvane
