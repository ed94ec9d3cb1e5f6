// The host's string requests: the first one creates the bridge object from
// the manifest of the archive appended to the bridge's own file; every one is
// answered from that manifest.
#include <dlfcn.h>
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "BridgeEntry.h"
#include "BridgeState.h"
#include "PipeParent.h"
#include "PipeParentFunctionCall.h"
#include "SignalHandling.h"
#include "exception/TobrinException.h"
#include "hostsdk/fmx.h"
#include "util/lin/PluginUtils.h"

namespace corvane {

namespace {

// The quad char is the first four characters of this attribute.
constexpr size_t quad_char_length = 4;

std::string attribute_or_empty(const std::map<std::string, std::string>& attributes, const std::string& name) {
    const auto found = attributes.find(name);
    return found != attributes.end() ? found->second : std::string();
}

// The file the bridge was loaded from, or empty, after a statement on
// standard error, when the dynamic loader cannot name it.
std::string own_file_path(WrapperFMX_ExternCallProc entry) {
    dlerror();  // only this lookup's error is of interest
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(entry), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] != '\0')
        return info.dli_fname;
    const char* loader_error = dlerror();
    fmt::print(stderr, "An error occurred retrieving a path to the plug-in{}{}; the string request is not answered\n",
               loader_error != nullptr ? ": " : "", loader_error != nullptr ? loader_error : "");
    std::fflush(stderr);
    return {};
}

void read_quad_char(const std::string& own_file) {
    fmt::print("do_function ptr@{}\n", reinterpret_cast<const void*>(&do_function));
    std::fflush(stdout);
    const auto attributes = PluginUtils::get_manifest_attributes(own_file);
    g_quad_char = attribute_or_empty(attributes, "plugin-options").substr(0, quad_char_length);
}

void create_bridge_object(WrapperFMX_ExternCallProc entry) {
    pipeParent = std::make_unique<PipeParent>();
    // An empty code is never registered: removing it again would cut every
    // separator out of the registry that other plug-ins share.
    if (!g_quad_char.empty()) PluginUtils::load_plugin(g_quad_char);
    pipeParent->init_start_time = std::chrono::system_clock::now();
    install_crash_handler();

    std::string resource_path;
    std::string jar_path;
    PluginUtils::set_plugin_resource_paths(reinterpret_cast<uint64_t>(entry), resource_path, jar_path);
    if (jar_path.empty()) throw tobrin_exception("Unable to locate plugin.jar");
    auto& attributes = pipeParent->g_plugin_attributes;
    attributes = PluginUtils::get_manifest_attributes(jar_path);
    attributes["plugin_jar_path"] = jar_path;
    attributes["resource_dir_path"] = resource_path;

    pipeParent->open_startup_log(attribute_or_empty(attributes, "plugin-name"), g_quad_char);
    LogManager::debug("PipeParent v{:.2f}", pipeParent->pipe_parent_version);
    LogManager::debug("Plugin jar path: {}", jar_path);
    LogManager::debug("Resource dir path: {}", resource_path);
}

const char* attribute_for_string_id(FMX_UInt32 string_id) {
    switch (string_id) {
        case kFMXT_OptionsStr: return "plugin-options";
        case kFMXT_NameStr: return "plugin-name";
        case kFMXT_AppConfigStr: return "plugin-help";
        default: return nullptr;  // the help URL and anything else stay unanswered
    }
}

bool is_high_surrogate(FMX_Unichar unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

void get_string(uint32_t buffer_size, FMX_Unichar* buffer, const char* text) {
    if (buffer_size == 0 || buffer == nullptr) return;
    const fmx::TextUniquePtr host_text;
    host_text->Assign(text, fmx::Text::kEncoding_UTF8);
    const FMX_UInt32 size = host_text->GetSize();
    FMX_UInt32 count = size < buffer_size ? size : buffer_size - 1;
    host_text->GetUnicode(buffer, 0, count);
    // A cut between the halves of a surrogate pair would leave half a character.
    if (count < size && count > 0 && is_high_surrogate(buffer[count - 1])) --count;
    buffer[count] = 0;
}

void on_get_string(const WrapperFMX_ExternCallStruct& call) {
    FMX_ExternCallPtr pb = call.pb;
    if (pb->cfmCalls == 1) dummy_script_engine = true;

    if (g_quad_char.empty()) {
        const std::string own_file = own_file_path(call.actualEntryPoint);
        if (own_file.empty()) return;
        read_quad_char(own_file);
    }
    if (!pipeParent) {
        // An entry without an object of this bridge was left by an earlier
        // load in this process.
        if (!g_quad_char.empty() && PluginUtils::has_plugin(g_quad_char)) PluginUtils::unload_plugin(g_quad_char);
        create_bridge_object(call.actualEntryPoint);
    }

    const auto& attributes = pipeParent->g_plugin_attributes;
    if (!attributes.empty()) {
        if (const char* name = attribute_for_string_id(pb->parm1)) {
            const auto buffer_size =
                static_cast<uint32_t>(std::min<FMX_PtrType>(pb->parm3, std::numeric_limits<uint32_t>::max()));
            get_string(buffer_size, reinterpret_cast<FMX_Unichar*>(pb->result),
                       attribute_or_empty(attributes, name).c_str());
        }
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now() -
                                                                              pipeParent->init_start_time);
    LogManager::debug("{} GetString finished in {:d} ms", attribute_or_empty(attributes, "plugin-name"),
                      elapsed.count());
}

}  // namespace corvane
