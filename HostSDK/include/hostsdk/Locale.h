// The locale attached to host values. The stand-in knows one locale.
#pragma once

#include "hostsdk/Export.h"

namespace fmx {

class FMX_API Locale {
public:
    enum Type { kType_System = 0 };

    Locale();
    explicit Locale(Type type);

    Type GetType() const;

    bool operator==(const Locale& other) const;
    bool operator!=(const Locale& other) const;

private:
    Type type_;
};

}  // namespace fmx
