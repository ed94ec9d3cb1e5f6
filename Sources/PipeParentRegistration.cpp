// Callbacks by which the child announces and withdraws its plug-in functions
// and script steps. Every one of them names do_function as the host's entry;
// the host passes the id back on each call.

#include <fmt/format.h>

#include <string>
#include <utility>
#include <vector>

#include "BridgeState.h"
#include "FMUtils.h"
#include "PipeParent.h"
#include "PipeParentFunctionCall.h"

namespace corvane {

namespace {

using Units = std::vector<uint16_t>;

// The host's newer registration call carries a type-ahead description.
constexpr FMX_Int16 first_api_version_with_descriptions = 56;

std::string to_utf8(const Units& units) { return utf16_to_utf8_string(std::u16string(units.begin(), units.end())); }

fmx::TextUniquePtr make_text(const Units& units) {
    fmx::TextUniquePtr text;
    static const FMX_Unichar no_units[1] = {0};
    text->AssignUnicodeWithLength(units.empty() ? no_units : units.data(), static_cast<FMX_UInt32>(units.size()));
    return text;
}

// The host takes argument counts as int16: the low 16 bits of what was read.
FMX_Int16 low_16_bits(int32_t value) { return static_cast<FMX_Int16>(static_cast<uint16_t>(value)); }

bool read_gui_flag(FILE_PTR in) { return StreamUtils::get_c(in) == 1; }

struct FunctionAnnouncement {
    int16_t id = 0;
    Units name;
    Units prototype;
    int32_t min_args = 0;
    int32_t max_args = 0;
    int32_t flags = 0;
    int32_t timeout = 0;
    bool gui = false;
    bool has_description = false;
    Units description;
};

struct ScriptStepAnnouncement {
    int16_t id = 0;
    Units name;
    Units definition;
    int32_t flags = 0;
    int32_t timeout = 0;
    bool gui = false;
    Units description;
};

}  // namespace

bool PipeParent::record_plugin_function(const PluginFunction& function) {
    std::lock_guard<std::mutex> functions(plugin_functions_lock);
    return plugin_functions.emplace(function.get_id(), function).second;
}

std::optional<PluginFunction> PipeParent::find_plugin_function(int16_t id) const {
    std::lock_guard<std::mutex> functions(plugin_functions_lock);
    const auto found = plugin_functions.find(id);
    if (found == plugin_functions.end()) return std::nullopt;
    return found->second;
}

PipeParent::PreparedCallback PipeParent::on_register_function(const CallbackRequest& request) {
    LogManager::debug("Registering a plug-in function");
    FILE_PTR in = parent_read_fp;
    FunctionAnnouncement announced;
    announced.id = StreamUtils::read16_be(in);
    LogManager::debug("Read function ID: {:d}", announced.id);
    announced.name = StreamUtils::read_unicode_bytes(in);
    const std::string name = to_utf8(announced.name);
    LogManager::debug("Read function name: {}", name);
    LogManager::debug("Registering function {} with ID {:d}", name, announced.id);
    announced.prototype = StreamUtils::read_unicode_bytes(in);
    LogManager::debug("Read function protype: {}", to_utf8(announced.prototype));
    announced.min_args = StreamUtils::read32_be(in);
    LogManager::debug("Read min args: {:d}", announced.min_args);
    announced.max_args = StreamUtils::read32_be(in);
    LogManager::debug("Read max args: {:d}", announced.max_args);
    announced.flags = StreamUtils::read32_be(in);
    LogManager::debug("Read compatibility flags: {:d}", announced.flags);
    announced.timeout = StreamUtils::read32_be(in);
    LogManager::debug("Read timeout: {:d}", announced.timeout);
    announced.gui = read_gui_flag(in);
    LogManager::debug("Read GUI: {}", announced.gui);
    announced.has_description = init_params.api_version >= first_api_version_with_descriptions;
    if (announced.has_description) {
        announced.description = StreamUtils::read_unicode_bytes(in);
        LogManager::debug("Read type-ahead description {}", to_utf8(announced.description));
    }

    const fmx::QuadChar plugin_id(request.quad_char.c_str());
    return [this, announced = std::move(announced), name, plugin_id] {
        record_plugin_function(PluginFunction(announced.id, name, announced.timeout, announced.gui, false));
        if (dummy_script_engine) return CallbackReply();

        const fmx::TextUniquePtr host_name = make_text(announced.name);
        const fmx::TextUniquePtr prototype = make_text(announced.prototype);
        const FMX_UInt32 flags = static_cast<FMX_UInt32>(announced.flags);
        FMX_ErrorCode error = 0;
        if (announced.has_description) {
            const fmx::TextUniquePtr description = make_text(announced.description);
            error = fmx::ExprEnv::RegisterExternalFunctionEx(plugin_id, announced.id, *host_name, *prototype,
                                                             *description, low_16_bits(announced.min_args),
                                                             low_16_bits(announced.max_args), flags, &do_function);
        } else {
            error = fmx::ExprEnv::RegisterExternalFunction(plugin_id, announced.id, *host_name, *prototype,
                                                           low_16_bits(announced.min_args),
                                                           low_16_bits(announced.max_args), flags, &do_function);
        }
        if (error > 0) LogManager::error("An error occurred while registering {} ({:d})", name, error);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_register_script_step(const CallbackRequest& request) {
    LogManager::debug("Registering a plug-in script step");
    FILE_PTR in = parent_read_fp;
    ScriptStepAnnouncement announced;
    announced.id = StreamUtils::read16_be(in);
    LogManager::debug("Read script step ID: {:d}", announced.id);
    announced.name = StreamUtils::read_unicode_bytes(in);
    const std::string name = to_utf8(announced.name);
    LogManager::debug("Read script step name: {}", name);
    LogManager::debug("Registering script step {} with ID {:d}", name, announced.id);
    announced.definition = StreamUtils::read_unicode_bytes(in);
    LogManager::debug("Read script step xml: {}", to_utf8(announced.definition));
    announced.flags = StreamUtils::read32_be(in);
    LogManager::debug("Read flags: {:d}", announced.flags);
    announced.timeout = StreamUtils::read32_be(in);
    LogManager::debug("Read timeout: {:d}", announced.timeout);
    announced.gui = read_gui_flag(in);
    LogManager::debug("Read GUI: {}", announced.gui);
    announced.description = StreamUtils::read_unicode_bytes(in);
    LogManager::debug("Read type-ahead description {}", to_utf8(announced.description));

    const fmx::QuadChar plugin_id(request.quad_char.c_str());
    return [this, announced = std::move(announced), name, plugin_id] {
        record_plugin_function(PluginFunction(announced.id, name, announced.timeout, announced.gui, true));
        // Script steps reach the host even in a dummy script engine.
        const fmx::TextUniquePtr host_name = make_text(announced.name);
        const fmx::TextUniquePtr definition = make_text(announced.definition);
        const fmx::TextUniquePtr description = make_text(announced.description);
        const FMX_ErrorCode error =
            fmx::ExprEnv::RegisterScriptStep(plugin_id, announced.id, *host_name, *definition, *description,
                                             static_cast<FMX_UInt32>(announced.flags), &do_function);
        if (error > 0) LogManager::error("An error occurred while registering {} as a script step ({:d})", name, error);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_unregister_function(const CallbackRequest& request) {
    const int16_t id = StreamUtils::read16_be(parent_read_fp);
    const fmx::QuadChar plugin_id(request.quad_char.c_str());
    return [id, plugin_id] {
        fmx::ExprEnv::UnRegisterExternalFunction(plugin_id, id);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_unregister_script_step(const CallbackRequest& request) {
    const int16_t id = StreamUtils::read16_be(parent_read_fp);
    const fmx::QuadChar plugin_id(request.quad_char.c_str());
    return [id, plugin_id] {
        fmx::ExprEnv::UnRegisterScriptStep(plugin_id, id);
        return CallbackReply();
    };
}

}  // namespace corvane
