#include "ValueText.h"

#include <fmt/format.h>

namespace fmhost {

std::string one_line(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\r': line += "\\r"; break;
        case '\n': line += "\\n"; break;
        default: line += c;
        }
    }
    return line;
}

std::string value_line(const fmx::Data& value) {
    if (value.GetNativeType() != fmx::Data::kDTBinary) return one_line(value.GetAsText().GetUTF8());
    const fmx::BinaryData& container = value.GetBinaryData();
    fmx::Text name;
    container.GetFNAMData(name);
    std::string line = fmt::format("container {} (", one_line(name.GetUTF8()));
    for (FMX_Int32 index = 0; index < container.GetCount(); ++index) {
        fmx::QuadChar type;
        container.GetType(index, type);
        line += fmt::format("{}{} {}", index == 0 ? "" : ", ", one_line(type.AsString()), container.GetSize(index));
    }
    return line + ")";
}

}  // namespace fmhost
