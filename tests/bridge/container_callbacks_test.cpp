#include <gtest/gtest.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BridgeFixture.h"
#include "FMUtils.h"
#include "util/lin/FileUtils.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Raw bytes as the child sends them: a count, then the bytes.
Wire counted(const Bytes& bytes) { return Wire().i32(static_cast<int32_t>(bytes.size())).raw(bytes); }

// A container's streams as (type, bytes) pairs.
using Streams = std::vector<std::pair<std::string, std::string>>;

Streams streams_of(const fmx::BinaryData& container) {
    Streams streams;
    for (FMX_Int32 i = 0; i < container.GetCount(); ++i) {
        fmx::QuadChar type;
        container.GetType(i, type);
        std::string bytes(container.GetSize(i), '\0');
        container.GetData(i, 0, static_cast<FMX_UInt32>(bytes.size()), &bytes[0]);
        streams.emplace_back(type.AsString(), bytes);
    }
    return streams;
}


// A bridge with one exchange in progress on thread 5.
class ContainerCallbackTest : public BridgeTest {
protected:
    void SetUp() override { start_exchange(); }
    void TearDown() override {
        if (exchange) finish_exchange();
    }
    void start_exchange() {
        exchange = std::make_unique<Exchange>(parent, child, thread_5);
        expect_command(thread_5);
    }
    void finish_exchange() {
        child.write(Wire().finished(thread_5, 0));
        EXPECT_EQ(exchange->get(), 0);
        exchange.reset();
    }
    // Runs one callback in an exchange of its own that it is expected to end;
    // the failure's message.
    std::string failing_exchange(CodeToParent code, const Wire& payload) {
        Exchange failing(parent, child, thread_5);
        expect_command(thread_5);
        child.write(Wire().message(thread_5, code).raw(payload.bytes).sep());
        return failing.error();
    }

