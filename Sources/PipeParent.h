#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CallbackReply.h"
#include "CodeToChild.h"
#include "CodeToParent.h"
#include "FMInitParams.h"
#include "PipeMessageSource.h"
#include "PluginException.h"
#include "PluginFunction.h"
#include "TokenTable.h"
#include "hostsdk/fmx.h"
#include "util/LogManager.h"
#include "util/StreamUtils.h"
#include "util/lin/ProcessUtils.h"
#include "util/lin/UniqueFd.h"

namespace corvane {

// The thread, code and environment of the callback being served.
struct CallbackRequest {
    CodeToParent code;
    const std::string& quad_char;
    int64_t thread_id;
    const fmx::ExprEnv& environment;
};

// The bridge's central object: the host's parameters, the pipes to the child
// process, the protocol over them and the host objects held for the child.
//
// Threads: any host thread and the bridge's workers may send and wait at
// once. g_output_lock keeps frames to the child whole; g_input_lock
// serialises every read from the child and the pending header, and is always
// taken before g_output_lock. Three leaf locks of the object guard the
// channel state, the set of threads waiting for an answer, and the token
// holders with their token table; none of them is held while another lock is
// taken.
class PipeParent {
public:
    // A handler reads the payload of one callback and returns the work that
    // acts on it, so that a payload is always read whole before anything
    // happens and a failing act leaves the stream in step.
    using PreparedCallback = std::function<CallbackReply()>;
    using CallbackHandler = PreparedCallback (PipeParent::*)(const CallbackRequest&);

    // Amounts the child may ask for; larger or negative ones end the exchange.
    static constexpr int32_t max_text_read_units = StreamUtils::max_unicode_byte_length / 2;
    // Parameters of one SQL statement; a larger count cannot be read on.
    static constexpr int32_t max_sql_parameter_count = 65535;
    // Bytes of a stray message collected for the log after a bad separator.
    static constexpr size_t max_separator_diagnostic_bytes = 4096;
    // Bytes of container data the child may send or ask for in one callback
    // (stream data, a file, an appended piece); larger or negative counts end
    // the exchange before anything is allocated.
    static constexpr int32_t max_container_byte_count = 1 << 30;

    PipeParent();
    ~PipeParent();
    PipeParent(const PipeParent&) = delete;
    PipeParent& operator=(const PipeParent&) = delete;

    // --- Accessors --------------------------------------------------------
    bool is_init() const { return init; }
    void set_init(bool initialised) { init = initialised; }
    bool is_alive() const { return alive; }
    LogManager& log() { return log_manager; }
    std::string get_quad_char() const { return quad_char; }
    PID_T get_child_process_id() const { return child_process_id; }

    static bool is_server(FMX_Application application_type);
    std::string get_application_type_string();

    // --- Pipes --------------------------------------------------------------
    // Takes ownership of the bridge's ends of the child's standard output
    // (read) and standard input (write); close_pipes closes them.
    void attach_child_streams(FILE_PTR read_fp, FILE_PTR write_fp);
    void close_read_pipe();
    void close_write_pipe();
    void close_err_pipe();
    void close_pipes();

    // --- Framing and the response loop ---------------------------------------
    // Writes one whole frame to the child. Throws tobrin_exception, without
    // writing, once the channel is broken, and breaks it when a frame cannot
    // be written whole.
    void send_msg(CodeToChild code_to_child, const std::string& quad_char,
                  const PipeMessageSource& pipe_message_source, int64_t thread_id_for_msg, uint64_t file_id,
                  uint64_t session_id, const fmx::ExprEnv& environment) const;
    // Sends the command and, when a reply is expected, serves the child's
    // callbacks for this thread until its final answer, which is returned.
    // Every failure ends the exchange with a tobrin_exception.
    int32_t send_cmd(CodeToChild code_to_child, const std::string& quad_char,
                     const PipeMessageSource& pipe_message_source, bool expect_result, int64_t thread_id_for_msg,
                     uint64_t file_id, uint64_t session_id, const fmx::ExprEnv& environment);
    // Reads the separator that ends a part of the child's message; throws
    // when it is not 0xFF.
    void consume_separator() const;
    // Serves one callback whose code has been read: its payload and
    // separator, the host operation and the callback_result answer.
    void handle_child_response(CodeToParent response_code, const std::string& quad_char, int64_t thread_id_for_msg,
                               const fmx::ExprEnv& environment);

