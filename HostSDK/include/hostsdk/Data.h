// Host values: text, number, date, time, timestamp, container or boolean,
// with the native type that tells which one the value is.
#pragma once

#include <mutex>

#include "hostsdk/BinaryData.h"
#include "hostsdk/CallBlock.h"
#include "hostsdk/DateTime.h"
#include "hostsdk/Export.h"
#include "hostsdk/FixPt.h"
#include "hostsdk/Locale.h"
#include "hostsdk/Text.h"

namespace fmx {

class FMX_API Data {
public:
    enum DataType {
        kDTInvalid = 0,
        kDTText = 1,
        kDTNumber = 2,
        kDTDate = 3,
        kDTTime = 4,
        kDTTimeStamp = 5,
        kDTBinary = 6,
        kDTBoolean = 7
    };

    // Empty, native type kDTInvalid.
    Data();
    Data(const Data& other);
    Data(Data&& other) noexcept;
    Data& operator=(const Data& other);
    Data& operator=(Data&& other) noexcept;
    ~Data();

    // Empty text, empty container, or (only as text) nothing at all.
    bool IsEmpty() const;
    bool IsValid() const;
    void Clear(DataType newNativeType = kDTInvalid);

    // Every kind has a text form: numbers exactly ("3"), dates and times in
    // the forms of DateTime, a container its file name, a boolean "1" or "0".
    // The reference stays valid as long as the value is not set again.
    const Text& GetAsText() const;
    // Text is read as a decimal number (0 when it is none), a date as its day
    // number, a time as seconds, a timestamp as seconds since 1/1/1.
    const FixPt& GetAsNumber() const;
    // Text is read with DateTime::AssignText, a number as seconds since 1/1/1.
    const DateTime& GetAsTimeStamp() const;
    bool GetAsBoolean() const;
    // The container inside; an empty one unless the value is a container.
    // Changes made through the non-const form are the value's own (its text
    // form follows the container's file name).
    const BinaryData& GetBinaryData() const;
    BinaryData& GetBinaryData();
    const Locale& GetLocale() const;
    DataType GetNativeType() const;

    // Keeps `text` (with its styles) as the value's text form. A nativeType
    // of number, date, time, timestamp or boolean also reads the text as
    // that kind; kDTInvalid and kDTBinary are taken as kDTText.
    void SetAsText(const Text& text, const Locale& locale, DataType nativeType = kDTText);
    void SetAsNumber(const FixPt& number, DataType nativeType = kDTNumber);
    void SetAsBoolean(bool value);
    // dateType picks the parts of `dateTime`: kDTDate the date, kDTTime the
    // time of day, kDTTimeStamp (and any other) both. nativeType is the
    // native type the value then reports (kDTDate, kDTTime or kDTTimeStamp;
    // anything else is taken as dateType).
    void SetDateTime(const DateTime& dateTime, DataType dateType, DataType nativeType);
    // The value becomes a copy of the container. forceByteOrder is accepted
    // for compatibility; streams are stored as given. Returns true.
    bool SetBinaryData(const BinaryData& binaryData, bool forceByteOrder = false);

    // Same native type and same content.
    bool operator==(const Data& other) const;
    bool operator!=(const Data& other) const;

private:
    void refresh_container_text() const;

    DataType native_type_;
    Locale locale_;
    // Every form is kept up to date when the value is set, so that const
    // readers on several threads only read.
    mutable Text text_;
    FixPt number_;
    DateTime timestamp_;
    BinaryData binary_;
    bool has_value_;
    // Guards the one form that can change under a const reader: the text of a
    // container that was changed in place.
    mutable std::mutex container_text_lock_;
};

}  // namespace fmx