    void no_answer(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        child.expect_separator();
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
    std::u16string answer_text(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        const std::u16string text = child.text();
        child.expect_separator();
        return text;
    }
    Bytes stream_data(int64_t binary, int32_t index, int32_t offset, int32_t size) {
        callback(thread_5, CodeToParent::get_stream_data, Wire().i64(binary).i32(index).i32(offset).i32(size));
        const Bytes bytes = child.read(static_cast<size_t>(size));
        child.expect_separator();
        return bytes;
    }
    // The container's streams as the child reads them.
    Streams streams_through_callbacks(int64_t binary) {
        Streams streams;
        const int32_t count = answer_int32(CodeToParent::get_stream_count, Wire().i64(binary));
        for (int32_t i = 0; i < count; ++i) {
            const std::u16string type = answer_text(CodeToParent::get_stream_type, Wire().i64(binary).i32(i));
            const int32_t size = answer_int32(CodeToParent::get_stream_size, Wire().i64(binary).i32(i));
            const Bytes bytes = stream_data(binary, i, 0, size);
            streams.emplace_back(std::string(type.begin(), type.end()), std::string(bytes.begin(), bytes.end()));
        }
        return streams;
    }
    int64_t create_binary() { return answer_int64(CodeToParent::create_fm_binary); }
    void add_stream(int64_t binary, const std::u16string& type, const std::string& bytes) {
        no_answer(CodeToParent::add_stream_data, Wire().i64(binary).text(type).raw(counted(bytes_of(bytes)).bytes));
    }

    std::unique_ptr<Exchange> exchange;
};

TEST_F(ContainerCallbackTest, BuiltStreamByStreamAndReadBack) {
    fmx::Data result;
    const PipeParent::ScopedCallTokens call(parent, {{token_of(result), TokenType::data}});

    const int64_t binary = create_binary();
    add_stream(binary, u"JPEG", "abcdef");
    no_answer(CodeToParent::add_stream_fnam, Wire().i64(binary).text(u"photo.jpg"));
    no_answer(CodeToParent::add_stream_size, Wire().i64(binary).i16(640).i16(-2));
    add_stream(binary, u"EMPT", "");  // no raw bytes follow a size of 0
    const Streams expected = {
        {"JPEG", "abcdef"}, {"FNAM", "photo.jpg"}, {"SIZE", std::string("\x02\x80\xff\xfe", 4)}, {"EMPT", ""}};
    EXPECT_EQ(streams_through_callbacks(binary), expected);
    EXPECT_EQ(answer_int32(CodeToParent::get_stream_total_size, Wire().i64(binary)), 6 + 9 + 4 + 0);
    EXPECT_EQ(answer_text(CodeToParent::get_stream_fnam, Wire().i64(binary)), u"photo.jpg");
    EXPECT_TRUE(log.contains("Add stream data result: 0"));
    EXPECT_TRUE(log.contains("Add stream filename result: 0"));
    EXPECT_TRUE(log.contains("Add stream size result: 0"));
    EXPECT_TRUE(log.contains("Get stream filename result: 0"));

    // Offsets and sizes: always exactly the size asked for, zero where the
    // stream has nothing.
    struct Case {
        int32_t index;
        int32_t offset;
        int32_t size;
        std::string expected;
    };
    const std::vector<Case> reads = {
        {0, 0, 6, "abcdef"},
        {0, 2, 3, "cde"},
        {0, 4, 5, std::string("ef\0\0\0", 5)},
        {0, 6, 2, std::string(2, '\0')},
        {0, 99, 2, std::string(2, '\0')},
        {0, 0, 0, ""},
        {3, 0, 3, std::string(3, '\0')},
        {9, 0, 2, std::string(2, '\0')},
        {-1, 0, 2, std::string(2, '\0')},
    };
    for (const Case& c : reads)
        EXPECT_EQ(stream_data(binary, c.index, c.offset, c.size), bytes_of(c.expected))
            << c.index << "/" << c.offset << "/" << c.size;

    no_answer(CodeToParent::remove_stream, Wire().i64(binary).text(u"SIZE"));
    no_answer(CodeToParent::remove_stream, Wire().i64(binary).text(u"NONE"));
    no_answer(CodeToParent::write_fm_binary_to_fm_data, Wire().i64(token_of(result)).i64(binary));
    EXPECT_TRUE(log.contains(fmt::format("FMData token: {:d}", token_of(result))));
    EXPECT_TRUE(log.contains(fmt::format("FMBinary token: {:d}", binary)));
    finish_exchange();
    EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTBinary);
    EXPECT_EQ(streams_of(result.GetBinaryData()), (Streams{{"JPEG", "abcdef"}, {"FNAM", "photo.jpg"}, {"EMPT", ""}}));
}

TEST_F(ContainerCallbackTest, StreamTypesAreFourEightBitCharacters) {
    struct Case {
        std::u16string sent;
        std::u16string answered;
    };
    const std::vector<Case> cases = {
        {u"FILE", u"FILE"},
        {u"JPEGXX", u"JPEG"},
        {u"AB", u"AB  "},
        {u"", u"    "},
        {u"\u00e9t\u00e9!", u"\u00e9t\u00e9!"},
        {u"\u4e2d\u6587ab", u"??ab"},
    };
    const int64_t binary = create_binary();
    for (const Case& c : cases) add_stream(binary, c.sent, "x");
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(answer_text(CodeToParent::get_stream_type, Wire().i64(binary).i32(static_cast<int32_t>(i))),
                  cases[i].answered);
    // Removing goes by the same four characters.
    no_answer(CodeToParent::remove_stream, Wire().i64(binary).text(u"JPEG-and-more"));
    no_answer(CodeToParent::remove_stream, Wire().i64(binary).text(u"AB"));
    EXPECT_EQ(answer_int32(CodeToParent::get_stream_count, Wire().i64(binary)), static_cast<int32_t>(cases.size()) - 2);
}