    // The channel is broken once the child's output has ended, a message
    // cannot be placed, or the stream is out of step; every exchange then
    // ends with an error and nothing more is sent.
    bool is_channel_broken() const;
    void mark_channel_broken(const std::string& reason) const;
    // The thread id of a header read but not yet consumed; 0 when none.
    int64_t get_thread_id_for_last_msg() const;

    // --- Tokens ------------------------------------------------------------
    void clear_fm_type_refs_for_thread(int64_t thread_id);
    void clear_fm_type_refs();
    // The host-owned values of a call (its parameters and result), usable
    // by the child until the call unregisters them.
    TokenTable::CallScopeId register_call_tokens(const std::vector<TypedToken>& tokens);
    void unregister_call_tokens(TokenTable::CallScopeId scope);
    bool is_token_live(TypedToken token) const;

    // RAII form of register_call_tokens / unregister_call_tokens.
    class ScopedCallTokens {
    public:
        ScopedCallTokens(PipeParent& parent, const std::vector<TypedToken>& tokens)
            : parent(parent), scope(parent.register_call_tokens(tokens)) {}
        ~ScopedCallTokens() { parent.unregister_call_tokens(scope); }
        ScopedCallTokens(const ScopedCallTokens&) = delete;
        ScopedCallTokens& operator=(const ScopedCallTokens&) = delete;

    private:
        PipeParent& parent;
        TokenTable::CallScopeId scope;
    };

    // --- Launch of the child ---------------------------------------------------
    // The folder of the marker and logging-properties files. Tests point
    // marker_dir at a scratch folder.
    static constexpr const char* default_marker_dir = "/Ambrix";
    std::string marker_dir = default_marker_dir;

    // Starts the Java child and waits for its start-up token; `alive` tells
    // whether it runs.
    void launch_plugin_process(std::string plugin_name, std::string quad_char, std::string plugin_jar_path,
                               std::string resource_dir_path, std::string user_home_dir, std::string java_bin_path,
                               bool headless, FMInitParams init_params);

    // The start-up handshake's waits: for each stream's result, and for the
    // first byte on each stream. Tests shorten them.
    std::chrono::milliseconds startup_timeout = std::chrono::seconds(30);
    std::chrono::milliseconds startup_first_byte_timeout = std::chrono::seconds(10);
    // The PID record of a launched child goes under orphan_pid_folder, the
    // root that shutdown cleans.

    // --- Log files and levels ----------------------------------------------------
    std::string& get_log_dir();
    std::string get_next_log_file_path(std::string log_file_dir, std::string log_file_name_less_ext);
    bool should_retain_logs();
    std::string get_logging_properties_path();
    Logger::Level get_native_logging_level(const std::string& properties_path);
    void configure_cpp_logging(const std::string& logger_id, std::shared_ptr<Logger> logger);
    void configure_java_logging(const std::string& logger_id, std::shared_ptr<Logger> logger);

    // --- Relay of the child's log statements -------------------------------------
    // Runs until the child's standard error ends or fails.
    void log_std_err();
    std::string get_log_statement(int fd);
    void java_log(const std::string& message, const std::string& quad_char);
    void terminate_logging_thread();

