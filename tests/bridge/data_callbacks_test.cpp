#include <gtest/gtest.h>
#include <fmt/format.h>
#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BridgeFixture.h"
#include "hostsdk/Host.h"
#include "util/lin/FileUtils.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

// A bridge with one exchange in progress on thread 5.
class DataCallbackTest : public BridgeTest {
protected:
    void SetUp() override {
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

    int64_t create_text(const std::u16string& units, int64_t thread_id = thread_5) {
        callback(thread_id, CodeToParent::create_fm_text, Wire().text(units));
        const int64_t token = child.i64();
        child.expect_separator();
        return token;
    }
    int64_t create_data() {
        callback(thread_5, CodeToParent::create_empty_fm_data);
        const int64_t token = child.i64();
        child.expect_separator();
        return token;
    }
    int32_t text_length(int64_t token, int64_t thread_id = thread_5) {
        callback(thread_id, CodeToParent::get_text_length, Wire().i64(token));
        const int32_t length = child.i32();
        child.expect_separator();
        return length;
    }
    std::u16string data_as_string(int64_t token) {
        callback(thread_5, CodeToParent::get_fm_data_as_string, Wire().i64(token));
        const std::u16string text = child.text();
        child.expect_separator();
        return text;
    }
    int64_t answer_int64(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        const int64_t value = child.i64();
        child.expect_separator();
        return value;
    }

    std::unique_ptr<Exchange> exchange;
};

TEST_F(DataCallbackTest, TextRoundTripThroughTheCallsResultValue) {
    fmx::Data result;
    const PipeParent::ScopedCallTokens call(parent, {{token_of(result), TokenType::data}});

    const int64_t text = create_text(u"h\u00e9");
    EXPECT_EQ(text_length(text), 2);
    callback(thread_5, CodeToParent::write_fm_text_to_fm_data, Wire().i64(text).i64(token_of(result)));
    child.expect_separator();
    EXPECT_EQ(data_as_string(token_of(result)), u"h\u00e9");
    // The host sees the value once the call is over.
    finish_exchange();
    EXPECT_EQ(result.GetAsText().GetUTF8(), "h\xc3\xa9");
    EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTText);
}

TEST_F(DataCallbackTest, NumbersTravelAsBigEndianInt64) {
    fmx::Data minus_one;
    minus_one.SetAsNumber(fmx::FixPt(-1));
    fmx::Data one_and_a_half;
    fmx::FixPt number;
    number.AssignDouble(1.5);
    one_and_a_half.SetAsNumber(number);
    const PipeParent::ScopedCallTokens call(
        parent, {{token_of(minus_one), TokenType::data}, {token_of(one_and_a_half), TokenType::data}});

    callback(thread_5, CodeToParent::get_long_data, Wire().i64(token_of(minus_one)));
    EXPECT_EQ(child.read(8), Bytes(8, 0xFF));
    child.expect_separator();
    callback(thread_5, CodeToParent::get_double_data, Wire().i64(token_of(one_and_a_half)));
    EXPECT_EQ(child.read(8), (Bytes{0x3F, 0xF8, 0, 0, 0, 0, 0, 0}));
    child.expect_separator();
    callback(thread_5, CodeToParent::get_native_type, Wire().i64(token_of(minus_one)));
    EXPECT_EQ(child.i32(), fmx::Data::kDTNumber);
    child.expect_separator();
}

// Days since 1/1/1970 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

TEST_F(DataCallbackTest, TimestampsAsSecondsSinceTheHostsEpoch) {
    const int64_t empty = create_data();
    EXPECT_EQ(answer_int64(CodeToParent::get_date_time_data_as_seconds, Wire().i64(empty)), 0);

    const int64_t stamped = create_data();
    callback(thread_5, CodeToParent::set_date_time_data,
             Wire().i64(stamped).i32(2024).i32(2).i32(29).i32(13).i32(14).i32(15));
    child.expect_separator();
    // Day 1 is 1/1/1.
    const int64_t day = days_from_civil(2024, 2, 29) - days_from_civil(1, 1, 1) + 1;
    EXPECT_EQ(answer_int64(CodeToParent::get_date_time_data_as_seconds, Wire().i64(stamped)),
              day * 86400 + 13 * 3600 + 14 * 60 + 15);
    callback(thread_5, CodeToParent::get_native_type, Wire().i64(stamped));
    EXPECT_EQ(child.i32(), fmx::Data::kDTTimeStamp);
    child.expect_separator();
}