TEST_F(ContainerCallbackTest, FileNameStreamIsReplacedNotAdded) {
    const int64_t binary = create_binary();
    EXPECT_EQ(answer_text(CodeToParent::get_stream_fnam, Wire().i64(binary)), u"");
    EXPECT_TRUE(log.contains(fmt::format("Get stream filename result: {:d}", static_cast<int>(fmx::kErrNotFound))));

    add_stream(binary, u"FNAM", "one");
    add_stream(binary, u"FILE", "data");
    add_stream(binary, u"FNAM", "two");
    no_answer(CodeToParent::add_stream_fnam, Wire().i64(binary).text(u"n\u00e9w"));
    EXPECT_EQ(streams_through_callbacks(binary), (Streams{{"FILE", "data"}, {"FNAM", "n\xc3\xa9w"}}));
    EXPECT_EQ(answer_text(CodeToParent::get_stream_fnam, Wire().i64(binary)), u"n\u00e9w");
}

TEST_F(ContainerCallbackTest, TheContainerInsideAValueLivesAsLongAsTheValue) {
    char bytes[] = {'p', 'n', 'g'};
    fmx::Data picture;
    picture.SetBinaryData(fmx::BinaryData(fmx::Text("pic.png"), 3, bytes));
    auto call = std::make_unique<PipeParent::ScopedCallTokens>(
        parent, std::vector<TypedToken>{{token_of(picture), TokenType::data}});

    const int64_t inner = answer_int64(CodeToParent::get_fm_data_as_fm_binary, Wire().i64(token_of(picture)));
    EXPECT_EQ(inner, token_of(picture.GetBinaryData()));
    EXPECT_EQ(streams_through_callbacks(inner), (Streams{{"FNAM", "pic.png"}, {"FILE", "png"}}));
    // Written back into its own value.
    add_stream(inner, u"SIZE", "1234");
    no_answer(CodeToParent::write_fm_binary_to_fm_data, Wire().i64(token_of(picture)).i64(inner));
    EXPECT_EQ(answer_int32(CodeToParent::get_stream_count, Wire().i64(inner)), 3);

    call.reset();
    EXPECT_FALSE(parent.is_token_live({inner, TokenType::binary_data}));
    EXPECT_EQ(answer_int32(CodeToParent::get_stream_count, Wire().i64(inner)), 0);
    finish_exchange();
    EXPECT_EQ(streams_of(picture.GetBinaryData()), (Streams{{"FNAM", "pic.png"}, {"FILE", "png"}, {"SIZE", "1234"}}));
}

TEST_F(ContainerCallbackTest, IncrementalContainerBegunAppendedAndFinished) {
    fmx::Data result;
    const PipeParent::ScopedCallTokens call(parent, {{token_of(result), TokenType::data}});

    const int64_t binary = answer_int64(CodeToParent::create_fm_binary_with_context,
                                        Wire().text(u"JPEG").text(u"photo.jpg"));
    EXPECT_TRUE(log.contains("Filename for creating FM binary with context: photo.jpg"));
    for (const std::string piece : {"abc", "", "de"})
        no_answer(CodeToParent::append_fm_binary_with_context, Wire().i64(binary).raw(counted(bytes_of(piece)).bytes));
    no_answer(CodeToParent::close_fm_binary_with_context, Wire().i64(binary));
    EXPECT_EQ(streams_through_callbacks(binary), (Streams{{"FNAM", "photo.jpg"}, {"JPEG", "abcde"}}));
    EXPECT_FALSE(log.contains("An error occurred"));

    // Finished: a further piece is refused by the host and changes nothing.
    no_answer(CodeToParent::append_fm_binary_with_context, Wire().i64(binary).raw(counted(bytes_of("f")).bytes));
    EXPECT_TRUE(log.contains(
        fmt::format("An error occurred appending to binary container data stream: {:d}",
                    static_cast<int>(fmx::kErrInvalidArgument))));
    no_answer(CodeToParent::write_fm_binary_to_fm_data, Wire().i64(token_of(result)).i64(binary));
    finish_exchange();
    EXPECT_EQ(streams_of(result.GetBinaryData()), (Streams{{"FNAM", "photo.jpg"}, {"JPEG", "abcde"}}));
}

