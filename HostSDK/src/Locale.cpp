#include "hostsdk/Locale.h"

namespace fmx {

Locale::Locale() : type_(kType_System) {}
Locale::Locale(Type type) : type_(type) {}
Locale::Type Locale::GetType() const { return type_; }
bool Locale::operator==(const Locale& other) const { return type_ == other.type_; }
bool Locale::operator!=(const Locale& other) const { return !(*this == other); }

}  // namespace fmx