TEST_F(DataCallbackTest, ReadBytesPastTheEndLeavesZeroUnits) {
    const int64_t text = create_text(u"ab");
    callback(thread_5, CodeToParent::read_bytes_from_fm_text, Wire().i64(text).i32(1).i32(3));
    EXPECT_EQ(child.i32(), 6);
    EXPECT_EQ(child.read(6), (Bytes{'b', 0, 0, 0, 0, 0}));
    child.expect_separator();
}

TEST_F(DataCallbackTest, TextsAreBuiltByAppending) {
    const int64_t text = answer_int64(CodeToParent::create_empty_fm_text, Wire());
    callback(thread_5, CodeToParent::append_bytes_to_fm_text, Wire().i64(text).text(u"ab"));
    child.expect_separator();
    callback(thread_5, CodeToParent::append_text, Wire().i64(text).i64(text));
    child.expect_separator();
    EXPECT_EQ(text_length(text), 4);

    const int64_t data = create_data();
    callback(thread_5, CodeToParent::set_string_data, Wire().i64(data).text(u"xyz"));
    child.expect_separator();
    const int64_t inner = answer_int64(CodeToParent::get_fm_data_as_fm_text, Wire().i64(data));
    callback(thread_5, CodeToParent::append_text, Wire().i64(inner).i64(text));
    child.expect_separator();
    EXPECT_EQ(data_as_string(data), u"xyzabab");
    callback(thread_5, CodeToParent::is_empty, Wire().i64(data));
    EXPECT_EQ(child.byte(), 0);
    child.expect_separator();
}

TEST_F(DataCallbackTest, ClearMemoryReleasesOnlyItsThreadsObjects) {
    const int64_t text = create_text(u"hi");
    finish_exchange();

    // Another thread's clear_memory leaves thread 5's objects alone.
    {
        Exchange nine(parent, child, 9);
        expect_command(9);
        callback(9, CodeToParent::clear_memory);
        child.expect_separator();
        EXPECT_EQ(text_length(text, 9), 2);
        child.write(Wire().finished(9, 0));
        EXPECT_EQ(nine.get(), 0);
    }
    // Its own releases them: the token is dead and answered neutrally.
    exchange = std::make_unique<Exchange>(parent, child, thread_5);
    expect_command(thread_5);
    callback(thread_5, CodeToParent::clear_memory);
    child.expect_separator();
    EXPECT_FALSE(parent.is_token_live({text, TokenType::text}));
    EXPECT_EQ(text_length(text), 0);
    EXPECT_TRUE(log.contains(fmt::format("Invalid token {:d} for fmx::Text in CodeToParent::get_text_length on thread 5",
                                         text)));
    // A thread without objects clears nothing.
    callback(thread_5, CodeToParent::clear_memory);
    child.expect_separator();
}

// A host file with a small table.
class HostFile {
public:
    HostFile() : path(FileUtils::get_temporary_file_path("bridge_sql_", ".sqlite", "/tmp")) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "CREATE TABLE items(name TEXT, qty INTEGER);"
                               "INSERT INTO items VALUES ('a', 1), ('b', 2), ('c', 3);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        hostsim::Host::instance().reset();
        hostsim::Host::instance().attach_file("Stock", path);
    }
    ~HostFile() {
        hostsim::Host::instance().reset();
        std::remove(path.c_str());
    }
    const std::string path;
};

TEST_F(DataCallbackTest, ExecuteSqlWithATextResult) {
    const HostFile file;
    const std::u16string query = u"SELECT name, qty FROM items WHERE qty > ? ORDER BY qty";
    callback(thread_5, CodeToParent::execute_sql_13,
             Wire().text(query).text(u"Stock").i16(',').i16('\n').i32(1).text(u"1"));
    EXPECT_EQ(child.i16(), 0);
    const int64_t result = child.i64();
    child.expect_separator();
    EXPECT_EQ(data_as_string(result), u"b,2\nc,3");

    callback(thread_5, CodeToParent::execute_sql_13, Wire().text(query).text(u"Nowhere").i16(',').i16('\n').i32(0));
    EXPECT_EQ(child.i16(), fmx::kErrFileMissing);
    const int64_t empty_result = child.i64();
    child.expect_separator();
    // The result is held even so: a live, empty value.
    callback(thread_5, CodeToParent::is_empty, Wire().i64(empty_result));
    EXPECT_EQ(child.byte(), 1);
    child.expect_separator();
}

