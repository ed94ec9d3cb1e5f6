// Host containers: an ordered list of typed streams (a four-character type
// and bytes), e.g. a file name "FNAM", a picture size "SIZE" and file data
// "FILE".
#pragma once

#include <cstdint>
#include <vector>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"
#include "hostsdk/QuadChar.h"

namespace fmx {

class Text;

class FMX_API BinaryData {
public:
    BinaryData();
    // A copy is a snapshot: streams still being built in `other` are complete
    // in the copy and the copy has no open streaming contexts.
    BinaryData(const BinaryData& other);
    BinaryData(BinaryData&& other) noexcept;
    BinaryData& operator=(const BinaryData& other);
    BinaryData& operator=(BinaryData&& other) noexcept;
    ~BinaryData();

    // A container for file data: a "FNAM" stream with `name` and a "FILE"
    // stream with `amount` bytes from `buffer` (none when buffer is null).
    BinaryData(const Text& name, FMX_UInt32 amount, void* buffer);
    // A container being built: a "FNAM" stream with `name` and an open "FILE"
    // stream whose new streaming context is stored in `*context`.
    BinaryData(const Text& name, FMX_UInt32* context);

    // Streams and bytes only; open contexts do not take part.
    bool operator==(const BinaryData& other) const;
    bool operator!=(const BinaryData& other) const;

    FMX_Int32 GetCount() const;
    // Index of the first stream of that type, -1 when there is none.
    FMX_Int32 GetIndex(const QuadChar& dataType) const;
    // Sum of all stream sizes.
    FMX_UInt32 GetTotalSize() const;
    // kErrInvalidArgument for an index outside [0, GetCount()).
    FMX_ErrorCode GetType(FMX_Int32 index, QuadChar& dataType) const;
    // 0 for an index outside [0, GetCount()).
    FMX_UInt32 GetSize(FMX_Int32 index) const;
    // Copies up to `amount` bytes from `offset` of the stream; bytes past the
    // stream's end are not written. kErrInvalidArgument for a bad index or a
    // null buffer with a non-zero amount.
    FMX_ErrorCode GetData(FMX_Int32 index, FMX_UInt32 offset, FMX_UInt32 amount, void* buffer) const;

    // Appends a stream. kErrInvalidArgument for a null buffer with a non-zero amount.
    FMX_ErrorCode Add(const QuadChar& dataType, FMX_UInt32 amount, const void* buffer);
    // Removes the first stream of that type; false when there is none.
    bool Remove(const QuadChar& dataType);
    void RemoveAll();

    // The "FNAM" stream holds a UTF-8 file name. kErrNotFound (text emptied)
    // when there is none.
    FMX_ErrorCode GetFNAMData(Text& filepathlist) const;
    FMX_ErrorCode AddFNAMData(const Text& filepathlist);
    // The "SIZE" stream holds width and height as two big-endian 16-bit values.
    FMX_ErrorCode GetSIZEData(FMX_Int16& width, FMX_Int16& height) const;
    FMX_ErrorCode AddSIZEData(FMX_Int16 width, FMX_Int16 height);

    // Begins a stream built in pieces; `*context` receives a context value
    // that is unique in the process. kErrInvalidArgument for a null pointer.
    FMX_ErrorCode AddBegin(const QuadChar& dataType, FMX_UInt32* context);
    // kErrInvalidArgument for a context that is not open in this container.
    FMX_ErrorCode AddAppend(FMX_UInt32 context, FMX_UInt32 amount, const void* buffer);
    FMX_ErrorCode AddFinish(FMX_UInt32 context);

    // Host side: whether a streaming context is still open here.
    bool IsOpenContext(FMX_UInt32 context) const;

private:
    struct Stream {
        QuadChar type;
        std::vector<std::uint8_t> bytes;
        FMX_UInt32 open_context;  // 0 once finished
    };
    const Stream* stream_at(FMX_Int32 index) const;
    Stream* open_stream(FMX_UInt32 context);

    std::vector<Stream> streams_;
};

}  // namespace fmx
