#include <mutex>

#include "PipeParent.h"

namespace corvane {

namespace {

template <class Holder>
void hold_all(std::unordered_map<int64_t, std::vector<Holder>>& holder, bool& initialized, int64_t thread_id,
              std::vector<Holder>& objects, TokenTable* tokens, TokenType type) {
    if (objects.empty()) return;
    auto& held = holder[thread_id];
    for (Holder& object : objects) {
        if (tokens != nullptr) tokens->add_held(thread_id, TypedToken{token_of(*object), type});
        held.push_back(std::move(object));
    }
    objects.clear();
    initialized = true;
}

// Destroys the thread's objects; its entry stays.
template <class Holder>
void release_thread(std::unordered_map<int64_t, std::vector<Holder>>& holder, int64_t thread_id) {
    auto found = holder.find(thread_id);
    if (found != holder.end()) found->second.clear();
}

template <class Holder>
void release_all(std::unordered_map<int64_t, std::vector<Holder>>& holder, bool initialized) {
    if (initialized) holder.clear();
}

}  // namespace

bool PipeParent::check_token(const CallbackRequest& request, TypedToken token) const {
    if (token_table.is_live(token)) return true;
    LogManager::error("Invalid token {:d} for {} in {} on thread {:d}; answering a neutral value", token.token,
                      token_type_name(token.type), to_string(request.code), request.thread_id);
    return false;
}

void PipeParent::add_derived_token(TypedToken owner, TypedToken derived) { token_table.add_derived(owner, derived); }

void PipeParent::hold_new_objects(int64_t thread_id, NewHostObjects& objects) {
    TokenTable* tokens = &token_table;
    hold_all(fmTextHolder, fmTextHolderInitialized, thread_id, objects.of<fmx::TextUniquePtr>(), tokens,
             TokenType::text);
    hold_all(fmDataHolder, fmDataHolderInitialized, thread_id, objects.of<fmx::DataUniquePtr>(), tokens,
             TokenType::data);
    hold_all(fmBinaryHolder, fmBinaryHolderInitialized, thread_id, objects.of<fmx::BinaryDataUniquePtr>(), tokens,
             TokenType::binary_data);
    // A streaming context is never handed to the child as a token.
    hold_all(fmBinaryContextHolder, fmBinaryContextHolderInitialized, thread_id,
             objects.of<std::unique_ptr<FMX_UInt32>>(), nullptr, TokenType::data);
    hold_all(fmRowVectHolder, fmRowVectHolderInitialized, thread_id, objects.of<fmx::RowVectUniquePtr>(), tokens,
             TokenType::row_vect);
    hold_all(fmDateTimeHolder, fmDateTimeHolderInitialized, thread_id, objects.of<fmx::DateTimeUniquePtr>(), tokens,
             TokenType::date_time);
    hold_all(fmQuadCharHolder, fmQuadCharHolderInitialized, thread_id, objects.of<fmx::QuadCharUniquePtr>(), tokens,
             TokenType::quad_char);
    hold_all(fmLocaleHolder, fmLocaleHolderInitialized, thread_id, objects.of<fmx::LocaleUniquePtr>(), tokens,
             TokenType::locale);
    hold_all(fmNumberHolder, fmNumberHolderInitialized, thread_id, objects.of<fmx::FixPtUniquePtr>(), tokens,
             TokenType::fix_pt);
    hold_all(fmStyleHolder, fmStyleHolderInitialized, thread_id, objects.of<fmx::CharacterStyleUniquePtr>(), tokens,
             TokenType::char_style);
    hold_all(fmColorHolder, fmColorHolderInitialized, thread_id, objects.of<fmx::ColorUniquePtr>(), tokens,
             TokenType::color);
}

void PipeParent::release_thread_objects(int64_t thread_id) {
    // Tokens first: nothing may name an object once it is gone.
    token_table.release_thread(thread_id);
    release_thread(fmTextHolder, thread_id);
    release_thread(fmNumberHolder, thread_id);
    release_thread(fmDataHolder, thread_id);
    release_thread(fmStyleHolder, thread_id);
    release_thread(fmColorHolder, thread_id);
    release_thread(fmBinaryHolder, thread_id);
    release_thread(fmBinaryContextHolder, thread_id);
    release_thread(fmRowVectHolder, thread_id);
    release_thread(fmDateTimeHolder, thread_id);
    release_thread(fmQuadCharHolder, thread_id);
    release_thread(fmLocaleHolder, thread_id);
}

void PipeParent::clear_fm_type_refs_for_thread(int64_t thread_id) {
    std::lock_guard<std::mutex> tokens(token_lock);
    release_thread_objects(thread_id);
}

void PipeParent::clear_fm_type_refs() {
    LogManager::info("Clearing FM type refs");
    std::lock_guard<std::mutex> tokens(token_lock);
    token_table.release_all_held();
    release_all(fmTextHolder, fmTextHolderInitialized);
    release_all(fmNumberHolder, fmNumberHolderInitialized);
    release_all(fmDataHolder, fmDataHolderInitialized);
    release_all(fmStyleHolder, fmStyleHolderInitialized);
    release_all(fmColorHolder, fmColorHolderInitialized);
    release_all(fmBinaryHolder, fmBinaryHolderInitialized);
    release_all(fmBinaryContextHolder, fmBinaryContextHolderInitialized);
    release_all(fmRowVectHolder, fmRowVectHolderInitialized);
    release_all(fmDateTimeHolder, fmDateTimeHolderInitialized);
    release_all(fmQuadCharHolder, fmQuadCharHolderInitialized);
    release_all(fmLocaleHolder, fmLocaleHolderInitialized);
}

TokenTable::CallScopeId PipeParent::register_call_tokens(const std::vector<TypedToken>& tokens) {
    std::lock_guard<std::mutex> lock(token_lock);
    return token_table.add_call_scope(tokens);
}

void PipeParent::unregister_call_tokens(TokenTable::CallScopeId scope) {
    std::lock_guard<std::mutex> lock(token_lock);
    token_table.release_call_scope(scope);
}

bool PipeParent::is_token_live(TypedToken token) const {
    std::lock_guard<std::mutex> lock(token_lock);
    return token_table.is_live(token);
}

}  // namespace corvane