TEST_F(DataCallbackTest, RowsAndItemsOfAResultAndTheirScope) {
    const HostFile file;
    fmx::RowVect rows;
    ASSERT_EQ(fmx::ExprEnv(0, 0).ExecuteFileSQL(fmx::Text("SELECT name, qty FROM items WHERE qty > 1"),
                                                 fmx::Text("Stock"), fmx::DataVect(), rows),
              0);
    auto call = std::make_unique<PipeParent::ScopedCallTokens>(
        parent, std::vector<TypedToken>{{token_of(rows), TokenType::row_vect}});

    callback(thread_5, CodeToParent::get_row_vect_size, Wire().i64(token_of(rows)));
    EXPECT_EQ(child.i32(), 2);
    child.expect_separator();
    callback(thread_5, CodeToParent::is_row_vect_empty, Wire().i64(token_of(rows)));
    EXPECT_EQ(child.byte(), 0);
    child.expect_separator();
    const int64_t row = answer_int64(CodeToParent::get_row_vect_data, Wire().i64(token_of(rows)).i32(1));
    callback(thread_5, CodeToParent::get_data_vect_size, Wire().i64(row));
    EXPECT_EQ(child.i32(), 2);
    child.expect_separator();
    const int64_t item = answer_int64(CodeToParent::get_data_vect_data, Wire().i64(row).i32(0));
    EXPECT_EQ(data_as_string(item), u"c");
    const int64_t inner_text = answer_int64(CodeToParent::get_fm_data_as_fm_text, Wire().i64(item));
    EXPECT_EQ(text_length(inner_text), 1);

    // What was reached through the call's values ends with the call.
    call.reset();
    for (TypedToken token : {TypedToken{row, TokenType::data_vect}, TypedToken{item, TokenType::data},
                             TypedToken{inner_text, TokenType::text}})
        EXPECT_FALSE(parent.is_token_live(token)) << token_type_name(token.type);
    EXPECT_EQ(data_as_string(item), u"");
}

TEST_F(DataCallbackTest, ForgedTokensGetNeutralAnswersAndTheExchangeGoesOn) {
    struct Case {
        CodeToParent code;
        TokenType expected;  // what the callback wants in its first token
        std::function<Wire(int64_t)> payload;
        Bytes answer;  // the neutral body
    };
    const Bytes int32_zero(4, 0);
    const Bytes int64_zero(8, 0);
    const Bytes empty_text(4, 0);
    const auto token_only = [](int64_t token) { return Wire().i64(token); };
    const std::vector<Case> cases = {
        {CodeToParent::get_fm_data_as_fm_text, TokenType::data, token_only, int64_zero},
        {CodeToParent::set_string_data, TokenType::data, [](int64_t t) { return Wire().i64(t).text(u"x"); }, {}},
        {CodeToParent::get_fm_data_as_string, TokenType::data, token_only, empty_text},
        {CodeToParent::write_fm_text_to_fm_data, TokenType::text, [](int64_t t) { return Wire().i64(t).i64(t); }, {}},
        {CodeToParent::is_empty, TokenType::data, token_only, {0}},
        {CodeToParent::get_text_length, TokenType::text, token_only, int32_zero},
        {CodeToParent::get_long_data, TokenType::data, token_only, int64_zero},
        {CodeToParent::get_double_data, TokenType::data, token_only, int64_zero},
        {CodeToParent::get_native_type, TokenType::data, token_only, int32_zero},
        {CodeToParent::get_date_time_data_as_seconds, TokenType::data, token_only, int64_zero},
        {CodeToParent::set_date_time_data, TokenType::data,
         [](int64_t t) { return Wire().i64(t).i32(2024).i32(1).i32(1).i32(0).i32(0).i32(0); }, {}},
        {CodeToParent::append_bytes_to_fm_text, TokenType::text, [](int64_t t) { return Wire().i64(t).text(u"x"); },
         {}},
        {CodeToParent::append_text, TokenType::text, [](int64_t t) { return Wire().i64(t).i64(t); }, {}},
        {CodeToParent::get_row_vect_size, TokenType::row_vect, token_only, int32_zero},
        {CodeToParent::get_row_vect_data, TokenType::row_vect, [](int64_t t) { return Wire().i64(t).i32(0); },
         int64_zero},
        {CodeToParent::is_row_vect_empty, TokenType::row_vect, token_only, {0}},
        {CodeToParent::get_data_vect_size, TokenType::data_vect, token_only, int32_zero},
        {CodeToParent::get_data_vect_data, TokenType::data_vect, [](int64_t t) { return Wire().i64(t).i32(0); },
         int64_zero},
        {CodeToParent::read_bytes_from_fm_text, TokenType::text, [](int64_t t) { return Wire().i64(t).i32(0).i32(3); },
         empty_text},
    };
    // Live objects of the wrong type are as unusable as made-up addresses.
    const int64_t live_text = create_text(u"t");
    const int64_t live_data = create_data();
    for (const Case& c : cases) {
        const int64_t wrong_type = c.expected == TokenType::data ? live_text : live_data;
        for (int64_t forged : {int64_t{0x7F00DEADBEE0}, int64_t{0}, int64_t{-8}, wrong_type}) {
            callback(thread_5, c.code, c.payload(forged));
            EXPECT_EQ(child.read(c.answer.size()), c.answer) << to_string(c.code);
            child.expect_separator();
            EXPECT_TRUE(log.contains(fmt::format("Invalid token {:d} for {} in {} on thread 5", forged,
                                                 token_type_name(c.expected), to_string(c.code))))
                << to_string(c.code) << " " << forged;
        }
    }
    EXPECT_EQ(text_length(live_text), 1);
    EXPECT_EQ(data_as_string(live_data), u"");
}

