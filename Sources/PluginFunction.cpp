#include "PluginFunction.h"

#include <utility>

namespace corvane {

PluginFunction::PluginFunction(int16_t id, std::string name, int32_t timeout_seconds, bool gui, bool script_step)
    : id(id), name(std::move(name)), timeout_seconds(timeout_seconds), gui(gui), script_step(script_step) {}

}  // namespace corvane
