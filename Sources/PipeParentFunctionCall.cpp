// The host's calls of plug-in functions and script steps: each one is relayed
// to the child from a worker thread of its own while the host thread waits,
// and every way it can fail ends in the host error -1.

#include "PipeParentFunctionCall.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BridgeState.h"
#include "PipeParent.h"
#include "SignalHandling.h"
#include "exception/TobrinException.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace {

constexpr FMX_ErrorCode call_failed = -1;
constexpr const char* worker_thread_name = "Velmora_plugin_function";
// Thread names longer than this are refused by the platform.
constexpr size_t max_thread_name_length = 15;

// What the worker needs to relay one call; lives on the host thread's stack
// for the whole call.
struct RelayedCall {
    int16_t function_id;
    int64_t host_thread_id;
    uint64_t file_id;
    uint64_t session_id;
    FMX_Boolean unsafe_calls;
    std::vector<Token> parameter_tokens;
    Token result_token;
    const fmx::ExprEnv& environment;
};

// The host boundary must not throw, not even when a statement cannot be written.
template <typename... Args>
void log_error_quietly(fmt::string_view format, const Args&... args) noexcept {
    try {
        LogManager::error(format, args...);
    } catch (...) {
    }
}

// A name the platform refuses as too long is cut to the length it accepts, so
// the thread is still recognisable.
void name_current_thread(const std::string& name) {
    if (pthread_setname_np(pthread_self(), name.c_str()) == ERANGE)
        pthread_setname_np(pthread_self(), name.substr(0, max_thread_name_length).c_str());
}

FMX_ErrorCode low_16_bits(int32_t value) { return static_cast<FMX_ErrorCode>(static_cast<uint16_t>(value)); }

PipeMessageSource call_body(const RelayedCall& call) {
    return [&call](FILE_PTR out) {
        StreamUtils::write_int16_bytes(call.function_id, out);
        StreamUtils::write_int32_bytes(static_cast<int32_t>(call.parameter_tokens.size()), out);
        for (size_t index = 0; index < call.parameter_tokens.size(); ++index) {
            LogManager::debug("Parameter {:d} token: {:d}", index, call.parameter_tokens[index]);
            StreamUtils::write_int64_bytes(call.parameter_tokens[index], out);
        }
        LogManager::debug("FMData Result Token: {:d}", call.result_token);
        StreamUtils::write_int64_bytes(call.result_token, out);
        StreamUtils::putc(static_cast<int8_t>(call.unsafe_calls), out);
        // The GUI flag; the bridge never asks for it.
        StreamUtils::putc(int8_t{0}, out);
        StreamUtils::flush_file_ptr(out);
    };
}

// The worker's whole life: relays the call and leaves its outcome in the
// promise. Nothing leaves it; whatever ends the exchange ends the call.
void relay_on_worker(PipeParent& parent, const RelayedCall& call, std::promise<FMX_ErrorCode>& outcome) noexcept {
    std::exception_ptr failure;
    FMX_ErrorCode result = call_failed;
    try {
        mask_sig();
        name_current_thread(worker_thread_name);
        result = low_16_bits(parent.send_cmd(CodeToChild::do_function, parent.get_quad_char(), call_body(call), true,
                                             call.host_thread_id, call.file_id, call.session_id,
                                             call.environment));
    } catch (const tobrin_exception& e) {
        log_error_quietly("An exception occurred while executing a plug-in function: {}", e.what());
        failure = std::current_exception();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        if (failure)
            outcome.set_exception(failure);
        else
            outcome.set_value(result);
    } catch (const std::exception& e) {
        log_error_quietly("An exception occurred setting a plug-in function promise: {}", e.what());
    }
}

std::vector<TypedToken> call_tokens(const RelayedCall& call) {
    std::vector<TypedToken> tokens;
    for (Token token : call.parameter_tokens) tokens.push_back({token, TokenType::data});
    tokens.push_back({call.result_token, TokenType::data});
    return tokens;
}