TEST_F(DataCallbackTest, AbsurdAmountsAndIndexesEndTheExchangeInStep) {
    const int64_t text = create_text(u"ab");
    fmx::RowVect two_rows;
    two_rows.PushBack(fmx::DataVect());
    two_rows.PushBack(fmx::DataVect());
    const PipeParent::ScopedCallTokens call(parent, {{token_of(two_rows), TokenType::row_vect}});
    finish_exchange();

    struct Case {
        CodeToParent code;
        Wire payload;
        std::string error;
    };
    const std::vector<Case> cases = {
        {CodeToParent::read_bytes_from_fm_text, Wire().i64(text).i32(0).i32(-1),
         "Invalid amount -1 for reading from a text (at most 134217728 units)"},
        {CodeToParent::read_bytes_from_fm_text, Wire().i64(text).i32(0).i32(0x7FFFFFFF),
         "Invalid amount 2147483647 for reading from a text (at most 134217728 units)"},
        {CodeToParent::read_bytes_from_fm_text, Wire().i64(text).i32(-1).i32(1),
         "Invalid offset -1 for reading from a text"},
        {CodeToParent::get_row_vect_data, Wire().i64(token_of(two_rows)).i32(2),
         "Index 2 is out of range for a row vector of 2 entries"},
        {CodeToParent::get_row_vect_data, Wire().i64(token_of(two_rows)).i32(-1),
         "Index -1 is out of range for a row vector of 2 entries"},
    };
    for (const Case& c : cases) {
        Exchange failing(parent, child, thread_5);
        expect_command(thread_5);
        child.write(Wire().message(thread_5, c.code).raw(c.payload.bytes).sep());
        EXPECT_EQ(failing.error(), c.error);
        EXPECT_FALSE(parent.is_channel_broken());
    }
    // Still in step: the next exchange works and the objects are still there.
    exchange = std::make_unique<Exchange>(parent, child, thread_5);
    expect_command(thread_5);
    EXPECT_EQ(text_length(text), 2);
}

TEST(DataCallbackFraming, CountsThatCannotBeReadOnBreakTheChannel) {
    struct Case {
        CodeToParent code;
        Wire payload;
        std::string error;
    };
    const std::vector<Case> cases = {
        {CodeToParent::create_fm_text, Wire().i32(-4), "Invalid unicode byte length -4 from child process"},
        {CodeToParent::execute_sql_13, Wire().text(u"SELECT 1").text(u"").i16(',').i16('\n').i32(-1),
         "Invalid SQL parameter count -1 from child process (at most 65535)"},
        {CodeToParent::execute_sql_13, Wire().text(u"SELECT 1").text(u"").i16(',').i16('\n').i32(1 << 30),
         "Invalid SQL parameter count 1073741824 from child process (at most 65535)"},
    };
    for (const Case& c : cases) {
        ScopedTestLog log;
        PipeParent parent;
        FakeChild child(parent);
        Exchange exchange(parent, child, thread_5);
        child.read_frame();
        child.expect_separator();
        child.write(Wire().message(thread_5, c.code).raw(c.payload.bytes).sep());
        EXPECT_EQ(exchange.error(), c.error);
        EXPECT_TRUE(parent.is_channel_broken());
    }
}

}  // namespace
}  // namespace testing
}  // namespace corvane
