#include "TokenTable.h"

#include <utility>

namespace corvane {

const char* token_type_name(TokenType type) {
    switch (type) {
        case TokenType::data: return "fmx::Data";
        case TokenType::text: return "fmx::Text";
        case TokenType::binary_data: return "fmx::BinaryData";
        case TokenType::row_vect: return "fmx::RowVect";
        case TokenType::data_vect: return "fmx::DataVect";
        case TokenType::date_time: return "fmx::DateTime";
        case TokenType::quad_char: return "fmx::QuadChar";
        case TokenType::locale: return "fmx::Locale";
        case TokenType::fix_pt: return "fmx::FixPt";
        case TokenType::char_style: return "fmx::CharacterStyle";
        case TokenType::color: return "fmx::CharacterStyle::Color";
    }
    return "unknown";
}

void TokenTable::add_reference(TypedToken token) { ++entries[token].scopes; }

void TokenTable::drop_reference(TypedToken token) {
    auto found = entries.find(token);
    if (found == entries.end()) return;
    if (--found->second.scopes > 0) return;
    std::set<TypedToken> derived = std::move(found->second.derived);
    entries.erase(found);
    for (const TypedToken& child : derived) drop_reference(child);
}

void TokenTable::add_held(int64_t thread_id, TypedToken token) {
    held_by_thread[thread_id].push_back(token);
    add_reference(token);
}

void TokenTable::add_derived(TypedToken owner, TypedToken derived) {
    if (owner == derived) return;
    auto found = entries.find(owner);
    if (found == entries.end()) return;
    if (found->second.derived.insert(derived).second) add_reference(derived);
}

TokenTable::CallScopeId TokenTable::add_call_scope(const std::vector<TypedToken>& tokens) {
    const CallScopeId scope = next_call_scope++;
    call_scopes[scope] = tokens;
    for (const TypedToken& token : tokens) add_reference(token);
    return scope;
}

void TokenTable::release_call_scope(CallScopeId scope) {
    auto found = call_scopes.find(scope);
    if (found == call_scopes.end()) return;
    const std::vector<TypedToken> tokens = std::move(found->second);
    call_scopes.erase(found);
    for (const TypedToken& token : tokens) drop_reference(token);
}

void TokenTable::release_thread(int64_t thread_id) {
    auto found = held_by_thread.find(thread_id);
    if (found == held_by_thread.end()) return;
    const std::vector<TypedToken> tokens = std::move(found->second);
    found->second.clear();
    for (const TypedToken& token : tokens) drop_reference(token);
}

void TokenTable::release_all_held() {
    auto threads = std::move(held_by_thread);
    held_by_thread.clear();
    for (const auto& thread_tokens : threads)
        for (const TypedToken& token : thread_tokens.second) drop_reference(token);
}

bool TokenTable::is_live(TypedToken token) const { return entries.count(token) != 0; }

}  // namespace corvane
