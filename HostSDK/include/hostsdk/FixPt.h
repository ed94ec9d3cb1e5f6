// Host numbers: a decimal value with a precision (digits after the point used
// when the number is shown as text).
#pragma once

#include <string>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"

namespace fmx {

class FMX_API FixPt {
public:
    enum : FMX_Int32 { kDefltFixedPrecision = 16, kMaxFixedPrecision = 400 };

    FixPt(FMX_Int32 value = 0, FMX_Int32 precision = kDefltFixedPrecision);
    // Same value, the precision of `precisionExample`.
    FixPt(FMX_Int32 value, const FixPt& precisionExample);

    void AssignInt(FMX_Int32 value);
    void AssignInt64(FMX_Int64 value);
    void AssignDouble(double value);
    void AssignFixPt(const FixPt& other);
    // Reads a decimal number ("-12.5", "3e2", leading/trailing blanks allowed).
    // Returns false and leaves the value unchanged when `text` is no number.
    bool AssignText(const std::string& text);

    // Truncated toward zero, saturated at the 32-/64-bit limits.
    FMX_Int32 AsLong() const;
    FMX_Int64 AsLong64() const;
    double AsFloat() const;
    bool AsBool() const;
    // Integers print exactly ("3", "-12"); fractions with at most `precision`
    // digits after the point, trailing zeros dropped ("0.5", "0.3333333333333333").
    std::string AsText() const;

    FMX_Int32 GetPrecision() const;
    // Clamped to [0, kMaxFixedPrecision].
    void SetPrecision(FMX_Int32 precision);

    bool IsZero() const;
    bool IsNegative() const;

    void Increment(FMX_Int32 n);
    void Decrement(FMX_Int32 n);
    void Negate();
    void Add(const FixPt& arg, FixPt& result) const;
    void Subtract(const FixPt& arg, FixPt& result) const;
    void Multiply(const FixPt& arg, FixPt& result) const;
    // kErrInvalidArgument (result untouched) when `arg` is zero.
    FMX_ErrorCode Divide(const FixPt& arg, FixPt& result) const;

    FixPt operator+(const FixPt& arg) const;
    FixPt operator-(const FixPt& arg) const;
    FixPt operator*(const FixPt& arg) const;
    // Throws std::domain_error on division by zero.
    FixPt operator/(const FixPt& arg) const;
    FixPt operator-() const;

    bool operator==(const FixPt& other) const;
    bool operator!=(const FixPt& other) const;
    bool operator<(const FixPt& other) const;
    bool operator<=(const FixPt& other) const;
    bool operator>(const FixPt& other) const;
    bool operator>=(const FixPt& other) const;

    // The raw value (host side).
    long double GetValue() const;
    void SetValue(long double value);

private:
    long double value_;
    FMX_Int32 precision_;
};

}  // namespace fmx
