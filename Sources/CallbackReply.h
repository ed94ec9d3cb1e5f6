#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "PipeMessageSource.h"
#include "hostsdk/fmx.h"

namespace corvane {

// Host objects that one callback created for the child. They are held for the
// exchange's thread once the answer carrying their tokens has been sent.
class NewHostObjects {
public:
    template <class Holder>
    void add(Holder object) {
        std::get<std::vector<Holder>>(objects).push_back(std::move(object));
    }
    template <class Holder>
    std::vector<Holder>& of() {
        return std::get<std::vector<Holder>>(objects);
    }

private:
    std::tuple<std::vector<fmx::TextUniquePtr>, std::vector<fmx::DataUniquePtr>, std::vector<fmx::BinaryDataUniquePtr>,
               std::vector<std::unique_ptr<FMX_UInt32>>, std::vector<fmx::RowVectUniquePtr>,
               std::vector<fmx::DateTimeUniquePtr>, std::vector<fmx::QuadCharUniquePtr>,
               std::vector<fmx::LocaleUniquePtr>, std::vector<fmx::FixPtUniquePtr>,
               std::vector<fmx::CharacterStyleUniquePtr>, std::vector<fmx::ColorUniquePtr>>
        objects;
};

// The outcome of one callback: the fields of its callback_result body in
// wire order (none for callbacks that answer nothing), the objects to hold
// and what to do once the answer is out.
class CallbackReply {
public:
    CallbackReply& add_int16(int16_t value);
    CallbackReply& add_int32(int32_t value);
    CallbackReply& add_int64(int64_t value);
    // One byte, 0 or 1.
    CallbackReply& add_byte(bool value);
    // A unicode field.
    CallbackReply& add_text(std::vector<uint16_t> units);
    // Bytes as they are, without a count: the child knows how many to expect.
    CallbackReply& add_raw_bytes(std::vector<uint8_t> bytes);

    template <class Holder>
    void hold_after_answer(Holder object) {
        new_objects.add(std::move(object));
    }
    void after_answer(std::function<void()> step) { after_answer_steps.push_back(std::move(step)); }

    // Writes the fields with the wire primitives; empty when there are none.
    PipeMessageSource message_source() const;
    NewHostObjects& objects_to_hold() { return new_objects; }
    void run_after_answer_steps() const;

private:
    std::vector<std::function<void(FILE_PTR)>> fields;
    NewHostObjects new_objects;
    std::vector<std::function<void()>> after_answer_steps;
};

}  // namespace corvane