    // --- Log set-up stages and relay control ------------------------------------
    // Where server hosts keep their logs and who owns that folder, where the
    // start-up log goes, and the largest statement the relay keeps whole.
    // Tests point the folders at scratch space and the owner at existing
    // accounts.
    static constexpr const char* default_server_log_dir = "/opt/FileMaker/FileMaker Server/Logs/VelmoraPlugin Logs";
    static constexpr const char* default_server_log_user = "fmserver";
    static constexpr const char* default_server_log_group = "fmsadmin";
    static constexpr const char* default_startup_log_dir = "/tmp";
    static constexpr size_t default_max_log_statement_bytes = 1 << 20;
    // The bridge's own statements: a time-stamp line, then level and text.
    static constexpr const char* native_log_format = "%b %d, %Y %I:%M:%S %p C++ <Native>%n{}: [C++] {}%n";
    std::string server_log_dir = default_server_log_dir;
    std::string server_log_user = default_server_log_user;
    std::string server_log_group = default_server_log_group;
    std::string startup_log_dir = default_startup_log_dir;
    size_t max_log_statement_bytes = default_max_log_statement_bytes;

    // When the object is created: a fresh start-up log in startup_log_dir,
    // made the default logger "temp_" + quad char.
    void open_startup_log(const std::string& manifest_plugin_name, const std::string& plugin_quad_char);
    // During initialisation once the child runs: the permanent log (start-up
    // log copied in, "cpp_" and "java_" loggers) and the relay thread.
    void open_permanent_log();
    // Starts the relay in g_logging_thread; nothing when the child's
    // standard error is not open.
    void start_logging_thread();
    // At shutdown, after terminate_logging_thread: removes the start-up log
    // of an initialised object (a failed one keeps it for diagnosis).
    void delete_startup_log();

private:
    // Ends the relay without closing the stream it reads.
    void stop_logging_thread();
    // Waits until fd has a byte (or its end); throws the relay's shutdown
    // error once a stop is requested and nothing more is waiting.
    void wait_for_log_byte(int fd);

    // Signalled by stop_logging_thread; the rest is the relay thread's own.
    UniqueFd relay_stop_event;
    bool relay_stopping = false;
    size_t relay_bytes_after_stop = 0;

public:
    // --- Re-entry ------------------------------------------------------------------
    // True while the calling thread acts on a child's callback (a host
    // operation such as evaluating an expression). A plug-in function that
    // the host calls from inside such an operation cannot be relayed: the
    // child's side of this thread is waiting for the callback's answer.
    static bool is_serving_callback_on_current_thread();

    // --- Initialisation (PipeParentInit.cpp) ---------------------------------------
    // Starts the child, moves logging to its permanent file and sends the init
    // message; once the child accepts it the plug-in is enabled (65 in the
    // block of the host call being served). A failure leaves -2 there and, when
    // this is the bridge's pipeParent, destroys the object: nothing of it may be
    // used once this returns without is_init().
    void init_plugin(FMInitParams init_params, bool create_logger);

private:
    // Sends the init message and returns the child's answer.
    int32_t send_init_command(const std::string& version_string);

public:
    // --- State ---------------------------------------------------------------
    FMInitParams init_params;
    std::map<std::string, std::string> g_plugin_attributes;
    bool g_has_begun_shutdown = false;
    std::string initial_log_file_path;
    const double pipe_parent_version = 0.75;
    std::chrono::system_clock::time_point init_start_time{};
    bool debug_mode = false;
    LogManager log_manager;

private:
    bool fmNumberHolderInitialized = false;
    bool fmTextHolderInitialized = false;
    bool fmBinaryHolderInitialized = false;
    bool fmBinaryContextHolderInitialized = false;
    bool fmRowVectHolderInitialized = false;
    bool fmDateTimeHolderInitialized = false;
    bool fmQuadCharHolderInitialized = false;
    bool fmLocaleHolderInitialized = false;
    bool fmStyleHolderInitialized = false;
    bool fmColorHolderInitialized = false;
    bool fmDataHolderInitialized = false;

public:
    int32_t parent_read_fd = 0;
    int32_t parent_write_fd = 0;
    int32_t parent_err_fd = 0;
    FILE_PTR parent_read_fp = nullptr;
    int32_t parent_read_fp_ref_ct = 0;
    FILE_PTR parent_write_fp = nullptr;
    int32_t parent_write_fp_ref_ct = 0;
    FILE_PTR parent_err_fp = nullptr;
    int32_t parent_err_fp_ref_ct = 0;
    PID_T child_process_id = 0;

private:
    bool init = false;
    bool alive = false;

public:
    bool window_management_enabled = true;
    std::unordered_map<int64_t, std::unique_ptr<plugin_exception>> last_plugin_exceptions;
    std::string plugin_name;
    std::string quad_char;
    std::string plugin_jar_path;
    std::string resource_dir_path;
    std::string application_type_string;

private:
    // Guarded by g_input_lock.
    int64_t thread_id_for_last_msg = 0;

public:
    std::string user_home_dir;
    std::string log_dir;
    std::string log_file_path;
    std::string java_bin_path;
    std::string dll_path;
    bool headless = false;
    std::map<int16_t, PluginFunction> plugin_functions;

private:
    // Objects created for the child, per exchange thread id; guarded by
    // token_lock together with token_table.
    template <class Holder>
    using ThreadHolder = std::unordered_map<int64_t, std::vector<Holder>>;

