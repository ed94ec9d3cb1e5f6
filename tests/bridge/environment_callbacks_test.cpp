#include <fmt/format.h>
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BridgeFixture.h"
#include "FMUtils.h"
#include "hostsdk/Host.h"
#include "util/lin/FileUtils.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

// The host with its scripts and files as a test leaves them; back to a new
// host afterwards.
class ScopedHost {
public:
    ScopedHost() { host().reset(); }
    ~ScopedHost() { host().reset(); }
    ScopedHost(const ScopedHost&) = delete;
    ScopedHost& operator=(const ScopedHost&) = delete;

    static hostsim::Host& host() { return hostsim::Host::instance(); }
};

// A bridge with one exchange in progress on thread 5, whose host can start
// scripts.
class EnvironmentCallbackTest : public BridgeTest {
protected:
    void SetUp() override {
        parent.init_params.c_start_script = hostsim::Host::start_script_entry();
        exchange = std::make_unique<Exchange>(parent, child, thread_5);
        expect_command(thread_5);
    }
    void TearDown() override {
        if (exchange) finish_exchange();
    }
    void finish_exchange(int32_t result = 0) {
        child.write(Wire().finished(thread_5, result));
        EXPECT_EQ(exchange->get(), result);
        exchange.reset();
    }

    int64_t answer_int64(CodeToParent code, const Wire& payload = Wire()) {
        callback(thread_5, code, payload);
        const int64_t value = child.i64();
        child.expect_separator();
        return value;
    }
    int32_t answer_int32(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        const int32_t value = child.i32();
        child.expect_separator();
        return value;
    }
    std::u16string data_as_string(int64_t token) {
        callback(thread_5, CodeToParent::get_fm_data_as_string, Wire().i64(token));
        const std::u16string text = child.text();
        child.expect_separator();
        return text;
    }
    bool is_empty(int64_t token) {
        callback(thread_5, CodeToParent::is_empty, Wire().i64(token));
        const bool empty = child.byte() != 0;
        child.expect_separator();
        return empty;
    }
    int64_t create_text_data(const std::u16string& units) {
        const int64_t data = answer_int64(CodeToParent::create_empty_fm_data);
        callback(thread_5, CodeToParent::set_string_data, Wire().i64(data).text(units));
        child.expect_separator();
        return data;
    }
    // An answer of an int16 host error and a token.
    std::pair<int16_t, int64_t> error_and_token(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        const int16_t error = child.i16();
        const int64_t token = child.i64();
        child.expect_separator();
        return {error, token};
    }

    ScopedHost host;
    std::unique_ptr<Exchange> exchange;
};

TEST_F(EnvironmentCallbackTest, TriggerScriptRunsTheHostsStartScriptEntry) {
    ScopedHost::host().declare_script("Report");
    const int64_t parameter = create_text_data(u"for May");
    struct Case {
        const char16_t* script;
        int32_t settings;
        int64_t parameter_token;
        int16_t error;
        bool triggered;
        FMX_ScriptControl control;
        bool has_parameter;
    };
    const std::vector<Case> cases = {
        // Only the low 8 bits of the settings are the host's control value.
        {u"Report", 0x102, 0, 0, true, 2, false},
        {u"report", 0x003, parameter, 0, true, 3, true},
        {u"Missing", 0, 0, fmx::kErrScriptMissing, false, 0, false},
        // A parameter that names no live value runs nothing.
        {u"Report", 0, 0x7F00DEADBEE0, fmx::kErrInvalidArgument, false, 0, false},
    };
    for (const Case& c : cases) {
        ScopedHost::host().clear_triggered_scripts();
        callback(thread_5, CodeToParent::trigger_script,
                 Wire().text(u"Sales").text(c.script).i32(c.settings).i64(c.parameter_token));
        EXPECT_EQ(child.i16(), c.error) << c.settings;
        child.expect_separator();

        const auto runs = ScopedHost::host().triggered_scripts();
        ASSERT_EQ(runs.size(), c.triggered ? 1u : 0u) << c.settings;
        if (!c.triggered) continue;
        EXPECT_EQ(runs[0].file, "Sales");
        EXPECT_EQ(runs[0].script, utf16_to_utf8_string(c.script));
        EXPECT_EQ(runs[0].control, c.control);
        EXPECT_EQ(runs[0].has_parameter, c.has_parameter);
        EXPECT_EQ(runs[0].parameter, c.has_parameter ? "for May" : "");
    }
    EXPECT_TRUE(log.contains(
        fmt::format("Invalid token {:d} for fmx::Data in CodeToParent::trigger_script on thread 5", 0x7F00DEADBEE0)));
}

