#include <fmt/format.h>

#include <functional>
#include <string>

#include "BridgeState.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace {

// Runs one read from the child. A read that fails (end of stream, a read
// error, a length no message can have, a bad separator) leaves the reader
// somewhere inside a message it cannot finish, so the channel is broken.
template <class Read>
auto read_from_child(const PipeParent& parent, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const std::exception& e) {
        parent.mark_channel_broken(e.what());
        throw;
    }
}

// How many callbacks this thread is acting on; a depth rather than a flag so
// that an inner scope can never clear it for an outer one.
thread_local int callbacks_served_on_this_thread = 0;

class ServingCallback {
public:
    ServingCallback() { ++callbacks_served_on_this_thread; }
    ~ServingCallback() { --callbacks_served_on_this_thread; }
    ServingCallback(const ServingCallback&) = delete;
    ServingCallback& operator=(const ServingCallback&) = delete;
};

}  // namespace

bool PipeParent::is_serving_callback_on_current_thread() { return callbacks_served_on_this_thread > 0; }

void PipeParent::register_exchange(int64_t thread_id) {
    std::lock_guard<std::mutex> registry(exchange_registry_lock);
    threads_awaiting_reply.insert(thread_id);
}

void PipeParent::unregister_exchange(int64_t thread_id) {
    std::lock_guard<std::mutex> registry(exchange_registry_lock);
    auto found = threads_awaiting_reply.find(thread_id);
    if (found != threads_awaiting_reply.end()) threads_awaiting_reply.erase(found);
}

bool PipeParent::has_exchange(int64_t thread_id) const {
    std::lock_guard<std::mutex> registry(exchange_registry_lock);
    return threads_awaiting_reply.count(thread_id) != 0;
}

int64_t PipeParent::get_thread_id_for_last_msg() const {
    std::lock_guard<std::mutex> input(g_input_lock);
    return thread_id_for_last_msg;
}

int32_t PipeParent::send_cmd(CodeToChild code_to_child, const std::string& quad_char,
                             const PipeMessageSource& pipe_message_source, bool expect_result,
                             int64_t thread_id_for_msg, uint64_t file_id, uint64_t session_id,
                             const fmx::ExprEnv& environment) {
    throw_if_serving_callback();
    const int64_t calling_thread_id = ThreadUtils::get_current_thread_id_as_int();
    const int64_t current_thread_id = thread_id_for_msg > 0 ? thread_id_for_msg : calling_thread_id;
    LogManager::fine("Current thread ID: {:d}. Thread ID for message: {:d}. Thread ID as int: {:d}",
                     current_thread_id, thread_id_for_msg, calling_thread_id);
    if (!expect_result) {
        send_msg(code_to_child, quad_char, pipe_message_source, current_thread_id, file_id, session_id, environment);
        return 0;
    }

    // Listed before the command goes out: the child may answer before this
    // thread reaches the loop, and whoever reads that header must know that
    // somebody waits for it.
    class ExchangeRegistration {
    public:
        ExchangeRegistration(PipeParent& parent, int64_t thread_id) : parent(parent), thread_id(thread_id) {
            parent.register_exchange(thread_id);
        }
        ~ExchangeRegistration() { parent.unregister_exchange(thread_id); }
        ExchangeRegistration(const ExchangeRegistration&) = delete;
        ExchangeRegistration& operator=(const ExchangeRegistration&) = delete;

    private:
        PipeParent& parent;
        int64_t thread_id;
    } registration(*this, current_thread_id);

    const bool broken_before = is_channel_broken();
    try {
        send_msg(code_to_child, quad_char, pipe_message_source, current_thread_id, file_id, session_id, environment);
    } catch (...) {
        if (!broken_before && is_channel_broken()) {
            // This frame broke the channel; threads asleep in the loop must
            // learn it under the lock they wait with.
            std::lock_guard<std::mutex> input(g_input_lock);
            g_message_check.notify_all();
        }
        throw;
    }
    return await_reply(current_thread_id, quad_char, environment);
}

