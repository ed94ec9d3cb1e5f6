#include "hostsdk/BinaryData.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "hostsdk/Errors.h"
#include "hostsdk/Text.h"

namespace fmx {

namespace {

const QuadChar kFileNameType("FNAM");
const QuadChar kSizeType("SIZE");
const QuadChar kFileDataType("FILE");

// Streaming contexts are unique in the process, so that a context from one
// container (or a finished one) is never taken for another.
FMX_UInt32 next_context() {
    static std::atomic<FMX_UInt32> counter{0};
    FMX_UInt32 context = ++counter;
    while (context == 0) context = ++counter;  // 0 means "no context"
    return context;
}

void append_bytes(std::vector<std::uint8_t>& bytes, FMX_UInt32 amount, const void* buffer) {
    if (amount == 0) return;
    const auto* begin = static_cast<const std::uint8_t*>(buffer);
    bytes.insert(bytes.end(), begin, begin + amount);
}

}  // namespace

BinaryData::BinaryData() = default;

BinaryData::BinaryData(const BinaryData& other) : streams_(other.streams_) {
    for (auto& stream : streams_) stream.open_context = 0;
}

BinaryData::BinaryData(BinaryData&& other) noexcept = default;

BinaryData& BinaryData::operator=(const BinaryData& other) {
    if (this != &other) {
        BinaryData copy(other);
        streams_.swap(copy.streams_);
    }
    return *this;
}

BinaryData& BinaryData::operator=(BinaryData&& other) noexcept = default;

BinaryData::~BinaryData() = default;

BinaryData::BinaryData(const Text& name, FMX_UInt32 amount, void* buffer) {
    AddFNAMData(name);
    Add(kFileDataType, buffer == nullptr ? 0 : amount, buffer);
}

BinaryData::BinaryData(const Text& name, FMX_UInt32* context) {
    AddFNAMData(name);
    FMX_UInt32 opened = 0;
    AddBegin(kFileDataType, &opened);
    if (context != nullptr) *context = opened;
}

bool BinaryData::operator==(const BinaryData& other) const {
    if (streams_.size() != other.streams_.size()) return false;
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        if (streams_[i].type != other.streams_[i].type || streams_[i].bytes != other.streams_[i].bytes) {
            return false;
        }
    }
    return true;
}

bool BinaryData::operator!=(const BinaryData& other) const { return !(*this == other); }

FMX_Int32 BinaryData::GetCount() const { return static_cast<FMX_Int32>(streams_.size()); }

FMX_Int32 BinaryData::GetIndex(const QuadChar& dataType) const {
    const auto it = std::find_if(streams_.begin(), streams_.end(),
                                 [&](const Stream& stream) { return stream.type == dataType; });
    return it == streams_.end() ? -1 : static_cast<FMX_Int32>(it - streams_.begin());
}

FMX_UInt32 BinaryData::GetTotalSize() const {
    std::size_t total = 0;
    for (const auto& stream : streams_) total += stream.bytes.size();
    return static_cast<FMX_UInt32>(std::min<std::size_t>(total, std::numeric_limits<FMX_UInt32>::max()));
}

const BinaryData::Stream* BinaryData::stream_at(FMX_Int32 index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= streams_.size()) return nullptr;
    return &streams_[static_cast<std::size_t>(index)];
}

BinaryData::Stream* BinaryData::open_stream(FMX_UInt32 context) {
    if (context == 0) return nullptr;
    const auto it = std::find_if(streams_.begin(), streams_.end(),
                                 [&](const Stream& stream) { return stream.open_context == context; });
    return it == streams_.end() ? nullptr : &*it;
}

FMX_ErrorCode BinaryData::GetType(FMX_Int32 index, QuadChar& dataType) const {
    const Stream* stream = stream_at(index);
    if (stream == nullptr) return kErrInvalidArgument;
    dataType = stream->type;
    return kErrNone;
}

FMX_UInt32 BinaryData::GetSize(FMX_Int32 index) const {
    const Stream* stream = stream_at(index);
    return stream == nullptr ? 0 : static_cast<FMX_UInt32>(stream->bytes.size());
}