TEST_F(EnvironmentCallbackTest, TriggerScriptWithoutAHostEntryAnswersAnError) {
    finish_exchange();
    parent.init_params.c_start_script = nullptr;
    ScopedHost::host().declare_script("Report");
    exchange = std::make_unique<Exchange>(parent, child, thread_5);
    expect_command(thread_5);

    callback(thread_5, CodeToParent::trigger_script, Wire().text(u"Sales").text(u"Report").i32(0).i64(0));
    EXPECT_EQ(child.i16(), fmx::kErrGeneric);
    child.expect_separator();
    EXPECT_TRUE(ScopedHost::host().triggered_scripts().empty());
    EXPECT_TRUE(log.contains("script Report in file Sales was not triggered"));
}

TEST_F(EnvironmentCallbackTest, EvaluateExpressionAnswersTheHostsErrorAndAHeldValue) {
    struct Case {
        std::u16string expression;
        int16_t error;
        std::u16string value;
    };
    const std::vector<Case> cases = {
        {u"1 + 2", 0, u"3"},
        {u"Upper(\"ab\") & \"\u00e9\"", 0, u"AB\u00e9"},
        {u"1 +", 1203, u""},
        {u"NoSuchFunction(1)", 1208, u""},
    };
    for (const Case& c : cases) {
        const auto [error, token] = error_and_token(CodeToParent::evaluate_expression, Wire().text(c.expression));
        EXPECT_EQ(error, c.error) << utf16_to_utf8_string(c.expression);
        // The value is held for the thread whether or not the host failed:
        // a dead token would be answered "not empty".
        EXPECT_EQ(is_empty(token), c.value.empty());
        EXPECT_EQ(data_as_string(token), c.value);
    }
    EXPECT_TRUE(log.contains("About to evaluate expression"));
    EXPECT_TRUE(log.contains("Expression: 1 + 2"));
}

// A host file with a small table, attached as "Stock".
class HostFile {
public:
    HostFile() : path(FileUtils::get_temporary_file_path("bridge_sql11_", ".sqlite", "/tmp")) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "CREATE TABLE items(name TEXT, qty INTEGER);"
                               "INSERT INTO items VALUES ('a', 1), ('b', 2), ('c', 3);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        hostsim::Host::instance().attach_file("Stock", path);
    }
    ~HostFile() { std::remove(path.c_str()); }
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    const std::string path;
};

TEST_F(EnvironmentCallbackTest, ExecuteSql11AnswersRowsReadThroughTheVectorCallbacks) {
    const HostFile file;
    const std::u16string query = u"SELECT name, qty FROM items WHERE qty > ? AND name <> ? ORDER BY qty";
    const auto [error, rows] =
        error_and_token(CodeToParent::execute_sql_11, Wire().text(query).text(u"Stock").i32(2).text(u"0").text(u"b"));
    ASSERT_EQ(error, 0);
    ASSERT_EQ(answer_int32(CodeToParent::get_row_vect_size, Wire().i64(rows)), 2);

    const std::vector<std::pair<std::u16string, int64_t>> expected = {{u"a", 1}, {u"c", 3}};
    for (int32_t r = 0; r < 2; ++r) {
        const int64_t row = answer_int64(CodeToParent::get_row_vect_data, Wire().i64(rows).i32(r));
        EXPECT_EQ(answer_int32(CodeToParent::get_data_vect_size, Wire().i64(row)), 2);
        const int64_t name = answer_int64(CodeToParent::get_data_vect_data, Wire().i64(row).i32(0));
        const int64_t qty = answer_int64(CodeToParent::get_data_vect_data, Wire().i64(row).i32(1));
        EXPECT_EQ(data_as_string(name), expected[r].first);
        EXPECT_EQ(answer_int64(CodeToParent::get_long_data, Wire().i64(qty)), expected[r].second);
    }
    EXPECT_TRUE(log.contains("Sql: SELECT name, qty FROM items"));
    EXPECT_TRUE(log.contains("File name: Stock"));
}

