// Callbacks on host containers: reading and building them stream by stream,
// and creating them from a file, from bytes or piece by piece through a
// streaming context. Each handler reads its whole payload, then returns the
// act that runs it; a token that names no live container or value gets an
// answer of the usual shape with neutral values.

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FMUtils.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"

namespace corvane {

namespace {

using Units = std::vector<uint16_t>;
using Bytes = std::vector<uint8_t>;

const fmx::QuadChar file_name_stream_type("FNAM");

Token read_token(FILE_PTR in) { return StreamUtils::read64_be(in); }

std::string to_utf8(const Units& units) { return utf16_to_utf8_string(std::u16string(units.begin(), units.end())); }

fmx::TextUniquePtr make_text(const Units& units) {
    fmx::TextUniquePtr text;
    static const FMX_Unichar no_units[1] = {0};
    text->AssignUnicodeWithLength(units.empty() ? no_units : units.data(), static_cast<FMX_UInt32>(units.size()));
    return text;
}

Units units_of(const fmx::Text& text) {
    Units units(text.GetSize(), 0);
    if (!units.empty()) text.GetUnicode(units.data(), 0, static_cast<FMX_UInt32>(units.size()));
    return units;
}

// A stream type is four 8-bit characters; the child sends it as a text. A
// shorter text is padded with spaces, a character beyond 8 bits becomes '?'.
fmx::QuadChar quad_char_of(const Units& type) {
    char chars[4] = {' ', ' ', ' ', ' '};
    for (size_t i = 0; i < 4 && i < type.size(); ++i)
        chars[i] = type[i] <= 0xFF ? static_cast<char>(type[i]) : '?';
    return fmx::QuadChar(chars[0], chars[1], chars[2], chars[3]);
}

Units units_of(const fmx::QuadChar& type) {
    Units units;
    for (int i = 0; i < 4; ++i) units.push_back(type[i]);
    return units;
}

// A byte count from the child, checked before anything is allocated for it.
void check_byte_count(int64_t count, const char* what) {
    if (count < 0 || count > PipeParent::max_container_byte_count)
        throw tobrin_exception(fmt::format("Invalid {} {:d} from child process (at most {:d} bytes)", what, count,
                                           PipeParent::max_container_byte_count));
}

// A count of raw bytes in the payload, then the bytes. A bad count cannot be
// read past, so it throws while the payload is being read.
Bytes read_counted_raw_bytes(FILE_PTR in, const char* what) {
    const int32_t count = StreamUtils::read32_be(in);
    check_byte_count(count, what);
    return StreamUtils::read_announced_bytes(in, static_cast<size_t>(count));
}

// Up to `length` bytes of the file at `path` in a zero-filled buffer of
// exactly `length` bytes.
Bytes read_file_prefix(const Units& path, size_t length) {
    const std::string utf8_path = to_utf8(path);
    // A path cut at a NUL unit would name another file than the one asked for.
    const bool has_nul = std::find(path.begin(), path.end(), 0) != path.end();
    std::unique_ptr<FILE, int (*)(FILE*)> file(has_nul ? nullptr : std::fopen(utf8_path.c_str(), "rb"), &std::fclose);
    if (!file) throw tobrin_exception("Unable to open file path at " + utf8_path);
    Bytes buffer(length, 0);
    const size_t read = buffer.empty() ? 0 : std::fread(buffer.data(), 1, buffer.size(), file.get());
    LogManager::debug("FMBinary bytes read: {:d}", read);
    // A read error (a folder, a device) would pass zeros off as the file's content.
    if (std::ferror(file.get())) {
        const int err = errno;
        throw tobrin_exception(fmt::format("Unable to read file at {}: {}", utf8_path, PosixUtils::str_error(err)),
                               err);
    }
    return buffer;
}

}  // namespace

FMX_UInt32 PipeParent::latest_binary_context(const CallbackRequest& request) const {
    const auto found = fmBinaryContextHolder.find(request.thread_id);
    if (found == fmBinaryContextHolder.end() || found->second.empty()) {
        const std::string message =
            fmt::format("No streaming context for {} on thread {:d}", to_string(request.code), request.thread_id);
        LogManager::error("{}", message);
        throw tobrin_exception(message);
    }
    return *found->second.back();
}

PipeParent::PreparedCallback PipeParent::on_get_fm_data_as_fm_binary(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        Token binary_token = 0;
        if (data != nullptr) {
            binary_token = token_of(data->GetBinaryData());
            add_derived_token({data_token, TokenType::data}, {binary_token, TokenType::binary_data});
        }
        reply.add_int64(binary_token);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_count(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    return [this, request, binary_token] {
        CallbackReply reply;
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        reply.add_int32(binary != nullptr ? binary->GetCount() : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_type(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    const int32_t index = StreamUtils::read32_be(parent_read_fp);
    return [this, request, binary_token, index] {
        CallbackReply reply;
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) {
            reply.add_text(Units());
            return reply;
        }
        fmx::QuadCharUniquePtr type;
        binary->GetType(index, *type);
        reply.add_text(units_of(*type));
        reply.hold_after_answer(std::move(type));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_data(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    const int32_t index = StreamUtils::read32_be(parent_read_fp);
    const int32_t offset = StreamUtils::read32_be(parent_read_fp);
    const int32_t size = StreamUtils::read32_be(parent_read_fp);
    return [this, request, binary_token, index, offset, size] {
        check_byte_count(size, "stream buffer size");
        if (offset < 0) throw tobrin_exception(fmt::format("Invalid offset {:d} for reading a stream", offset));
        CallbackReply reply;
        // Exactly the size asked for: bytes the host does not fill stay zero.
        Bytes buffer(static_cast<size_t>(size), 0);
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary != nullptr && !buffer.empty())
            binary->GetData(index, static_cast<FMX_UInt32>(offset), static_cast<FMX_UInt32>(size), buffer.data());
        reply.add_raw_bytes(std::move(buffer));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_add_stream_data(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    Units type = StreamUtils::read_unicode_bytes(parent_read_fp);
    Bytes bytes = read_counted_raw_bytes(parent_read_fp, "stream data size");
    return [this, request, binary_token, type = std::move(type), bytes = std::move(bytes)] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        fmx::QuadCharUniquePtr stream_type(quad_char_of(type));
        const FMX_ErrorCode result =
            binary->Add(*stream_type, static_cast<FMX_UInt32>(bytes.size()), bytes.empty() ? nullptr : bytes.data());
        LogManager::debug("Add stream data result: {:d}", result);
        reply.hold_after_answer(std::move(stream_type));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_remove_stream(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    Units type = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [this, request, binary_token, type = std::move(type)] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        fmx::QuadCharUniquePtr stream_type(quad_char_of(type));
        binary->Remove(*stream_type);
        reply.hold_after_answer(std::move(stream_type));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_size(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    const int32_t index = StreamUtils::read32_be(parent_read_fp);
    return [this, request, binary_token, index] {
        CallbackReply reply;
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        reply.add_int32(binary != nullptr ? static_cast<int32_t>(binary->GetSize(index)) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_total_size(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    return [this, request, binary_token] {
        CallbackReply reply;
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        reply.add_int32(binary != nullptr ? static_cast<int32_t>(binary->GetTotalSize()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_fm_binary(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        fmx::BinaryDataUniquePtr binary;
        reply.add_int64(token_of(*binary));
        reply.hold_after_answer(std::move(binary));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_add_stream_fnam(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    Units name = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [this, request, binary_token, name = std::move(name)] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        // A container has one file name: every earlier one goes.
        while (binary->Remove(file_name_stream_type)) {
        }
        fmx::TextUniquePtr text = make_text(name);
        const FMX_ErrorCode result = binary->AddFNAMData(*text);
        LogManager::debug("Add stream filename result: {:d}", result);
        reply.hold_after_answer(std::move(text));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_add_stream_size(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    const int16_t width = StreamUtils::read16_be(parent_read_fp);
    const int16_t height = StreamUtils::read16_be(parent_read_fp);
    return [this, request, binary_token, width, height] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        const FMX_ErrorCode result = binary->AddSIZEData(width, height);
        LogManager::debug("Add stream size result: {:d}", result);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_write_fm_binary_to_fm_data(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    LogManager::debug("FMData token: {:d}", data_token);
    const Token binary_token = read_token(parent_read_fp);
    LogManager::debug("FMBinary token: {:d}", binary_token);
    return [this, request, data_token, binary_token] {
        CallbackReply reply;
        auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (data == nullptr || binary == nullptr) return reply;
        if (binary == &data->GetBinaryData()) {
            // The value's own container, which setting replaces.
            const fmx::BinaryData copy(*binary);
            data->SetBinaryData(copy, true);
        } else {
            data->SetBinaryData(*binary, true);
        }
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_stream_fnam(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    return [this, request, binary_token] {
        CallbackReply reply;
        const auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) {
            reply.add_text(Units());
            return reply;
        }
        fmx::TextUniquePtr name;
        const FMX_ErrorCode result = binary->GetFNAMData(*name);
        LogManager::debug("Get stream filename result: {:d}", result);
        reply.add_text(units_of(*name));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_fm_binary_from_file(const CallbackRequest&) {
    Units path = StreamUtils::read_unicode_bytes(parent_read_fp);
    Units name = StreamUtils::read_unicode_bytes(parent_read_fp);
    const int64_t length = StreamUtils::read64_be(parent_read_fp);
    LogManager::debug("FMBinary received length: {:d}", length);
    return [path = std::move(path), name = std::move(name), length] {
        // Within the bound the length also fits the host's 32-bit size.
        check_byte_count(length, "file length");
        Bytes buffer = read_file_prefix(path, static_cast<size_t>(length));
        CallbackReply reply;
        fmx::BinaryDataUniquePtr binary(*make_text(name), static_cast<FMX_UInt32>(buffer.size()),
                                        buffer.empty() ? nullptr : buffer.data());
        reply.add_int64(token_of(*binary));
        reply.hold_after_answer(std::move(binary));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_fm_binary_from_bytes(const CallbackRequest&) {
    Units name = StreamUtils::read_unicode_bytes(parent_read_fp);
    Bytes bytes = read_counted_raw_bytes(parent_read_fp, "container length");
    return [name = std::move(name), bytes = std::move(bytes)]() mutable {
        CallbackReply reply;
        fmx::BinaryDataUniquePtr binary(*make_text(name), static_cast<FMX_UInt32>(bytes.size()),
                                        bytes.empty() ? nullptr : bytes.data());
        reply.add_int64(token_of(*binary));
        reply.hold_after_answer(std::move(binary));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_fm_binary_with_context(const CallbackRequest&) {
    Units type = StreamUtils::read_unicode_bytes(parent_read_fp);
    Units name = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [type = std::move(type), name = std::move(name)] {
        CallbackReply reply;
        auto context = std::make_unique<FMX_UInt32>(0);
        const fmx::TextUniquePtr file_name = make_text(name);
        fmx::BinaryDataUniquePtr binary(*file_name, context.get());
        LogManager::debug("Filename for creating FM binary with context: {}", to_utf8(name));
        binary->RemoveAll();
        const FMX_ErrorCode name_error = binary->AddFNAMData(*file_name);
        if (name_error > 0) LogManager::warn("An error occurred adding filename data to container: {:d}", name_error);
        const FMX_ErrorCode begin_error = binary->AddBegin(quad_char_of(type), context.get());
        if (begin_error > 0)
            LogManager::warn("An error occurred beginning binary container data stream: {:d}", begin_error);
        reply.add_int64(token_of(*binary));
        reply.hold_after_answer(std::move(context));
        reply.hold_after_answer(std::move(binary));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_append_fm_binary_with_context(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    Bytes bytes = read_counted_raw_bytes(parent_read_fp, "appended data length");
    return [this, request, binary_token, bytes = std::move(bytes)] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        const FMX_UInt32 context = latest_binary_context(request);
        const FMX_ErrorCode result = binary->AddAppend(context, static_cast<FMX_UInt32>(bytes.size()),
                                                       bytes.empty() ? nullptr : bytes.data());
        if (result > 0) LogManager::warn("An error occurred appending to binary container data stream: {:d}", result);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_close_fm_binary_with_context(const CallbackRequest& request) {
    const Token binary_token = read_token(parent_read_fp);
    return [this, request, binary_token] {
        CallbackReply reply;
        auto* binary = resolve_token<fmx::BinaryData>(request, binary_token, TokenType::binary_data);
        if (binary == nullptr) return reply;
        const FMX_ErrorCode result = binary->AddFinish(latest_binary_context(request));
        if (result > 0) LogManager::warn("An error occurred finishing binary container data stream: {:d}", result);
        return reply;
    };
}

}  // namespace corvane