    ThreadHolder<fmx::TextUniquePtr> fmTextHolder;
    ThreadHolder<fmx::BinaryDataUniquePtr> fmBinaryHolder;
    ThreadHolder<std::unique_ptr<FMX_UInt32>> fmBinaryContextHolder;
    ThreadHolder<fmx::RowVectUniquePtr> fmRowVectHolder;
    ThreadHolder<fmx::DateTimeUniquePtr> fmDateTimeHolder;
    ThreadHolder<fmx::QuadCharUniquePtr> fmQuadCharHolder;
    ThreadHolder<fmx::LocaleUniquePtr> fmLocaleHolder;
    ThreadHolder<fmx::FixPtUniquePtr> fmNumberHolder;
    ThreadHolder<fmx::CharacterStyleUniquePtr> fmStyleHolder;
    ThreadHolder<fmx::ColorUniquePtr> fmColorHolder;
    ThreadHolder<fmx::DataUniquePtr> fmDataHolder;

public:
    std::string pid_file_path;

private:
    // --- Channel state (leaf lock) ---
    mutable std::mutex channel_state_lock;
    mutable bool channel_broken = false;
    mutable std::string channel_broken_reason;

    // --- Threads with an exchange in progress (leaf lock) ---
    // A thread is listed before its command is sent, so a header for it is
    // recognised even when the child answers before the sender waits.
    mutable std::mutex exchange_registry_lock;
    std::unordered_multiset<int64_t> threads_awaiting_reply;

    // --- Token holders and table (leaf lock) ---
    mutable std::mutex token_lock;
    TokenTable token_table;

    // Response loop helpers (PipeParentResponseLoop.cpp).
    void register_exchange(int64_t thread_id);
    void unregister_exchange(int64_t thread_id);
    bool has_exchange(int64_t thread_id) const;
    int32_t await_reply(int64_t thread_id, const std::string& quad_char, const fmx::ExprEnv& environment);
    std::string channel_broken_message() const;
    void throw_if_channel_broken() const;

    // Code to handler; codes without an entry have no handler.
    static const std::unordered_map<CodeToParent, CallbackHandler>& callback_handlers();

    // Token helpers; the caller holds token_lock.
    bool check_token(const CallbackRequest& request, TypedToken token) const;
    template <class T>
    T* resolve_token(const CallbackRequest& request, Token token, TokenType type) const {
        return check_token(request, TypedToken{token, type}) ? reinterpret_cast<T*>(static_cast<intptr_t>(token))
                                                             : nullptr;
    }
    void add_derived_token(TypedToken owner, TypedToken derived);
    void hold_new_objects(int64_t thread_id, NewHostObjects& objects);
    void release_thread_objects(int64_t thread_id);

