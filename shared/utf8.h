// utf8.h - UTF-8 one character at a time, as stored names and the POSIX back end's ANSI code page
// carry it. Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace uuarc {

constexpr size_t kMaxUtf8Length = 4;

// Whether the byte continues a character (10xxxxxx) rather than starting one.
constexpr bool IsUtf8Continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The length of the character that `lead` starts; 0 for a byte that starts none (a continuation,
// or one that only an overlong or too large form would begin).
constexpr size_t Utf8SequenceLength(uint8_t lead) {
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}

// The bytes of the well-formed character at the start of `text` (`length` bytes there), with its
// value in `*code_point`; 0 when none starts there, also when it runs past `length`.
constexpr size_t DecodeUtf8(const uint8_t* text, size_t length, char32_t* code_point) {
    if (length == 0) return 0;
    const uint8_t lead = text[0];
    if (lead < 0x80) {
        *code_point = lead;
        return 1;
    }
    const size_t size = Utf8SequenceLength(lead);
    if (size == 0 || size > length) return 0;
    char32_t value = lead & (0x7F >> size);
    for (size_t i = 1; i < size; ++i) {
        if (!IsUtf8Continuation(text[i])) return 0;
        value = value << 6 | (text[i] & 0x3F);
    }
    constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[size] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code_point = value;
    return size;
}

// Writes the UTF-8 form of `code_point` (at most U+10FFFF, no surrogate) into `out`, which holds
// kMaxUtf8Length bytes; its length.
constexpr size_t EncodeUtf8(char32_t code_point, uint8_t* out) {
    if (code_point < 0x80) {
        out[0] = static_cast<uint8_t>(code_point);
        return 1;
    }
    const size_t size = code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
    constexpr uint8_t kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t i = size - 1; i > 0; --i) {
        out[i] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
        code_point >>= 6;
    }
    out[0] = static_cast<uint8_t>(kLead[size] | code_point);
    return size;
}

}  // namespace uuarc
