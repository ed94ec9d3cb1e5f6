// The fuzz harness's streams: a placeholder becomes the token known when the
// bridge reads it, not when the stream is opened, and only answer bodies
// are taken as tokens.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ChildStreams.h"

namespace corvane {
namespace fuzzing {
namespace {

using Bytes = std::vector<uint8_t>;
using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

Bytes placeholder(uint16_t index) {
    Bytes bytes = {'#', 'T', 'O', 'K', 'E', 'N'};
    bytes.push_back(static_cast<uint8_t>(index >> 8));
    bytes.push_back(static_cast<uint8_t>(index));
    return bytes;
}

Bytes big_endian(uint64_t value, size_t width) {
    Bytes bytes;
    for (size_t i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * (width - 1 - i))));
    return bytes;
}

Bytes read(std::FILE* stream, size_t count) {
    Bytes bytes(count);
    bytes.resize(std::fread(bytes.data(), 1, count, stream));
    return bytes;
}

TEST(ScriptedChildOutput, PlaceholdersTakeTheTokenKnownWhenTheyAreRead) {
    KnownTokens known;
    Bytes input = {0xAA};
    const Bytes first = placeholder(0);
    const Bytes second = placeholder(1);
    input.insert(input.end(), first.begin(), first.end());
    input.insert(input.end(), second.begin(), second.end());
    input.push_back(0xFF);
    ScriptedChildOutput output(input.data(), input.size(), known);
    const Stream stream(output.open(), &std::fclose);

    EXPECT_EQ(read(stream.get(), 1), Bytes{0xAA});
    known.add(0x1122334455667788);
    // Read in two halves: both come from the one resolved token.
    EXPECT_EQ(read(stream.get(), 3), (Bytes{0x11, 0x22, 0x33}));
    known.add(0x0102030405060708);
    EXPECT_EQ(read(stream.get(), 5), (Bytes{0x44, 0x55, 0x66, 0x77, 0x88}));
    // Index 1 of the list known now.
    EXPECT_EQ(read(stream.get(), 8), big_endian(0x0102030405060708, 8));
    EXPECT_EQ(read(stream.get(), 4), Bytes{0xFF});
    EXPECT_EQ(output.remaining(), 0u);
}

TEST(AnswerSink, KeepsTheInt64FieldsOfBodiesOnly) {
    KnownTokens known;
    AnswerSink sink(known);
    const Stream stream(sink.open(), &std::fclose);
    const auto field = [&](const Bytes& bytes) {
        std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
        std::fflush(stream.get());
    };
    for (int frame = 0; frame < 2; ++frame) {
        field(big_endian(5, 8));   // thread
        field(big_endian(6, 8));   // session
        field(big_endian(7, 8));   // file
        field(big_endian(4, 2));   // code
        field(Bytes(12, 0x41));    // quad char
        field(big_endian(0x1000 + frame, 8));  // body: a token
        field(big_endian(3, 4));   // body: an int32
        field(Bytes{0xFF});
    }
    EXPECT_EQ(known.pick(0), 0x1000);
    EXPECT_EQ(known.pick(1), 0x1001);
    EXPECT_EQ(known.pick(2), 0x1000);  // round the list
}

}  // namespace
}  // namespace fuzzing
}  // namespace corvane
