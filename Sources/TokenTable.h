#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

namespace corvane {

// A token names a host object by its address in this process; the child
// only ever sends back tokens it was given.
using Token = int64_t;

// The kind of host object a token must name for a callback to use it.
enum class TokenType : uint8_t {
    data,
    text,
    binary_data,
    row_vect,
    data_vect,
    date_time,
    quad_char,
    locale,
    fix_pt,
    char_style,
    color
};

// The host class a token type stands for ("fmx::Data" ...), for log statements.
const char* token_type_name(TokenType type);

struct TypedToken {
    Token token;
    TokenType type;

    bool operator<(const TypedToken& other) const {
        return token != other.token ? token < other.token : type < other.type;
    }
    bool operator==(const TypedToken& other) const { return token == other.token && type == other.type; }
};

template <class T>
Token token_of(const T& object) {
    return static_cast<Token>(reinterpret_cast<intptr_t>(&object));
}

// The tokens the child may use: every token handed out whose object is still
// alive, with the type of object it names. Nothing the child sends is taken
// as an address unless it is listed here with the expected type.
//
// A token lives in scopes: the objects held for a thread (until that thread's
// memory is cleared), the host-owned values of a call in progress (until the
// call ends), or the object it was reached through (as long as that lives).
// A token listed in several scopes lives until the last one is released.
//
// Not thread-safe: the owner serialises every access.
class TokenTable {
public:
    using CallScopeId = uint64_t;

    // An object created and held for the child on behalf of a thread.
    void add_held(int64_t thread_id, TypedToken token);
    // An object reached through a live one (the text inside a value, a row of
    // a result); it dies with its owner. Ignored when the owner is not live.
    void add_derived(TypedToken owner, TypedToken derived);
    // Host-owned values valid for the duration of one call.
    CallScopeId add_call_scope(const std::vector<TypedToken>& tokens);

    void release_call_scope(CallScopeId scope);
    void release_thread(int64_t thread_id);
    void release_all_held();

    bool is_live(TypedToken token) const;
    size_t live_count() const { return entries.size(); }

private:
    struct Entry {
        size_t scopes = 0;
        std::set<TypedToken> derived;
    };

    void add_reference(TypedToken token);
    void drop_reference(TypedToken token);

    std::map<TypedToken, Entry> entries;
    std::unordered_map<int64_t, std::vector<TypedToken>> held_by_thread;
    std::unordered_map<CallScopeId, std::vector<TypedToken>> call_scopes;
    CallScopeId next_call_scope = 1;
};

}  // namespace corvane