int32_t PipeParent::await_reply(int64_t thread_id, const std::string& quad_char, const fmx::ExprEnv& environment) {
    LogManager::debug("Acquiring lock on thread: {:d}", thread_id);
    std::unique_lock<std::mutex> input(g_input_lock);
    if (parent_read_fp == nullptr) throw tobrin_exception("No channel from the plug-in child process is open");
    int32_t result = 0;
    try {
        bool done = false;
        while (!done) {
            LogManager::debug("Waiting on condition variable for thread: {:d}, thread_id_for_last_msg: {:d}",
                              thread_id, thread_id_for_last_msg);
            g_message_check.wait(input, [&] {
                return thread_id_for_last_msg == 0 || thread_id_for_last_msg == thread_id || is_channel_broken();
            });
            LogManager::debug("Condition variable acquired for thread: {:d}, thread_id_for_last_msg: {:d}",
                              thread_id, thread_id_for_last_msg);
            throw_if_channel_broken();

            if (thread_id_for_last_msg == 0) {
                const int64_t header = read_from_child(*this, [&] { return StreamUtils::read64_be(parent_read_fp); });
                read_from_child(*this, [&] { consume_separator(); });
                // Thread ids are never 0; such a header is skipped.
                if (header == 0) continue;
                if (!has_exchange(header)) {
                    mark_channel_broken(
                        fmt::format("received a message for thread {:d}, which has no exchange in progress", header));
                    throw tobrin_exception(channel_broken_message());
                }
                thread_id_for_last_msg = header;
            }

            if (thread_id_for_last_msg == thread_id) {
                const auto code = static_cast<CodeToParent>(
                    read_from_child(*this, [&] { return StreamUtils::read16_be(parent_read_fp); }));
                if (code == CodeToParent::finished) {
                    done = true;
                    LogManager::fine("Exited child response loop for thread: {:d}", thread_id);
                } else {
                    try {
                        handle_child_response(code, quad_char, thread_id, environment);
                    } catch (const std::bad_function_call& e) {
                        LogManager::error("Bad function call: {}", e.what());
                    }
                }
                thread_id_for_last_msg = 0;
            } else {
                LogManager::debug(
                    "Thread id for last message does not equal current thread id, waking up other threads. Last "
                    "thread id: {:d}. Current thread id: {:d}",
                    thread_id_for_last_msg, thread_id);
                g_message_check.notify_all();
            }
        }
        result = read_from_child(*this, [&] { return StreamUtils::read32_be(parent_read_fp); });
        read_from_child(*this, [&] { consume_separator(); });
    } catch (...) {
        // A message consumed whole leaves the stream in step: the next header
        // is free for any waiter. Otherwise every waiter must wake to fail.
        if (!is_channel_broken()) thread_id_for_last_msg = 0;
        g_message_check.notify_all();
        throw;
    }
    LogManager::debug("Done on thread: {:d}, notifying other threads.  Thread_id_for_last_msg: {:d}", thread_id,
                      thread_id_for_last_msg);
    g_message_check.notify_one();
    return result;
}

void PipeParent::handle_child_response(CodeToParent response_code, const std::string& quad_char,
                                       int64_t thread_id_for_msg, const fmx::ExprEnv& environment) {
    const std::string printed_code = to_string(response_code);
    LogManager::fine("Handling response {} for thread : {:d}", printed_code, thread_id_for_msg);

    const auto& handlers = callback_handlers();
    const auto handler = handlers.find(response_code);
    if (handler == handlers.end()) {
        // The payload of a message without handler has no known length, so
        // there is no way to the next message.
        const std::string message = fmt::format("No handler exists for response code: {}", printed_code);
        mark_channel_broken(message);
        throw tobrin_exception(message);
    }

    const CallbackRequest request{response_code, quad_char, thread_id_for_msg, environment};
    // The whole message is read, separator included, before anything acts
    // on it: a payload read out of step never reaches the host.
    PreparedCallback act = read_from_child(*this, [&] { return (this->*(handler->second))(request); });
    read_from_child(*this, [&] { consume_separator(); });

    CallbackReply reply;
    try {
        std::lock_guard<std::mutex> tokens(token_lock);
        // The host may call this bridge's plug-in functions from here; they
        // must learn that this thread cannot relay them.
        const ServingCallback serving;
        reply = act();
    } catch (const tobrin_exception&) {
        throw;
    } catch (const std::bad_function_call&) {
        throw;
    } catch (const std::exception& e) {
        // Host failures end the exchange like the bridge's own errors do.
        throw tobrin_exception(fmt::format("Handling {} failed: {}", printed_code, e.what()));
    }
    send_msg(CodeToChild::callback_result, quad_char, reply.message_source(), thread_id_for_msg, 0, 0, environment);
    {
        std::lock_guard<std::mutex> tokens(token_lock);
        hold_new_objects(thread_id_for_msg, reply.objects_to_hold());
    }
    reply.run_after_answer_steps();
}

}  // namespace corvane
