#include "Utf.h"

#include <cstdint>

namespace hostsdk_detail {

namespace {

void append_code_point(std::vector<FMX_Unichar>& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<FMX_Unichar>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<FMX_Unichar>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<FMX_Unichar>(0xDC00 + (cp & 0x3FF)));
    }
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Lead byte classification: number of continuation bytes and the allowed
// range of the first one (which rules out overlongs, surrogates and values
// above U+10FFFF).
struct LeadByte {
    int continuation_count;
    std::uint8_t first_low;
    std::uint8_t first_high;
    std::uint8_t payload_mask;
};

bool classify(std::uint8_t b, LeadByte& lead) {
    if (b >= 0xC2 && b <= 0xDF) lead = {1, 0x80, 0xBF, 0x1F};
    else if (b == 0xE0) lead = {2, 0xA0, 0xBF, 0x0F};
    else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) lead = {2, 0x80, 0xBF, 0x0F};
    else if (b == 0xED) lead = {2, 0x80, 0x9F, 0x0F};
    else if (b == 0xF0) lead = {3, 0x90, 0xBF, 0x07};
    else if (b >= 0xF1 && b <= 0xF3) lead = {3, 0x80, 0xBF, 0x07};
    else if (b == 0xF4) lead = {3, 0x80, 0x8F, 0x07};
    else return false;
    return true;
}

}  // namespace

std::vector<FMX_Unichar> utf8_to_utf16(std::string_view bytes) {
    std::vector<FMX_Unichar> out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto b0 = static_cast<std::uint8_t>(bytes[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        LeadByte lead{};
        if (!classify(b0, lead)) {
            out.push_back(kReplacementChar);
            ++i;
            continue;
        }
        char32_t cp = b0 & lead.payload_mask;
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 0; k < lead.continuation_count; ++k, ++j) {
            if (j >= n) {
                complete = false;
                break;
            }
            const auto b = static_cast<std::uint8_t>(bytes[j]);
            const std::uint8_t low = k == 0 ? lead.first_low : 0x80;
            const std::uint8_t high = k == 0 ? lead.first_high : 0xBF;
            if (b < low || b > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (complete) {
            append_code_point(out, cp);
        } else {
            out.push_back(kReplacementChar);
        }
        i = j;
    }
    return out;
}

std::string utf16_to_utf8(const FMX_Unichar* units, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const FMX_Unichar u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            append_utf8(out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            append_utf8(out, kReplacementChar);
        } else {
            append_utf8(out, u);
        }
    }
    return out;
}

}  // namespace hostsdk_detail
