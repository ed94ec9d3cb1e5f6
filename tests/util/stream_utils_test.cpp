#include "util/StreamUtils.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "FMUtils.h"
#include "TestLogging.h"
#include "exception/TobrinException.h"

using namespace corvane;

namespace {

using Bytes = std::vector<uint8_t>;

struct FileCloser {
    void operator()(FILE* stream) const { std::fclose(stream); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// A stream that yields the given bytes and then ends, like the child's
// standard output after the child has exited.
class PipeInput {
public:
    explicit PipeInput(const std::string& bytes) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
        const ssize_t written = write(fds[1], bytes.data(), bytes.size());
        close(fds[1]);
        if (written != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("short write to pipe");
        stream.reset(fdopen(fds[0], "r"));
    }
    FILE* get() const { return stream.get(); }

private:
    UniqueFile stream;
};

// A stream whose content is visible only after the writer has flushed it.
class MemoryOutput {
public:
    MemoryOutput() : stream(open_memstream(&buffer, &size)) {}
    ~MemoryOutput() {
        stream.reset();
        std::free(buffer);
    }
    FILE* get() const { return stream.get(); }
    // What has been flushed so far; deliberately does not flush itself.
    Bytes flushed() const { return Bytes(buffer, buffer + size); }

private:
    char* buffer = nullptr;
    size_t size = 0;
    UniqueFile stream;
};

TEST(StreamUtils, WritersSendBigEndianFieldsAndFlushEach) {
    struct Case {
        const char* what;
        std::function<size_t(FILE*)> write;
        Bytes expected;
    };
    const Case cases[] = {
        {"int16 -2", [](FILE* s) { return StreamUtils::write_int16_bytes(-2, s); }, {0xFF, 0xFE}},
        {"int32 256", [](FILE* s) { return StreamUtils::write_int32_bytes(256, s); }, {0x00, 0x00, 0x01, 0x00}},
        {"int32 min", [](FILE* s) { return StreamUtils::write_int32_bytes(INT32_MIN, s); }, {0x80, 0, 0, 0}},
        {"int64 -1", [](FILE* s) { return StreamUtils::write_int64_bytes(-1, s); }, Bytes(8, 0xFF)},
        {"int64 0x0102030405060708", [](FILE* s) { return StreamUtils::write_int64_bytes(0x0102030405060708, s); },
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"separator byte", [](FILE* s) { return size_t(StreamUtils::putc(int8_t(-1), s)); }, {0xFF}},
    };
    for (const auto& c : cases) {
        MemoryOutput out;
        EXPECT_EQ(c.write(out.get()), c.expected.size()) << c.what;
        EXPECT_EQ(out.flushed(), c.expected) << c.what;
    }
    EXPECT_EQ(StreamUtils::get_int16_bytes(-2), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(StreamUtils::get_int32_bytes(256), (Bytes{0, 0, 1, 0}));
    EXPECT_EQ(StreamUtils::get_int64_bytes(-1), Bytes(8, 0xFF));
}

TEST(StreamUtils, ReadersAssembleBigEndianValuesWithTheirSign) {
    PipeInput in(std::string("\x80\x00\x00\x00"
                             "\xFF\xFF"
                             "\x00\x00\x00\x00\x80\x00\x00\x00"
                             "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFE"
                             "\xFF\x00\x80\x7F\xFF",
                             27));
    EXPECT_EQ(StreamUtils::read32_be(in.get()), INT32_MIN);
    EXPECT_EQ(StreamUtils::read16_be(in.get()), -1);
    EXPECT_EQ(StreamUtils::read64_be(in.get()), 2147483648LL) << "no sign spill from the lower half";
    EXPECT_EQ(StreamUtils::read64_be(in.get()), -2);
    EXPECT_EQ(StreamUtils::get_c_as_int(in.get()), -1);
    EXPECT_EQ(StreamUtils::get_c_as_int(in.get()), 0);
    EXPECT_EQ(StreamUtils::get_c_as_int(in.get()), -128);
    EXPECT_EQ(StreamUtils::get_c_as_int(in.get()), 127);
    EXPECT_EQ(StreamUtils::get_c(in.get()), -1);
}

TEST(StreamUtils, UnicodeFieldsCarryByteCountThenLittleEndianUnits) {
    corvane::testing::ScopedTestLog log;
    const Bytes abc{0, 0, 0, 6, 'a', 0, 'b', 0, 'c', 0};
    {
        MemoryOutput out;
        StreamUtils::write_unicode_bytes(u"abc", out.get());
        EXPECT_EQ(out.flushed(), abc);
    }
    {
        MemoryOutput out;
        StreamUtils::write_unicode_bytes(std::vector<uint16_t>{'a', 'b', 'c'}, out.get());
        EXPECT_EQ(out.flushed(), abc);
    }
    {
        MemoryOutput out;
        StreamUtils::write_unicode_bytes(u"", out.get());
        EXPECT_EQ(out.flushed(), (Bytes{0, 0, 0, 0}));
    }

    // Empty field, then a supplementary character, then an odd count that is
    // rounded up to whole units; the trailing 0x2A shows what each consumed.
    PipeInput in(std::string("\x00\x00\x00\x00"
                             "\x2A"
                             "\x00\x00\x00\x04\x34\xD8\x1E\xDD"
                             "\x2A"
                             "\x00\x00\x00\x03\x61\x00\x62\x00"
                             "\x2A",
                             23));
    EXPECT_TRUE(StreamUtils::read_unicode_bytes(in.get()).empty());
    EXPECT_EQ(StreamUtils::get_c(in.get()), 0x2A);
    EXPECT_EQ(StreamUtils::read_unicode_bytes(in.get()), (std::vector<uint16_t>{0xD834, 0xDD1E}));
    EXPECT_EQ(StreamUtils::get_c(in.get()), 0x2A);
    EXPECT_EQ(StreamUtils::read_unicode_bytes(in.get()), (std::vector<uint16_t>{'a', 'b'}));
    EXPECT_EQ(StreamUtils::get_c(in.get()), 0x2A);
}

TEST(StreamUtils, EveryReaderThrowsWhenTheStreamEnds) {
    corvane::testing::ScopedTestLog log;
    struct Case {
        const char* what;
        std::string bytes;
        std::function<void(FILE*)> read;
    };
    const Case cases[] = {
        {"read16_be inside a value", std::string("\x01", 1), [](FILE* s) { StreamUtils::read16_be(s); }},
        {"read32_be inside a value", std::string("\x01\x02\x03", 3), [](FILE* s) { StreamUtils::read32_be(s); }},
        {"read64_be inside a value", std::string(7, '\x01'), [](FILE* s) { StreamUtils::read64_be(s); }},
        {"get_c at the end", "", [](FILE* s) { StreamUtils::get_c(s); }},
        {"get_c_as_int at the end", "", [](FILE* s) { StreamUtils::get_c_as_int(s); }},
        {"unicode count cut short", std::string("\x00\x00", 2), [](FILE* s) { StreamUtils::read_unicode_bytes(s); }},
        {"unicode units cut short", std::string("\x00\x00\x00\x06\x61\x00", 6),
         [](FILE* s) { StreamUtils::read_unicode_bytes(s); }},
        // A scan for the separator byte stops at the end instead of running on.
        {"separator scan", std::string("\x01\x02\x03", 3),
         [](FILE* s) {
             while (StreamUtils::get_c_as_int(s) != -1) {
             }
         }},
    };
    for (const auto& c : cases) {
        PipeInput in(c.bytes);
        try {
            c.read(in.get());
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const tobrin_exception& e) {
            EXPECT_STREQ(e.what(), "Unexpected end of stream from child process") << c.what;
        }
    }
}

TEST(StreamUtils, UnicodeByteCountsOutsideTheBoundAreRefusedBeforeAllocating) {
    corvane::testing::ScopedTestLog log;
    static_assert(StreamUtils::max_unicode_byte_length >= 256 * 1024 * 1024, "bound below 256 MiB");
    const int32_t refused[] = {-1, INT32_MIN, StreamUtils::max_unicode_byte_length + 1, INT32_MAX};
    for (const int32_t count : refused) {
        const Bytes prefix = StreamUtils::get_int32_bytes(count);
        PipeInput in(std::string(prefix.begin(), prefix.end()));
        try {
            StreamUtils::read_unicode_bytes(in.get());
            ADD_FAILURE() << count << ": no exception";
        } catch (const tobrin_exception& e) {
            // Not the end-of-stream error: the count itself was refused.
            EXPECT_EQ(std::string(e.what()), fmt::format("Invalid unicode byte length {:d} from child process", count));
        }
    }
}

// A child that announces a large field and sends little of it must not make
// the host reserve the whole field: run with a small data limit in a child
// process, the readers end with the stream instead of running out of memory.
// Sanitizer allocators reserve memory of their own, so the limit is left to
// the plain build.
TEST(StreamUtils, AnnouncedLengthsTakeMemoryOnlyAsBytesArrive) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the allocator of a sanitizer build does not keep to a data limit";
#else
    corvane::testing::ScopedTestLog log;
    const auto ends_with_the_stream = [](const std::function<void(FILE*)>& read, const std::string& input) {
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit{64 << 20, 64 << 20};
            setrlimit(RLIMIT_DATA, &limit);
            PipeInput in(input);
            try {
                read(in.get());
            } catch (const tobrin_exception& e) {
                _exit(std::string(e.what()) == "Unexpected end of stream from child process" ? 0 : 1);
            } catch (...) {
                _exit(2);
            }
            _exit(3);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    const Bytes unicode_count = StreamUtils::get_int32_bytes(StreamUtils::max_unicode_byte_length);
    EXPECT_TRUE(ends_with_the_stream([](FILE* in) { StreamUtils::read_unicode_bytes(in); },
                                     std::string(unicode_count.begin(), unicode_count.end()) + "a\0b\0"));
    EXPECT_TRUE(ends_with_the_stream([](FILE* in) { StreamUtils::read_announced_bytes(in, size_t{1} << 30); },
                                     std::string(100, 'x')));
#endif
}

TEST(StreamUtils, ReadDataIsOneReadCallAndRefusesNegativeLengths) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    char buffer[8] = {};
    EXPECT_EQ(StreamUtils::read_data(fds[0], buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "abc");
    errno = 0;
    EXPECT_EQ(StreamUtils::read_data(fds[0], buffer, -1), -1);
    EXPECT_EQ(errno, EINVAL);
    close(fds[1]);
    EXPECT_EQ(StreamUtils::read_data(fds[0], buffer, sizeof buffer), 0) << "end of stream";
    close(fds[0]);
}

TEST(TextConversion, Utf8ToUtf16IsExactAndReplacesIllFormedInput) {
    struct Case {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"empty", "", u""},
        {"ascii", "abc", u"abc"},
        {"two-byte e acute", "\xC3\xA9", u"\u00E9"},
        {"three-byte euro", "\xE2\x82\xAC", u"\u20AC"},
        {"above U+FFFF becomes a surrogate pair", "\xF0\x9D\x84\x9E", std::u16string{0xD834, 0xDD1E}},
        {"stops at the first NUL", std::string("a\0b", 3), u"a"},
        {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"invalid lead byte", "\xFF", u"\uFFFD"},
        {"sequence cut by the end", "a\xE2\x82", u"a\uFFFD"},
        {"sequence cut by a NUL", std::string("\xE2\x82\0z", 4), u"\uFFFD"},
        {"sequence cut by ASCII", "\xC3(", u"\uFFFD("},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"highest code point", "\xF4\x8F\xBF\xBF", std::u16string{0xDBFF, 0xDFFF}},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8_to_utf16_string(c.utf8), c.utf16) << c.what;
}

TEST(TextConversion, Utf16ToUtf8IsExactAndReplacesLoneSurrogates) {
    struct Case {
        const char* what;
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        {"empty", u"", ""},
        {"e acute", u"\u00E9", "\xC3\xA9"},
        {"euro", u"\u20AC", "\xE2\x82\xAC"},
        {"surrogate pair", std::u16string{0xD834, 0xDD1E}, "\xF0\x9D\x84\x9E"},
        {"NUL unit ends the text", std::u16string{u'a', 0, u'b'}, "a"},
        {"lone high surrogate at the end", std::u16string{u'a', 0xD834}, "a\xEF\xBF\xBD"},
        {"high surrogate before a NUL", std::u16string{0xD834, 0, 0xDD1E}, "\xEF\xBF\xBD"},
        {"high surrogate before a letter", std::u16string{0xD834, u'x'}, "\xEF\xBF\xBDx"},
        {"lone low surrogate", std::u16string{0xDD1E, u'x'}, "\xEF\xBF\xBDx"},
    };
    for (const auto& c : cases) EXPECT_EQ(utf16_to_utf8_string(c.utf16), c.utf8) << c.what;

    const std::string mixed = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(utf16_to_utf8_string(utf8_to_utf16_string(mixed)), mixed);
}

}  // namespace