    // Data callbacks (PipeParentDataCallbacks.cpp).
    PreparedCallback on_clear_memory(const CallbackRequest& request);
    PreparedCallback on_get_fm_data_as_fm_text(const CallbackRequest& request);
    PreparedCallback on_create_fm_text(const CallbackRequest& request);
    PreparedCallback on_set_string_data(const CallbackRequest& request);
    PreparedCallback on_get_fm_data_as_string(const CallbackRequest& request);
    PreparedCallback on_write_fm_text_to_fm_data(const CallbackRequest& request);
    PreparedCallback on_create_empty_fm_data(const CallbackRequest& request);
    PreparedCallback on_is_empty(const CallbackRequest& request);
    PreparedCallback on_get_text_length(const CallbackRequest& request);
    PreparedCallback on_get_long_data(const CallbackRequest& request);
    PreparedCallback on_get_double_data(const CallbackRequest& request);
    PreparedCallback on_get_native_type(const CallbackRequest& request);
    PreparedCallback on_get_date_time_data_as_seconds(const CallbackRequest& request);
    PreparedCallback on_set_date_time_data(const CallbackRequest& request);
    PreparedCallback on_create_empty_fm_text(const CallbackRequest& request);
    PreparedCallback on_append_bytes_to_fm_text(const CallbackRequest& request);
    PreparedCallback on_append_text(const CallbackRequest& request);
    PreparedCallback on_get_row_vect_size(const CallbackRequest& request);
    PreparedCallback on_get_row_vect_data(const CallbackRequest& request);
    PreparedCallback on_is_row_vect_empty(const CallbackRequest& request);
    PreparedCallback on_get_data_vect_size(const CallbackRequest& request);
    PreparedCallback on_get_data_vect_data(const CallbackRequest& request);
    PreparedCallback on_execute_sql_13(const CallbackRequest& request);
    PreparedCallback on_read_bytes_from_fm_text(const CallbackRequest& request);

    // Container callbacks (PipeParentContainerCallbacks.cpp).
    PreparedCallback on_get_fm_data_as_fm_binary(const CallbackRequest& request);
    PreparedCallback on_get_stream_count(const CallbackRequest& request);
    PreparedCallback on_get_stream_type(const CallbackRequest& request);
    PreparedCallback on_get_stream_data(const CallbackRequest& request);
    PreparedCallback on_add_stream_data(const CallbackRequest& request);
    PreparedCallback on_remove_stream(const CallbackRequest& request);
    PreparedCallback on_get_stream_size(const CallbackRequest& request);
    PreparedCallback on_get_stream_total_size(const CallbackRequest& request);
    PreparedCallback on_create_fm_binary(const CallbackRequest& request);
    PreparedCallback on_add_stream_fnam(const CallbackRequest& request);
    PreparedCallback on_add_stream_size(const CallbackRequest& request);
    PreparedCallback on_write_fm_binary_to_fm_data(const CallbackRequest& request);
    PreparedCallback on_get_stream_fnam(const CallbackRequest& request);
    PreparedCallback on_create_fm_binary_from_file(const CallbackRequest& request);
    PreparedCallback on_create_fm_binary_from_bytes(const CallbackRequest& request);
    PreparedCallback on_create_fm_binary_with_context(const CallbackRequest& request);
    PreparedCallback on_append_fm_binary_with_context(const CallbackRequest& request);
    PreparedCallback on_close_fm_binary_with_context(const CallbackRequest& request);
    // The thread's newest streaming context; throws when it has none. The
    // caller holds token_lock.
    FMX_UInt32 latest_binary_context(const CallbackRequest& request) const;

    // Text-style callbacks (PipeParentStyleCallbacks.cpp).
    PreparedCallback on_create_char_style(const CallbackRequest& request);
    PreparedCallback on_set_face(const CallbackRequest& request);
    PreparedCallback on_set_font_id(const CallbackRequest& request);
    PreparedCallback on_set_font_size(const CallbackRequest& request);
    PreparedCallback on_set_color(const CallbackRequest& request);
    PreparedCallback on_get_face(const CallbackRequest& request);
    PreparedCallback on_get_font_id(const CallbackRequest& request);
    PreparedCallback on_get_font_size(const CallbackRequest& request);
    PreparedCallback on_set_char_style(const CallbackRequest& request);
    PreparedCallback on_get_char_style(const CallbackRequest& request);
    PreparedCallback on_get_default_char_style(const CallbackRequest& request);