TEST_F(EnvironmentCallbackTest, ExecuteSql11FailuresAnswerTheErrorAndAnEmptyHeldResult) {
    const HostFile file;
    struct Case {
        std::u16string sql;
        std::u16string file_name;
        int16_t error;
    };
    const std::vector<Case> cases = {
        {u"SELECT name FROM items", u"Nowhere", fmx::kErrFileMissing},
        {u"SELECT nothing FROM nowhere", u"Stock", fmx::kErrSQL},
    };
    for (const Case& c : cases) {
        const auto [error, rows] =
            error_and_token(CodeToParent::execute_sql_11, Wire().text(c.sql).text(c.file_name).i32(0));
        EXPECT_EQ(error, c.error);
        callback(thread_5, CodeToParent::is_row_vect_empty, Wire().i64(rows));
        EXPECT_EQ(child.byte(), 1);
        child.expect_separator();
        EXPECT_TRUE(log.contains(fmt::format("An error occurred during ExecuteFileSQL: {:d}", c.error)));
    }
}

// A zip archive holding the given entries, written with minizip; removed
// with the object.
class ScratchArchive {
public:
    using Entries = std::map<std::string, std::string>;
    explicit ScratchArchive(const Entries& entries)
        : path(FileUtils::get_temporary_file_path("bridge_manifest_", ".jar", "/tmp")) {
        zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
        if (zip == nullptr) {
            ADD_FAILURE() << "cannot create " << path;
            return;
        }
        for (const auto& [entry, content] : entries) {
            EXPECT_EQ(zipOpenNewFileInZip(zip, entry.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                          Z_DEFAULT_COMPRESSION),
                      ZIP_OK);
            EXPECT_EQ(zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())), ZIP_OK);
            EXPECT_EQ(zipCloseFileInZip(zip), ZIP_OK);
        }
        EXPECT_EQ(zipClose(zip, nullptr), ZIP_OK);
    }
    ~ScratchArchive() { std::remove(path.c_str()); }
    ScratchArchive(const ScratchArchive&) = delete;
    ScratchArchive& operator=(const ScratchArchive&) = delete;

    const std::string path;
};

TEST_F(EnvironmentCallbackTest, ManifestAttributesInAscendingNameOrder) {
    using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;
    const ScratchArchive plugin(
        ScratchArchive::Entries{{"META-INF/MANIFEST.MF",
                                 "Manifest-Version: 1.0\r\nplugin-options: AbcdYnn\r\nplugin-name: D\xc3\xa9mo\r\n"
                                 "Created-By: 17\r\n\r\n"},
                                {"a.txt", "x"}});
    const ScratchArchive without_attributes(ScratchArchive::Entries{{"META-INF/MANIFEST.MF", "\r\n"}});
    const ScratchArchive without_manifest(ScratchArchive::Entries{{"a.txt", "x"}});
    struct Case {
        std::string archive;
        Attributes expected;
    };
    const std::vector<Case> cases = {
        {plugin.path,
         {{u"Created-By", u"17"},
          {u"Manifest-Version", u"1.0"},
          {u"plugin-name", u"D\u00e9mo"},
          {u"plugin-options", u"AbcdYnn"}}},
        {without_attributes.path, {}},
        {without_manifest.path, {}},
        {plugin.path + ".missing", {}},
    };
    for (const Case& c : cases) {
        callback(thread_5, CodeToParent::get_manifest_attributes, Wire().text(utf8_to_utf16_string(c.archive)));
        Attributes answered(static_cast<size_t>(child.i32()));
        for (auto& [name, value] : answered) {
            name = child.text();
            value = child.text();
        }
        child.expect_separator();
        EXPECT_EQ(answered, c.expected) << c.archive;
    }
}