FMX_ErrorCode perform_function(PipeParent& parent, FMX_Int16 plugin_function_id, const fmx::ExprEnv& environment,
                               const fmx::DataVect& dataVect, fmx::Data& result) {
    const auto started = std::chrono::steady_clock::now();
    const int64_t thread_id = ThreadUtils::get_current_thread_id_as_int();
    // No name is known until the record is found.
    std::string name = fmt::format("with ID {:d}", plugin_function_id);
    try {
        LogManager::fine("Preparing to perform a plug-in function with ID {:d} on thread {:d}", plugin_function_id,
                         thread_id);
        const std::optional<PluginFunction> function = parent.find_plugin_function(plugin_function_id);
        if (!function)
            throw std::invalid_argument(
                fmt::format("No plug-in function or script step is registered with ID {:d}", plugin_function_id));
        name = function->get_name();

        uint64_t file_id = 0;
        uint64_t session_id = 0;
        if (parent.init_params.api_version > 55) {
            file_id = environment.FileID();
            LogManager::debug("File ID from function expression environment: {:d}", file_id);
            session_id = environment.SessionID();
            LogManager::debug("Session ID from function expression environment: {:d}", session_id);
        }
        LogManager::fine("Plug-in function {} has timeout of {:d} seconds", name, 0);

        RelayedCall call{plugin_function_id, thread_id, file_id, session_id, parent.init_params.unsafe_calls,
                         {},                 token_of(result), environment};
        for (FMX_UInt32 index = 0; index < dataVect.Size(); ++index)
            call.parameter_tokens.push_back(token_of(dataVect.At(index)));

        // The child may use the call's values only while the call runs.
        const PipeParent::ScopedCallTokens tokens(parent, call_tokens(call));
        std::promise<FMX_ErrorCode> outcome;
        std::future<FMX_ErrorCode> answer = outcome.get_future();
        std::thread worker(relay_on_worker, std::ref(parent), std::cref(call), std::ref(outcome));
        worker.join();
        if (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            throw tobrin_exception("The plug-in function's worker ended without an outcome");
        const FMX_ErrorCode value = answer.get();

        if (!function->is_script_step()) parent.drop_last_plugin_exception(thread_id);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        LogManager::info("Finished invoking function {} with result of {:d} in {:d} ms on thread {:d}", name, value,
                         elapsed.count(), thread_id);
        return value;
    } catch (const std::exception& e) {
        log_error_quietly("An error occurred performing a function {}: {}", name, e.what());
    } catch (...) {
        log_error_quietly("An error occurred performing a function {}: {}", name, "an unknown error");
    }
    return call_failed;
}

}  // namespace

void PipeParent::drop_last_plugin_exception(int64_t thread_id) {
    // Callbacks change the map while acting, which they do under token_lock.
    std::lock_guard<std::mutex> tokens(token_lock);
    const auto found = last_plugin_exceptions.find(thread_id);
    if (found != last_plugin_exceptions.end()) found->second.reset();
}

extern "C" FMX_ErrorCode do_function(FMX_Int16 plugin_function_id, const fmx::ExprEnv& environment,
                                     const fmx::DataVect& dataVect, fmx::Data& result) {
    try {
        // A thread acting on a callback holds the locks a relayed call would
        // wait for, and its exchange waits for that callback's answer.
        if (PipeParent::is_serving_callback_on_current_thread()) {
            log_error_quietly(
                "Plug-in function with ID {:d} was called while its thread serves a callback of the plug-in; such a "
                "call cannot be relayed",
                plugin_function_id);
            return call_failed;
        }
        PipeParent* parent = pipeParent.get();
        if (parent == nullptr) {
            log_error_quietly("Plug-in function with ID {:d} cannot be performed: the plug-in is not loaded",
                              plugin_function_id);
            return call_failed;
        }
        if (!parent->is_init()) {
            log_error_quietly("Plug-in function with ID {:d} cannot be performed: the plug-in is not initialised",
                              plugin_function_id);
            return call_failed;
        }
        return perform_function(*parent, plugin_function_id, environment, dataVect, result);
    } catch (...) {
        log_error_quietly("Plug-in function with ID {:d} failed", plugin_function_id);
    }
    return call_failed;
}

}  // namespace corvane