    // Host UI and environment callbacks: scripts, calculations and SQL
    // (PipeParentEnvironmentCallbacks.cpp), window and desktop services
    // (PipeParentWindowCallbacks.cpp).
    PreparedCallback on_trigger_script(const CallbackRequest& request);
    PreparedCallback on_evaluate_expression(const CallbackRequest& request);
    PreparedCallback on_execute_sql_11(const CallbackRequest& request);
    PreparedCallback on_on_error(const CallbackRequest& request);
    PreparedCallback on_store_dll_path(const CallbackRequest& request);
    PreparedCallback on_get_manifest_attributes(const CallbackRequest& request);
    PreparedCallback on_bring_app_window_to_front(const CallbackRequest& request);
    PreparedCallback on_bring_process_window_to_front(const CallbackRequest& request);
    PreparedCallback on_set_fm_as_parent_window(const CallbackRequest& request);
    PreparedCallback on_show_file_chooser(const CallbackRequest& request);
    PreparedCallback on_get_fm_window_coordinates(const CallbackRequest& request);
    PreparedCallback on_show_faux_window(const CallbackRequest& request);
    PreparedCallback on_get_active_window_name(const CallbackRequest& request);
    PreparedCallback on_get_fm_window_handle(const CallbackRequest& request);
    PreparedCallback on_enable_fm_window(const CallbackRequest& request);
    PreparedCallback on_disable_fm_window(const CallbackRequest& request);
    PreparedCallback on_disable_window_management(const CallbackRequest& request);
    PreparedCallback on_register_scroll_event(const CallbackRequest& request);
    // Refuses, before any lock is taken, a command or message from a thread
    // that is acting on a callback: its exchange is waiting for that
    // callback's answer, and the locks it would wait on are its own.
    static void throw_if_serving_callback();

public:
    // --- Plug-in functions, script steps and shutdown ------------------------------
    // (PipeParentRegistration.cpp, PipeParentFunctionCall.cpp,
    // PipeParentShutdown.cpp; the host's entry do_function is declared in
    // PipeParentFunctionCall.h.)

    // How long shutdown waits for the child's answer to its shutdown message.
    static constexpr std::chrono::milliseconds shutdown_answer_wait{1000};
    // The root of the PID records that shutdown cleans of dead hosts' entries.
    // Tests point it at a scratch folder.
    std::string orphan_pid_folder = ProcessUtils::get_pid_folder();

    // Records a function or script step; an id already recorded keeps its
    // first record (false then).
    bool record_plugin_function(const PluginFunction& function);
    std::optional<PluginFunction> find_plugin_function(int16_t id) const;
    // Withdraws every recorded function and script step from the host; the
    // records stay.
    void unregister_all_functions();
    // Empties the error the child last reported for the thread; the entry stays.
    void drop_last_plugin_exception(int64_t thread_id);

private:
    // Guards plugin_functions: callbacks of any exchange record entries while
    // host threads look them up. A leaf lock.
    mutable std::mutex plugin_functions_lock;

    // Registration callbacks (PipeParentRegistration.cpp).
    PreparedCallback on_unregister_function(const CallbackRequest& request);
    PreparedCallback on_register_function(const CallbackRequest& request);
    PreparedCallback on_unregister_script_step(const CallbackRequest& request);
    PreparedCallback on_register_script_step(const CallbackRequest& request);

    // Steps of shutdown (PipeParentShutdown.cpp).
    void shut_down_child();
    void end_child_of_failed_init();
    void abandon_unanswered_shutdown();
    void close_write_pipe_if_idle();
    void delete_orphaned_pid_records();
    void kill_child() noexcept;
    void release_remaining_resources() noexcept;

    // The clipboard codes 6-8 and unused (79) have no handler on this
    // platform.
};

}  // namespace corvane
