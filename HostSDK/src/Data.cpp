#include "hostsdk/Data.h"

#include <cctype>
#include <string>

namespace fmx {

namespace {

// Host-style reading of text as a number: a well-formed number as it is,
// otherwise the digits it contains ("abc12.5x" is 12.5, a minus sign before
// the first digit counts), 0 when it has none.
FixPt number_from_text(const Text& text) {
    FixPt number;
    const std::string utf8 = text.GetUTF8();
    if (number.AssignText(utf8)) return number;
    std::string digits;
    bool negative = false;
    bool seen_point = false;
    for (const char c : utf8) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        } else if (c == '.' && !seen_point) {
            digits.push_back(c);
            seen_point = true;
        } else if (c == '-' && digits.empty()) {
            negative = true;
        }
    }
    if (digits.find_first_of("0123456789") == std::string::npos) return number;
    if (digits.back() == '.') digits.pop_back();
    if (number.AssignText(digits) && negative) number.Negate();
    return number;
}

Data::DataType effective_date_type(Data::DataType type) {
    return (type == Data::kDTDate || type == Data::kDTTime) ? type : Data::kDTTimeStamp;
}

// Keeps the parts of `dateTime` that a value of `type` holds.
DateTime date_time_part(const DateTime& dateTime, Data::DataType type) {
    DateTime part;
    if (type != Data::kDTTime) part.SetDaysSinceEpoch(dateTime.GetDaysSinceEpoch());
    if (type != Data::kDTDate) {
        FixPt secs;
        dateTime.GetSecsSinceMidnight(secs);
        part.SetSecsSinceMidnight(secs);
    }
    return part;
}

FixPt number_from_date_time(const DateTime& dateTime, Data::DataType type) {
    FixPt number;
    switch (type) {
        case Data::kDTDate:
            number.AssignInt(dateTime.GetDaysSinceEpoch());
            break;
        case Data::kDTTime:
            dateTime.GetSecsSinceMidnight(number);
            break;
        default:
            dateTime.GetSecondsSinceEpoch(number);
            break;
    }
    return number;
}

std::string text_from_date_time(const DateTime& dateTime, Data::DataType type) {
    switch (type) {
        case Data::kDTDate:
            return dateTime.DateText();
        case Data::kDTTime:
            return dateTime.TimeText();
        default:
            return dateTime.TimeStampText();
    }
}

}  // namespace

Data::Data() : native_type_(kDTInvalid), has_value_(false) {}

Data::Data(const Data& other)
    : native_type_(other.native_type_),
      locale_(other.locale_),
      number_(other.number_),
      timestamp_(other.timestamp_),
      binary_(other.binary_),
      has_value_(other.has_value_) {
    const std::lock_guard<std::mutex> guard(other.container_text_lock_);
    text_ = other.text_;
}

Data::Data(Data&& other) noexcept
    : native_type_(other.native_type_),
      locale_(other.locale_),
      text_(std::move(other.text_)),
      number_(other.number_),
      timestamp_(other.timestamp_),
      binary_(std::move(other.binary_)),
      has_value_(other.has_value_) {}

