#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// One plug-in function or script step that the child announced; the host
// passes the id back on every call of it.
class PluginFunction {
public:
    PluginFunction(int16_t id, std::string name, int32_t timeout_seconds, bool gui, bool script_step);

    int16_t get_id() const { return id; }
    const std::string& get_name() const { return name; }
    int32_t get_timeout_seconds() const { return timeout_seconds; }
    bool is_gui() const { return gui; }
    bool is_script_step() const { return script_step; }

private:
    int16_t id;
    std::string name;
    int32_t timeout_seconds;
    bool gui;
    bool script_step;
};

}  // namespace corvane
