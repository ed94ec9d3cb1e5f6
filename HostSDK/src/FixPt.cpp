#include "hostsdk/FixPt.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "hostsdk/Errors.h"

namespace fmx {

namespace {

// Digits a long double carries reliably; text output never shows more.
constexpr int kSignificantDigits = 18;

template <class Int>
Int saturate(long double value) {
    if (std::isnan(value)) return 0;
    const long double truncated = std::trunc(value);
    if (truncated <= static_cast<long double>(std::numeric_limits<Int>::min())) {
        return std::numeric_limits<Int>::min();
    }
    if (truncated >= static_cast<long double>(std::numeric_limits<Int>::max())) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(truncated);
}

std::string trim_blanks(const std::string& text) {
    constexpr const char* kBlanks = " \t\r\n";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

FixPt::FixPt(FMX_Int32 value, FMX_Int32 precision) : value_(value), precision_(kDefltFixedPrecision) {
    SetPrecision(precision);
}

FixPt::FixPt(FMX_Int32 value, const FixPt& precisionExample)
    : value_(value), precision_(precisionExample.precision_) {}

void FixPt::AssignInt(FMX_Int32 value) { value_ = value; }

void FixPt::AssignInt64(FMX_Int64 value) { value_ = static_cast<long double>(value); }

void FixPt::AssignDouble(double value) {
    // Go through the shortest decimal form so that 0.1 stays 0.1 and does not
    // carry the binary error of the double into the wider value.
    if (!std::isfinite(value)) {
        value_ = value;
        return;
    }
    const std::string shortest = fmt::format("{}", value);
    long double parsed = 0;
    const auto [end, ec] = std::from_chars(shortest.data(), shortest.data() + shortest.size(), parsed);
    value_ = (ec == std::errc() && end == shortest.data() + shortest.size()) ? parsed : value;
}

void FixPt::AssignFixPt(const FixPt& other) { value_ = other.value_; }

bool FixPt::AssignText(const std::string& text) {
    const std::string trimmed = trim_blanks(text);
    const char* begin = trimmed.data();
    const char* end = begin + trimmed.size();
    if (begin != end && *begin == '+') {
        ++begin;  // from_chars takes no plus sign
        if (begin != end && *begin == '-') return false;
    }
    if (begin == end) return false;
    long double parsed = 0;
    const auto [stop, ec] = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (ec != std::errc() || stop != end || !std::isfinite(parsed)) return false;
    value_ = parsed;
    return true;
}

FMX_Int32 FixPt::AsLong() const { return saturate<FMX_Int32>(value_); }

FMX_Int64 FixPt::AsLong64() const { return saturate<FMX_Int64>(value_); }

double FixPt::AsFloat() const { return static_cast<double>(value_); }

bool FixPt::AsBool() const { return !IsZero(); }

std::string FixPt::AsText() const {
    if (std::isnan(value_)) return "?";
    if (std::isinf(value_)) return value_ < 0 ? "-?" : "?";
    if (value_ == std::trunc(value_) && std::fabs(value_) < 1e18L) {
        return fmt::format("{}", static_cast<long long>(value_));
    }
    const long double magnitude = std::fabs(value_);
    const int integer_digits = magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
    const int decimals = std::clamp(kSignificantDigits - integer_digits, 0, static_cast<int>(precision_));
    std::string text = fmt::format("{:.{}f}", value_, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

FMX_Int32 FixPt::GetPrecision() const { return precision_; }

void FixPt::SetPrecision(FMX_Int32 precision) {
    precision_ = std::clamp<FMX_Int32>(precision, 0, kMaxFixedPrecision);
}

bool FixPt::IsZero() const { return value_ == 0; }
bool FixPt::IsNegative() const { return value_ < 0; }

void FixPt::Increment(FMX_Int32 n) { value_ += n; }
void FixPt::Decrement(FMX_Int32 n) { value_ -= n; }
void FixPt::Negate() { value_ = -value_; }

void FixPt::Add(const FixPt& arg, FixPt& result) const { result.value_ = value_ + arg.value_; }
void FixPt::Subtract(const FixPt& arg, FixPt& result) const { result.value_ = value_ - arg.value_; }
void FixPt::Multiply(const FixPt& arg, FixPt& result) const { result.value_ = value_ * arg.value_; }

FMX_ErrorCode FixPt::Divide(const FixPt& arg, FixPt& result) const {
    if (arg.IsZero()) return kErrInvalidArgument;
    result.value_ = value_ / arg.value_;
    return kErrNone;
}

FixPt FixPt::operator+(const FixPt& arg) const {
    FixPt result(0, *this);
    Add(arg, result);
    return result;
}

FixPt FixPt::operator-(const FixPt& arg) const {
    FixPt result(0, *this);
    Subtract(arg, result);
    return result;
}

FixPt FixPt::operator*(const FixPt& arg) const {
    FixPt result(0, *this);
    Multiply(arg, result);
    return result;
}

FixPt FixPt::operator/(const FixPt& arg) const {
    FixPt result(0, *this);
    if (Divide(arg, result) != kErrNone) throw std::domain_error("division by zero");
    return result;
}

FixPt FixPt::operator-() const {
    FixPt result(*this);
    result.Negate();
    return result;
}

bool FixPt::operator==(const FixPt& other) const { return value_ == other.value_; }
bool FixPt::operator!=(const FixPt& other) const { return value_ != other.value_; }
bool FixPt::operator<(const FixPt& other) const { return value_ < other.value_; }
bool FixPt::operator<=(const FixPt& other) const { return value_ <= other.value_; }
bool FixPt::operator>(const FixPt& other) const { return value_ > other.value_; }
bool FixPt::operator>=(const FixPt& other) const { return value_ >= other.value_; }

long double FixPt::GetValue() const { return value_; }
void FixPt::SetValue(long double value) { value_ = value; }

}  // namespace fmx
