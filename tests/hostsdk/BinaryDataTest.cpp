#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsdk/fmx.h"

namespace {

const fmx::QuadChar kFnam("FNAM");
const fmx::QuadChar kFile("FILE");
const fmx::QuadChar kSize("SIZE");
const fmx::QuadChar kJpeg("JPEG");

std::string stream_text(const fmx::BinaryData& container, FMX_Int32 index) {
    std::string bytes(container.GetSize(index), '\0');
    EXPECT_EQ(container.GetData(index, 0, static_cast<FMX_UInt32>(bytes.size()), bytes.data()), 0);
    return bytes;
}

std::vector<std::string> types_of(const fmx::BinaryData& container) {
    std::vector<std::string> types;
    for (FMX_Int32 i = 0; i < container.GetCount(); ++i) {
        fmx::QuadChar type;
        EXPECT_EQ(container.GetType(i, type), 0);
        types.push_back(type.AsString());
    }
    return types;
}

TEST(BinaryData, StreamsKeepTypeOrderAndBytes) {
    fmx::BinaryData container;
    EXPECT_EQ(container.Add(kJpeg, 3, "abc"), 0);
    EXPECT_EQ(container.AddFNAMData(fmx::Text("pic.jpg")), 0);
    EXPECT_EQ(container.AddSIZEData(640, -2), 0);
    EXPECT_EQ(container.Add(kFile, 0, nullptr), 0);
    EXPECT_EQ(types_of(container), (std::vector<std::string>{"JPEG", "FNAM", "SIZE", "FILE"}));
    EXPECT_EQ(container.GetTotalSize(), 3u + 7u + 4u + 0u);
    EXPECT_EQ(stream_text(container, 0), "abc");
    EXPECT_EQ(container.GetIndex(kSize), 2);

    fmx::Text name;
    EXPECT_EQ(container.GetFNAMData(name), 0);
    EXPECT_EQ(name.GetUTF8(), "pic.jpg");
    FMX_Int16 width = 0, height = 0;
    EXPECT_EQ(container.GetSIZEData(width, height), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, -2);
}

TEST(BinaryData, BadIndexesAndNullBuffersAreErrors) {
    fmx::BinaryData container;
    container.Add(kFile, 2, "xy");
    fmx::QuadChar type("ZZZZ");
    char byte = 0;
    for (const FMX_Int32 index : {-1, 1, 1000}) {
        EXPECT_NE(container.GetType(index, type), 0) << index;
        EXPECT_EQ(container.GetSize(index), 0u) << index;
        EXPECT_NE(container.GetData(index, 0, 1, &byte), 0) << index;
    }
    EXPECT_EQ(type, fmx::QuadChar("ZZZZ"));
    EXPECT_NE(container.Add(kFile, 5, nullptr), 0);
    EXPECT_NE(container.GetData(0, 0, 1, nullptr), 0);
    EXPECT_EQ(container.GetCount(), 1);
}

TEST(BinaryData, GetDataCopiesOnlyWhatTheStreamHoldsFromTheOffset) {
    fmx::BinaryData container;
    container.Add(kFile, 5, "hello");
    struct Case {
        FMX_UInt32 offset;
        FMX_UInt32 amount;
        bool ok;
        std::string expected;  // the 8-byte buffer, '.' where nothing was written
    };
    const Case cases[] = {
        {0, 5, true, "hello..."}, {1, 3, true, "ell....."}, {3, 8, true, "lo......"},
        {5, 8, true, "........"}, {6, 1, false, "........"}, {0xFFFFFFFFu, 8, false, "........"},
    };
    for (const auto& c : cases) {
        std::string buffer(8, '.');
        EXPECT_EQ(container.GetData(0, c.offset, c.amount, buffer.data()) == 0, c.ok) << c.offset;
        EXPECT_EQ(buffer, c.expected) << c.offset << "/" << c.amount;
    }
}

TEST(BinaryData, RemoveTakesTheFirstStreamOfThatType) {
    fmx::BinaryData container;
    container.AddFNAMData(fmx::Text("one"));
    container.Add(kFile, 1, "x");
    container.AddFNAMData(fmx::Text("two"));
    EXPECT_TRUE(container.Remove(kFnam));
    EXPECT_EQ(types_of(container), (std::vector<std::string>{"FILE", "FNAM"}));
    fmx::Text name;
    container.GetFNAMData(name);
    EXPECT_EQ(name.GetUTF8(), "two");
    EXPECT_TRUE(container.Remove(kFnam));
    EXPECT_FALSE(container.Remove(kFnam));
    EXPECT_NE(container.GetFNAMData(name), 0);
    EXPECT_EQ(name.GetSize(), 0u);
    container.RemoveAll();
    EXPECT_EQ(container.GetCount(), 0);
}

TEST(BinaryData, FileDataConstructorGivesNameAndFileStreams) {
    char bytes[] = {'a', '\0', 'b'};
    const fmx::BinaryData container(fmx::Text("f.bin"), 3, bytes);
    EXPECT_EQ(types_of(container), (std::vector<std::string>{"FNAM", "FILE"}));
    EXPECT_EQ(stream_text(container, 1), std::string("a\0b", 3));
}

class StreamingContext : public testing::Test {
protected:
    fmx::BinaryData container_;
};

TEST_F(StreamingContext, BeginAppendFinishBuildsOneStream) {
    FMX_UInt32 context = 0;
    ASSERT_EQ(container_.AddBegin(kJpeg, &context), 0);
    EXPECT_NE(context, 0u);
    EXPECT_EQ(container_.AddAppend(context, 3, "abc"), 0);
    EXPECT_EQ(container_.AddAppend(context, 0, nullptr), 0);
    EXPECT_EQ(container_.AddAppend(context, 2, "de"), 0);
    EXPECT_EQ(container_.AddFinish(context), 0);
    EXPECT_EQ(types_of(container_), (std::vector<std::string>{"JPEG"}));
    EXPECT_EQ(stream_text(container_, 0), "abcde");
    // A finished context is closed.
    EXPECT_NE(container_.AddAppend(context, 1, "f"), 0);
    EXPECT_NE(container_.AddFinish(context), 0);
    EXPECT_EQ(stream_text(container_, 0), "abcde");
}

TEST_F(StreamingContext, UnknownContextsAreErrors) {
    FMX_UInt32 context = 0;
    container_.AddBegin(kFile, &context);
    fmx::BinaryData other;
    FMX_UInt32 other_context = 0;
    other.AddBegin(kFile, &other_context);
    EXPECT_NE(context, other_context);
    for (const FMX_UInt32 bad : {0u, other_context, context + 1000u}) {
        EXPECT_NE(container_.AddAppend(bad, 1, "x"), 0) << bad;
        EXPECT_NE(container_.AddFinish(bad), 0) << bad;
    }
    EXPECT_NE(container_.AddBegin(kFile, nullptr), 0);
    EXPECT_EQ(container_.GetTotalSize(), 0u);
}

TEST_F(StreamingContext, RemovingTheStreamClosesItsContext) {
    FMX_UInt32 context = 0;
    container_.AddBegin(kFile, &context);
    container_.RemoveAll();
    EXPECT_NE(container_.AddAppend(context, 1, "x"), 0);
    EXPECT_EQ(container_.GetCount(), 0);
}

TEST_F(StreamingContext, ContextConstructorOpensAFileStreamAfterTheName) {
    FMX_UInt32 context = 0;
    fmx::BinaryData built(fmx::Text("log.txt"), &context);
    EXPECT_TRUE(built.IsOpenContext(context));
    EXPECT_EQ(built.AddAppend(context, 2, "hi"), 0);
    EXPECT_EQ(built.AddFinish(context), 0);
    EXPECT_EQ(types_of(built), (std::vector<std::string>{"FNAM", "FILE"}));
    EXPECT_EQ(stream_text(built, 1), "hi");
}

TEST_F(StreamingContext, CopiesAreSnapshotsWithoutOpenContexts) {
    FMX_UInt32 context = 0;
    container_.AddBegin(kFile, &context);
    container_.AddAppend(context, 1, "a");
    fmx::BinaryData copy(container_);
    EXPECT_NE(copy.AddAppend(context, 1, "b"), 0);
    EXPECT_EQ(container_.AddAppend(context, 1, "b"), 0);
    EXPECT_EQ(stream_text(copy, 0), "a");
    EXPECT_EQ(stream_text(container_, 0), "ab");
}

}  // namespace
