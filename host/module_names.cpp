// module_names.cpp - the conversions of module_names.h: UTF-8 <-> code page 1252 on Linux, the
// separators on both systems.
#include "host/module_names.h"

#include <cstdint>

#include "host/module_api.h"

namespace uuarc_host {

namespace {

#if !defined(_WIN32)
// Code page 1252 at 0x80..0x9F; the five bytes that it leaves undefined map to the C1 controls of
// the same value, as the Windows conversion functions do, so that every byte has a code point.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Cp1252ToCodePoint(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte};
}

// The byte for a code point, or -1 when code page 1252 has none.
int CodePointToCp1252(char32_t code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
        return static_cast<int>(code_point);
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == code_point) return 0x80 + i;
    }
    return -1;
}

// Decodes the UTF-8 sequence at text[*index] and moves past it; false for a malformed,
// overlong or surrogate sequence.
bool NextCodePoint(const std::string& text, size_t* index, char32_t* code_point) {
    uint8_t lead = static_cast<uint8_t>(text[*index]);
    int extra = 0;
    if (lead >= 0xF0 && lead < 0xF8) {
        extra = 3;
    } else if (lead >= 0xE0) {
        extra = lead < 0xF0 ? 2 : -1;
    } else if (lead >= 0xC0) {
        extra = 1;
    } else if (lead >= 0x80) {
        extra = -1;
    }
    if (extra < 0 || *index + extra >= text.size()) return false;
    char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        uint8_t next = static_cast<uint8_t>(text[*index + i]);
        if ((next & 0xC0) != 0x80) return false;
        value = (value << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *index += extra + 1;
    *code_point = value;
    return true;
}

void AppendUtf8(std::string& out, char32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}
#endif

}  // namespace

bool ToModulePath(const std::string& native, std::string& module, std::string& error) {
    module.clear();
#if defined(_WIN32)
    for (char c : native) module += c == '/' ? '\\' : c;
#else
    for (size_t i = 0; i < native.size();) {
        char32_t code_point = 0;
        if (!NextCodePoint(native, &i, &code_point)) {
            error = "the name is not valid UTF-8";
            return false;
        }
        if (code_point == '\\') {
            error = "a backslash in a name cannot be passed to the module";
            return false;
        }
        int byte = CodePointToCp1252(code_point);
        if (byte < 0) {
            error = "the name has characters outside code page 1252";
            return false;
        }
        module += byte == '/' ? '\\' : static_cast<char>(byte);
    }
#endif
    if (module.size() > kMaxHostPath) {
        error = "the path is longer than " + std::to_string(kMaxHostPath) + " bytes";
        return false;
    }
    return true;
}

std::string ToNativePath(const std::string& module) {
#if defined(_WIN32)
    return module;
#else
    std::string native;
    for (char c : module) {
        uint8_t byte = static_cast<uint8_t>(c);
        if (byte == '\\') {
            native += '/';
        } else {
            AppendUtf8(native, Cp1252ToCodePoint(byte));
        }
    }
    return native;
#endif
}

}  // namespace uuarc_host