TEST_F(ContainerCallbackTest, PiecesGoToTheThreadsNewestContext) {
    const int64_t first = answer_int64(CodeToParent::create_fm_binary_with_context, Wire().text(u"FILE").text(u"a"));
    const int64_t second = answer_int64(CodeToParent::create_fm_binary_with_context, Wire().text(u"FILE").text(u"b"));
    no_answer(CodeToParent::append_fm_binary_with_context, Wire().i64(second).raw(counted(bytes_of("new")).bytes));
    // The first container's context is no longer the thread's newest.
    no_answer(CodeToParent::append_fm_binary_with_context, Wire().i64(first).raw(counted(bytes_of("old")).bytes));
    EXPECT_EQ(streams_through_callbacks(first), (Streams{{"FNAM", "a"}, {"FILE", ""}}));
    EXPECT_EQ(streams_through_callbacks(second), (Streams{{"FNAM", "b"}, {"FILE", "new"}}));
}

TEST_F(ContainerCallbackTest, PiecesWithoutAStreamingContextEndTheExchangeInStep) {
    const auto expect_refused = [&](int64_t binary) {
        const std::vector<std::pair<CodeToParent, Wire>> cases = {
            {CodeToParent::append_fm_binary_with_context, Wire().i64(binary).raw(counted(bytes_of("abc")).bytes)},
            {CodeToParent::close_fm_binary_with_context, Wire().i64(binary)},
        };
        for (const auto& c : cases) {
            const std::string message =
                fmt::format("No streaming context for {} on thread {:d}", to_string(c.first), thread_5);
            EXPECT_EQ(failing_exchange(c.first, c.second), message);
            EXPECT_TRUE(log.contains(message));
            EXPECT_FALSE(parent.is_channel_broken());
        }
    };
    // A thread that never began one.
    const int64_t plain = create_binary();
    finish_exchange();
    expect_refused(plain);

    // A thread whose context went with its memory.
    start_exchange();
    const int64_t begun = answer_int64(CodeToParent::create_fm_binary_with_context, Wire().text(u"FILE").text(u"f"));
    no_answer(CodeToParent::clear_memory, Wire());
    EXPECT_FALSE(parent.is_token_live({begun, TokenType::binary_data}));
    const int64_t fresh = create_binary();
    finish_exchange();
    expect_refused(fresh);

    // Still in step: the next exchange works.
    start_exchange();
    EXPECT_EQ(answer_int32(CodeToParent::get_stream_count, Wire().i64(fresh)), 0);
}

// A scratch file with known content.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& content)
        : path(FileUtils::get_temporary_file_path("container_", ".bin", "/tmp")) {
        std::ofstream(path, std::ios::binary) << content;
    }
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path;
};