TEST_F(EnvironmentCallbackTest, OnErrorKeepsTheThreadsLastErrorAndStoreDllPathTheLastPath) {
    callback(thread_5, CodeToParent::on_error, Wire().text(u"first").i32(plugin_exception::SEVERE).byte(0));
    child.expect_separator();
    // Any non-zero byte means expired.
    callback(thread_5, CodeToParent::on_error, Wire().text(u"second \u00e9").i32(plugin_exception::WARNING).byte(7));
    child.expect_separator();
    callback(thread_5, CodeToParent::store_dll_path, Wire().text(u"/opt/plug-ins/\u00e9/bridge.so"));
    child.expect_separator();
    // The bridge's records are read once the exchange is over.
    finish_exchange();

    ASSERT_EQ(parent.last_plugin_exceptions.size(), 1u);
    const plugin_exception& error = *parent.last_plugin_exceptions.at(thread_5);
    EXPECT_EQ(error.msg, "second \xc3\xa9");
    EXPECT_EQ(error.get_error_level(), plugin_exception::WARNING);
    EXPECT_TRUE(error.is_expired);
    EXPECT_EQ(parent.dll_path, "/opt/plug-ins/\xc3\xa9/bridge.so");
}

// --- Re-entry: the host calls a plug-in function of this bridge while the
// bridge acts on a callback on the same thread.

struct ReentryObservation {
    bool serving = false;
    std::string refusal;
    std::chrono::steady_clock::duration refusal_took{};
};

std::atomic<PipeParent*> reentry_bridge{nullptr};
std::atomic<ReentryObservation*> reentry_observation{nullptr};

// Stands in for the bridge's function entry: it tries to relay the call.
FMX_ErrorCode relaying_entry(FMX_Int16, const fmx::ExprEnv& environment, const fmx::DataVect&, fmx::Data&) {
    ReentryObservation& seen = *reentry_observation.load();
    seen.serving = PipeParent::is_serving_callback_on_current_thread();
    const auto start = std::chrono::steady_clock::now();
    try {
        reentry_bridge.load()->send_cmd(CodeToChild::do_function, "Abcd", PipeMessageSource(), true, 0, 0, 0,
                                        environment);
    } catch (const tobrin_exception& e) {
        seen.refusal = e.what();
    }
    seen.refusal_took = std::chrono::steady_clock::now() - start;
    return fmx::kErrGeneric;
}

TEST_F(EnvironmentCallbackTest, APluginFunctionCalledWhileServingACallbackIsRefusedAtOnce) {
    ReentryObservation seen;
    reentry_bridge = &parent;
    reentry_observation = &seen;
    ASSERT_EQ(ScopedHost::host().register_function(
                  {fmx::QuadChar("Abcd"), 1, "Relay", "Relay(x)", "", 1, 1, 0, &relaying_entry}),
              0);
    EXPECT_FALSE(PipeParent::is_serving_callback_on_current_thread());

    const auto [error, token] = error_and_token(CodeToParent::evaluate_expression, Wire().text(u"Relay(1) + 1"));
    EXPECT_EQ(error, fmx::kErrGeneric);
    EXPECT_TRUE(is_empty(token));
    // The refused call sent nothing: the only frame was the answer.
    EXPECT_TRUE(child.nothing_sent());
    // The exchange goes on and ends, and the next one runs.
    const auto [next_error, next_token] = error_and_token(CodeToParent::evaluate_expression, Wire().text(u"2 * 3"));
    EXPECT_EQ(next_error, 0);
    EXPECT_EQ(data_as_string(next_token), u"6");
    finish_exchange(7);
    exchange = std::make_unique<Exchange>(parent, child, thread_5);
    expect_command(thread_5);
    finish_exchange(8);

    EXPECT_TRUE(seen.serving);
    EXPECT_EQ(seen.refusal,
              "A plug-in function cannot be called while the same thread serves a callback of the plug-in");
    EXPECT_LT(seen.refusal_took, std::chrono::seconds(1));
    EXPECT_FALSE(parent.is_channel_broken());
    reentry_bridge = nullptr;
    reentry_observation = nullptr;
}

}  // namespace
}  // namespace testing
}  // namespace corvane
