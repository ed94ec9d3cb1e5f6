#pragma once

// Stand-ins for the two pipes between the bridge and its child, as stdio
// streams over memory:
//  - ScriptedChildOutput plays the child's standard output from a fixed byte
//    string and ends where the string ends (end of stream, never a wait);
//  - AnswerSink takes the bridge's frames to the child and throws them away,
//    keeping only the int64 fields of answer bodies, which are the tokens the
//    bridge hands out.
//
// A child can only use tokens it was given, and tokens are addresses, so no
// fixed input could name a live host object. The input therefore names them
// by placeholder: the eight bytes "#TOKEN" followed by a big-endian index are
// replaced, at the moment the bridge reads them, by a token from the list of
// tokens known so far (the call's own values, then everything the bridge
// answered). Stale tokens stay on the list: using them must be harmless too.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "TokenTable.h"

namespace corvane {
namespace fuzzing {

class KnownTokens {
public:
    static constexpr size_t capacity = 256;

    void add(Token token);
    // Token number index, counted round the list; 0 while the list is empty.
    Token pick(size_t index) const;

private:
    std::vector<Token> tokens;
    size_t added = 0;
};

class ScriptedChildOutput {
public:
    static constexpr char placeholder_magic[] = "#TOKEN";
    static constexpr size_t magic_length = sizeof(placeholder_magic) - 1;
    static constexpr size_t placeholder_length = 8;

    ScriptedChildOutput(const uint8_t* data, size_t size, const KnownTokens& tokens);
    ScriptedChildOutput(const ScriptedChildOutput&) = delete;
    ScriptedChildOutput& operator=(const ScriptedChildOutput&) = delete;

    // A new unbuffered stream over the bytes: each read the bridge makes
    // reaches this object at once, so placeholders are resolved no earlier
    // than the bridge asks for them. The stream's owner closes it; this
    // object must outlive it.
    std::FILE* open();
    size_t remaining() const { return size - position; }

private:
    static ssize_t read(void* cookie, char* buffer, size_t count);
    uint8_t byte_at(size_t offset);

    const uint8_t* data;
    size_t size;
    size_t position = 0;
    const KnownTokens& tokens;
    // Placeholder start → its eight bytes once resolved (empty before).
    std::map<size_t, std::vector<uint8_t>> placeholders;
};

class AnswerSink {
public:
    explicit AnswerSink(KnownTokens& tokens) : tokens(tokens) {}
    AnswerSink(const AnswerSink&) = delete;
    AnswerSink& operator=(const AnswerSink&) = delete;

    // A new fully buffered stream; the bridge flushes it after every field,
    // so each write that arrives here is one field. Same ownership as above.
    std::FILE* open();

private:
    static ssize_t write(void* cookie, const char* buffer, size_t count);

    KnownTokens& tokens;
    // Fields of the current frame so far; its first three are the thread,
    // session and file ids, the frame ends with the one byte 0xFF.
    size_t fields_in_frame = 0;
};

}  // namespace fuzzing
}  // namespace corvane