// An empty scratch folder.
class ScratchFolder {
public:
    ScratchFolder() : path(make()) {}
    ~ScratchFolder() { ::rmdir(path.c_str()); }
    const std::string path;

private:
    static std::string make() {
        char name[] = "/tmp/container_dir_XXXXXX";
        if (::mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
        return name;
    }
};

TEST_F(ContainerCallbackTest, ContainerFromAFileHoldsExactlyTheLengthAsked) {
    const ScratchFile file("hello");
    const std::u16string path = utf8_to_utf16_string(file.path);
    struct Case {
        int64_t length;
        size_t bytes_read;
        std::string contents;
    };
    const std::vector<Case> cases = {
        {5, 5, "hello"},
        {3, 3, "hel"},
        {8, 5, std::string("hello\0\0\0", 8)},
        {0, 0, ""},
    };
    for (const Case& c : cases) {
        const int64_t binary = answer_int64(CodeToParent::create_fm_binary_from_file,
                                            Wire().text(path).text(u"greeting.txt").i64(c.length));
        EXPECT_EQ(streams_through_callbacks(binary), (Streams{{"FNAM", "greeting.txt"}, {"FILE", c.contents}}))
            << c.length;
        EXPECT_TRUE(log.contains(fmt::format("FMBinary received length: {:d}", c.length)));
        EXPECT_TRUE(log.contains(fmt::format("FMBinary bytes read: {:d}", c.bytes_read)));
    }
}

TEST_F(ContainerCallbackTest, ContainerFromBytes) {
    const std::string bytes("a\0b\xff", 4);
    const int64_t binary =
        answer_int64(CodeToParent::create_fm_binary_from_bytes, Wire().text(u"raw.bin").raw(counted(bytes_of(bytes)).bytes));
    EXPECT_EQ(streams_through_callbacks(binary), (Streams{{"FNAM", "raw.bin"}, {"FILE", bytes}}));
    const int64_t empty =
        answer_int64(CodeToParent::create_fm_binary_from_bytes, Wire().text(u"none").raw(counted(Bytes()).bytes));
    EXPECT_EQ(streams_through_callbacks(empty), (Streams{{"FNAM", "none"}, {"FILE", ""}}));
}

TEST_F(ContainerCallbackTest, BadFilesAndCountsAtTheEndOfThePayloadEndTheExchangeInStep) {
    const int64_t binary = create_binary();
    add_stream(binary, u"FILE", "abc");
    finish_exchange();

    const ScratchFile file("hello");
    const std::string missing = file.path + ".missing";
    const ScratchFolder scratch_folder;
    const std::string& folder = scratch_folder.path;
    const auto from_file = [](const std::u16string& path, int64_t length) {
        return Wire().text(path).text(u"f").i64(length);
    };
    struct Case {
        CodeToParent code;
        Wire payload;
        std::string error;
    };
    const std::vector<Case> cases = {
        {CodeToParent::get_stream_data, Wire().i64(binary).i32(0).i32(0).i32(-1),
         "Invalid stream buffer size -1 from child process (at most 1073741824 bytes)"},
        {CodeToParent::get_stream_data, Wire().i64(binary).i32(0).i32(0).i32(0x7FFFFFFF),
         "Invalid stream buffer size 2147483647 from child process (at most 1073741824 bytes)"},
        {CodeToParent::get_stream_data, Wire().i64(binary).i32(0).i32(-1).i32(1),
         "Invalid offset -1 for reading a stream"},
        {CodeToParent::create_fm_binary_from_file, from_file(utf8_to_utf16_string(file.path), -1),
         "Invalid file length -1 from child process (at most 1073741824 bytes)"},
        {CodeToParent::create_fm_binary_from_file, from_file(utf8_to_utf16_string(file.path), int64_t{1} << 32),
         "Invalid file length 4294967296 from child process (at most 1073741824 bytes)"},
        {CodeToParent::create_fm_binary_from_file, from_file(utf8_to_utf16_string(missing), 5),
         "Unable to open file path at " + missing},
        {CodeToParent::create_fm_binary_from_file, from_file(utf8_to_utf16_string(file.path) + u'\0' + u"x", 5),
         "Unable to open file path at " + file.path},
        {CodeToParent::create_fm_binary_from_file, from_file(utf8_to_utf16_string(folder), 5),
         "Unable to read file at " + folder + ": Is a directory"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failing_exchange(c.code, c.payload), c.error) << to_string(c.code);
        EXPECT_FALSE(parent.is_channel_broken()) << c.error;
    }

    start_exchange();
    EXPECT_EQ(stream_data(binary, 0, 0, 3), bytes_of("abc"));
}

TEST(ContainerCallbackFraming, RawByteCountsThatCannotBeReadOnBreakTheChannel) {
    const int64_t token = 0x1000;  // never read as an address: the count fails first
    struct Case {
        CodeToParent code;
        Wire payload;
        std::string error;
    };
    const std::vector<Case> cases = {
        {CodeToParent::add_stream_data, Wire().i64(token).text(u"FILE").i32(-1),
         "Invalid stream data size -1 from child process (at most 1073741824 bytes)"},
        {CodeToParent::add_stream_data, Wire().i64(token).text(u"FILE").i32(0x7FFFFFFF),
         "Invalid stream data size 2147483647 from child process (at most 1073741824 bytes)"},
        {CodeToParent::create_fm_binary_from_bytes, Wire().text(u"f").i32(-5),
         "Invalid container length -5 from child process (at most 1073741824 bytes)"},
        {CodeToParent::create_fm_binary_from_bytes, Wire().text(u"f").i32((1 << 30) + 1),
         "Invalid container length 1073741825 from child process (at most 1073741824 bytes)"},
        {CodeToParent::append_fm_binary_with_context, Wire().i64(token).i32(-1),
         "Invalid appended data length -1 from child process (at most 1073741824 bytes)"},
        // The bytes announced never come.
        {CodeToParent::append_fm_binary_with_context, Wire().i64(token).i32(100).raw(Bytes(10, 1)),
         "Unexpected end of stream from child process"},
    };
    for (const Case& c : cases) {
        ScopedTestLog log;
        PipeParent parent;
        FakeChild child(parent);
        Exchange exchange(parent, child, thread_5);
        child.read_frame();
        child.expect_separator();
        child.write(Wire().message(thread_5, c.code).raw(c.payload.bytes));
        if (c.error == "Unexpected end of stream from child process") child.close_output();
        EXPECT_EQ(exchange.error(), c.error) << to_string(c.code);
        EXPECT_TRUE(parent.is_channel_broken()) << c.error;
    }
}

TEST_F(ContainerCallbackTest, ForgedTokensGetNeutralAnswersAndTheExchangeGoesOn) {
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
        {CodeToParent::get_fm_data_as_fm_binary, TokenType::data, token_only, int64_zero},
        {CodeToParent::get_stream_count, TokenType::binary_data, token_only, int32_zero},
        {CodeToParent::get_stream_type, TokenType::binary_data, [](int64_t t) { return Wire().i64(t).i32(0); },
         empty_text},
        {CodeToParent::get_stream_data, TokenType::binary_data,
         [](int64_t t) { return Wire().i64(t).i32(0).i32(0).i32(5); }, Bytes(5, 0)},
        {CodeToParent::add_stream_data, TokenType::binary_data,
         [](int64_t t) { return Wire().i64(t).text(u"FILE").i32(2).byte('x').byte('y'); }, {}},
        {CodeToParent::remove_stream, TokenType::binary_data, [](int64_t t) { return Wire().i64(t).text(u"FILE"); },
         {}},
        {CodeToParent::get_stream_size, TokenType::binary_data, [](int64_t t) { return Wire().i64(t).i32(0); },
         int32_zero},
        {CodeToParent::get_stream_total_size, TokenType::binary_data, token_only, int32_zero},
        {CodeToParent::add_stream_fnam, TokenType::binary_data, [](int64_t t) { return Wire().i64(t).text(u"n"); },
         {}},
        {CodeToParent::add_stream_size, TokenType::binary_data, [](int64_t t) { return Wire().i64(t).i16(1).i16(2); },
         {}},
        {CodeToParent::write_fm_binary_to_fm_data, TokenType::data, [](int64_t t) { return Wire().i64(t).i64(t); },
         {}},
        {CodeToParent::get_stream_fnam, TokenType::binary_data, token_only, empty_text},
        // Without a live container the missing context does not matter.
        {CodeToParent::append_fm_binary_with_context, TokenType::binary_data,
         [](int64_t t) { return Wire().i64(t).i32(1).byte('x'); }, {}},
        {CodeToParent::close_fm_binary_with_context, TokenType::binary_data, token_only, {}},
    };
    // Live objects of the wrong type are as unusable as made-up addresses.
    const int64_t live_binary = create_binary();
    add_stream(live_binary, u"FILE", "keep");
    const int64_t live_data = answer_int64(CodeToParent::create_empty_fm_data);
    for (const Case& c : cases) {
        const int64_t wrong_type = c.expected == TokenType::data ? live_binary : live_data;
        for (int64_t forged : {int64_t{0x7F00DEADBEE0}, int64_t{0}, int64_t{-8}, wrong_type}) {
            callback(thread_5, c.code, c.payload(forged));
            EXPECT_EQ(child.read(c.answer.size()), c.answer) << to_string(c.code);
            child.expect_separator();
            EXPECT_TRUE(log.contains(fmt::format("Invalid token {:d} for {} in {} on thread 5", forged,
                                                 token_type_name(c.expected), to_string(c.code))))
                << to_string(c.code) << " " << forged;
        }
    }
    EXPECT_EQ(streams_through_callbacks(live_binary), (Streams{{"FILE", "keep"}}));
    EXPECT_FALSE(parent.is_channel_broken());
}

}  // namespace
}  // namespace testing
}  // namespace corvane