FMX_ErrorCode BinaryData::GetData(FMX_Int32 index, FMX_UInt32 offset, FMX_UInt32 amount, void* buffer) const {
    const Stream* stream = stream_at(index);
    if (stream == nullptr || (buffer == nullptr && amount != 0)) return kErrInvalidArgument;
    if (offset > stream->bytes.size()) return kErrInvalidArgument;
    const std::size_t count = std::min<std::size_t>(amount, stream->bytes.size() - offset);
    if (count > 0) std::memcpy(buffer, stream->bytes.data() + offset, count);
    return kErrNone;
}

FMX_ErrorCode BinaryData::Add(const QuadChar& dataType, FMX_UInt32 amount, const void* buffer) {
    if (buffer == nullptr && amount != 0) return kErrInvalidArgument;
    Stream stream{dataType, {}, 0};
    append_bytes(stream.bytes, amount, buffer);
    streams_.push_back(std::move(stream));
    return kErrNone;
}

bool BinaryData::Remove(const QuadChar& dataType) {
    const FMX_Int32 index = GetIndex(dataType);
    if (index < 0) return false;
    streams_.erase(streams_.begin() + index);
    return true;
}

void BinaryData::RemoveAll() { streams_.clear(); }

FMX_ErrorCode BinaryData::GetFNAMData(Text& filepathlist) const {
    const Stream* stream = stream_at(GetIndex(kFileNameType));
    if (stream == nullptr) {
        filepathlist.Assign("", Text::kEncoding_UTF8);
        return kErrNotFound;
    }
    const std::string name(stream->bytes.begin(), stream->bytes.end());
    filepathlist.Assign(name.c_str(), Text::kEncoding_UTF8);
    return kErrNone;
}

FMX_ErrorCode BinaryData::AddFNAMData(const Text& filepathlist) {
    const std::string name = filepathlist.GetUTF8();
    return Add(kFileNameType, static_cast<FMX_UInt32>(name.size()), name.data());
}

FMX_ErrorCode BinaryData::GetSIZEData(FMX_Int16& width, FMX_Int16& height) const {
    const Stream* stream = stream_at(GetIndex(kSizeType));
    if (stream == nullptr || stream->bytes.size() < 4) return kErrNotFound;
    const auto& b = stream->bytes;
    width = static_cast<FMX_Int16>((b[0] << 8) | b[1]);
    height = static_cast<FMX_Int16>((b[2] << 8) | b[3]);
    return kErrNone;
}

FMX_ErrorCode BinaryData::AddSIZEData(FMX_Int16 width, FMX_Int16 height) {
    const auto w = static_cast<FMX_UInt16>(width);
    const auto h = static_cast<FMX_UInt16>(height);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF),
                                   static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h & 0xFF)};
    return Add(kSizeType, sizeof bytes, bytes);
}

FMX_ErrorCode BinaryData::AddBegin(const QuadChar& dataType, FMX_UInt32* context) {
    if (context == nullptr) return kErrInvalidArgument;
    const FMX_UInt32 opened = next_context();
    streams_.push_back({dataType, {}, opened});
    *context = opened;
    return kErrNone;
}

FMX_ErrorCode BinaryData::AddAppend(FMX_UInt32 context, FMX_UInt32 amount, const void* buffer) {
    Stream* stream = open_stream(context);
    if (stream == nullptr || (buffer == nullptr && amount != 0)) return kErrInvalidArgument;
    append_bytes(stream->bytes, amount, buffer);
    return kErrNone;
}

FMX_ErrorCode BinaryData::AddFinish(FMX_UInt32 context) {
    Stream* stream = open_stream(context);
    if (stream == nullptr) return kErrInvalidArgument;
    stream->open_context = 0;
    return kErrNone;
}

bool BinaryData::IsOpenContext(FMX_UInt32 context) const {
    return context != 0 && std::any_of(streams_.begin(), streams_.end(), [&](const Stream& stream) {
               return stream.open_context == context;
           });
}

}  // namespace fmx