Data& Data::operator=(const Data& other) {
    if (this != &other) {
        Data copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Data& Data::operator=(Data&& other) noexcept {
    native_type_ = other.native_type_;
    locale_ = other.locale_;
    text_ = std::move(other.text_);
    number_ = other.number_;
    timestamp_ = other.timestamp_;
    binary_ = std::move(other.binary_);
    has_value_ = other.has_value_;
    return *this;
}

Data::~Data() = default;

bool Data::IsEmpty() const {
    if (!has_value_) return true;
    if (native_type_ == kDTBinary) return binary_.GetCount() == 0;
    return text_.GetSize() == 0;
}

bool Data::IsValid() const { return native_type_ != kDTInvalid; }

void Data::Clear(DataType newNativeType) {
    native_type_ = newNativeType;
    locale_ = Locale();
    text_ = Text();
    number_ = FixPt();
    timestamp_ = DateTime();
    binary_.RemoveAll();
    has_value_ = false;
}

void Data::refresh_container_text() const {
    Text name;
    binary_.GetFNAMData(name);
    const std::lock_guard<std::mutex> guard(container_text_lock_);
    // Write only on a change, so that readers of the old reference on other
    // threads are not disturbed by a refresh that changes nothing.
    if (name != text_) text_ = name;
}

const Text& Data::GetAsText() const {
    if (native_type_ == kDTBinary) refresh_container_text();
    return text_;
}

const FixPt& Data::GetAsNumber() const { return number_; }

const DateTime& Data::GetAsTimeStamp() const { return timestamp_; }

bool Data::GetAsBoolean() const { return number_.AsBool(); }

const BinaryData& Data::GetBinaryData() const { return binary_; }

BinaryData& Data::GetBinaryData() { return binary_; }

const Locale& Data::GetLocale() const { return locale_; }

Data::DataType Data::GetNativeType() const { return native_type_; }

// Each setter builds the new value apart and then takes it over, so that an
// argument that refers into this value (d.SetAsText(d.GetAsText(), ...))
// is read before anything is replaced.
void Data::SetAsText(const Text& text, const Locale& locale, DataType nativeType) {
    Data value;
    value.locale_ = locale;
    value.text_ = text;
    value.has_value_ = true;
    switch (nativeType) {
        case kDTNumber:
        case kDTBoolean:
            value.native_type_ = nativeType;
            value.number_ = number_from_text(text);
            value.timestamp_.SetSecondsSinceEpoch(value.number_);
            break;
        case kDTDate:
        case kDTTime:
        case kDTTimeStamp: {
            value.native_type_ = nativeType;
            DateTime parsed;
            if (parsed.AssignText(text.GetUTF8())) {
                value.timestamp_ = date_time_part(parsed, nativeType);
                value.number_ = number_from_date_time(value.timestamp_, nativeType);
            } else {
                value.number_ = number_from_text(text);
            }
            break;
        }
        default:
            value.native_type_ = kDTText;
            value.number_ = number_from_text(text);
            if (!value.timestamp_.AssignText(text.GetUTF8())) {
                value.timestamp_.SetSecondsSinceEpoch(value.number_);
            }
            break;
    }
    *this = std::move(value);
}

void Data::SetAsNumber(const FixPt& number, DataType nativeType) {
    if (nativeType == kDTBoolean) {
        SetAsBoolean(number.AsBool());
        return;
    }
    Data value;
    value.native_type_ = kDTNumber;
    value.number_ = number;
    value.text_ = Text(number.AsText().c_str());
    value.timestamp_.SetSecondsSinceEpoch(number);
    value.has_value_ = true;
    *this = std::move(value);
}

void Data::SetAsBoolean(bool flag) {
    Data value;
    value.native_type_ = kDTBoolean;
    value.number_.AssignInt(flag ? 1 : 0);
    value.text_ = Text(flag ? "1" : "0");
    value.has_value_ = true;
    *this = std::move(value);
}

void Data::SetDateTime(const DateTime& dateTime, DataType dateType, DataType nativeType) {
    const DataType parts = effective_date_type(dateType);
    const DataType reported =
        (nativeType == kDTDate || nativeType == kDTTime || nativeType == kDTTimeStamp) ? nativeType : parts;
    Data value;
    value.native_type_ = reported;
    value.timestamp_ = date_time_part(dateTime, parts);
    value.number_ = number_from_date_time(value.timestamp_, reported);
    value.text_ = Text(text_from_date_time(value.timestamp_, reported).c_str());
    value.has_value_ = true;
    *this = std::move(value);
}

bool Data::SetBinaryData(const BinaryData& binaryData, bool /*forceByteOrder*/) {
    Data value;
    value.native_type_ = kDTBinary;
    value.binary_ = binaryData;
    value.binary_.GetFNAMData(value.text_);
    value.has_value_ = true;
    *this = std::move(value);
    return true;
}

bool Data::operator==(const Data& other) const {
    if (native_type_ != other.native_type_) return false;
    if (native_type_ == kDTBinary) return binary_ == other.binary_;
    return GetAsText() == other.GetAsText();
}

bool Data::operator!=(const Data& other) const { return !(*this == other); }

}  // namespace fmx
