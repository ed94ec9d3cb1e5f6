// Whatever the child writes, the bridge must end each exchange with a result
// or a tobrin_exception: no crash, no hang, no leak, no undefined behaviour.
//
// Input: one byte of settings, then the child's standard output. Settings:
// bit 0 selects host API version 55 (else 62), bits 1-2 the number of
// parameters of each call (0-3). Exchanges of one host thread follow each
// other until the stream ends or breaks, each with fresh parameter and result
// values, so that tokens of earlier calls go stale.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "ChildStreams.h"
#include "PipeParent.h"
#include "QuietLog.h"
#include "exception/TobrinException.h"
#include "hostsdk/fmx.h"

namespace corvane {
namespace fuzzing {
namespace {

constexpr int64_t exchange_thread_id = 5;
constexpr size_t max_exchanges = 16;
const std::string quad_char = "Abcd";

// The host values of one call: its parameters and its result.
class CallValues {
public:
    CallValues(size_t parameter_count, KnownTokens& tokens) {
        for (size_t i = 0; i < parameter_count; ++i) {
            fmx::DataUniquePtr value;
            switch (i) {
                case 0: value->SetAsText(fmx::Text("Fuzz \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"), value->GetLocale()); break;
                case 1: value->SetAsNumber(fmx::FixPt(42)); break;
                default: break;  // empty
            }
            parameters->PushBack(*value);
        }
        for (FMX_UInt32 i = 0; i < parameters->Size(); ++i)
            typed.push_back({token_of(parameters->At(i)), TokenType::data});
        typed.push_back({token_of(*result), TokenType::data});
        for (const TypedToken& token : typed) tokens.add(token.token);
    }
    const std::vector<TypedToken>& tokens() const { return typed; }

private:
    fmx::DataVectUniquePtr parameters;
    fmx::DataUniquePtr result;
    std::vector<TypedToken> typed;
};

void run_exchanges(const uint8_t* data, size_t size) {
    const uint8_t settings = size > 0 ? data[0] : 0;
    const uint8_t* stream = size > 0 ? data + 1 : data;
    const size_t stream_size = size > 0 ? size - 1 : 0;

    // Registrations and scripts of an earlier input must not change this one.
    hostsim::Host::instance().reset();
    KnownTokens known;
    ScriptedChildOutput child_output(stream, stream_size, known);
    AnswerSink child_input(known);
    PipeParent parent;
    parent.init_params.api_version = (settings & 1) != 0 ? 55 : 62;
    parent.attach_child_streams(child_output.open(), child_input.open());
    const size_t parameter_count = (settings >> 1) & 3;
    const fmx::ExprEnv environment(0, 0);

    for (size_t round = 0; round < max_exchanges && child_output.remaining() > 0 && !parent.is_channel_broken();
         ++round) {
        const CallValues values(parameter_count, known);
        const PipeParent::ScopedCallTokens call_tokens(parent, values.tokens());
        try {
            parent.send_cmd(CodeToChild::do_function, quad_char, PipeMessageSource(), true, exchange_thread_id, 0,
                            0, environment);
        } catch (const tobrin_exception&) {
            // The one way an exchange may fail.
        }
    }
    // An exchange that ended without breaking the channel consumed its
    // messages whole: no header may be left pending.
    if (!parent.is_channel_broken() && parent.get_thread_id_for_last_msg() != 0) {
        std::fprintf(stderr, "a header is pending after the exchanges ended\n");
        std::abort();
    }
    parent.close_pipes();
}

}  // namespace
}  // namespace fuzzing
}  // namespace corvane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane::fuzzing::install_quiet_log();
    try {
        corvane::fuzzing::run_exchanges(data, size);
    } catch (const std::exception& e) {
        // Anything but a tobrin_exception breaks the exchange's contract.
        std::fprintf(stderr, "exchange ended with an unexpected exception: %s\n", e.what());
        std::abort();
    }
    return 0;
}
