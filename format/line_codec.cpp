// line_codec.cpp - encoding and decoding of data lines, one table look-up per character.
#include "format/line_codec.h"

#include <cstring>

#include "format/alphabet.h"
#include "format/header.h"
#include "module/module_state.h"
#include "module/status.h"

namespace uuarc {

namespace {

// The group coders with the alphabet and the decode table already at hand: the line routines run
// them 15 times a line, and the tables must not be looked up again for every group.
inline void EncodeGroupWith(const char* alphabet, const uint8_t* bytes, char* out) {
    out[0] = alphabet[bytes[0] >> 2];
    out[1] = alphabet[((bytes[0] & 0x03) << 4) | (bytes[1] >> 4)];
    out[2] = alphabet[((bytes[1] & 0x0F) << 2) | (bytes[2] >> 6)];
    out[3] = alphabet[bytes[2] & 0x3F];
}

// The default alphabet by arithmetic: value 0 is the backquote, v > 0 the character 0x20 + v,
// which is ((v + 63) & 63) + 0x21 in every byte of a word at once without a carry between them.
inline void EncodeDefaultGroup(const uint8_t* bytes, char* out) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) << 16 | static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
    const uint32_t values = (bits >> 18) | ((bits >> 12) & 0x3F) << 8 | ((bits >> 6) & 0x3F) << 16 | (bits & 0x3F) << 24;
    const uint32_t characters = ((values + 0x3F3F3F3Fu) & 0x3F3F3F3Fu) + 0x21212121u;
    std::memcpy(out, &characters, 4);
}

// A character's value, or a number above 63 when it has none: the table's marker 127, or the
// byte itself with its top bit for 0x80 and up, which never reach the table.
inline uint32_t ValueWith(const uint8_t* decode, char character) {
    const uint8_t byte = static_cast<uint8_t>(character);
    return decode[byte & 0x7F] | (byte & 0x80);
}

inline int DecodeGroupWith(const uint8_t* decode, const char* characters, uint8_t* out) {
    // In order, stopping at the first character without a value: it may be the terminator.
    const uint32_t s0 = ValueWith(decode, characters[0]);
    if (s0 > 63) return -1;
    const uint32_t s1 = ValueWith(decode, characters[1]);
    if (s1 > 63) return -1;
    const uint32_t s2 = ValueWith(decode, characters[2]);
    if (s2 > 63) return -1;
    const uint32_t s3 = ValueWith(decode, characters[3]);
    if (s3 > 63) return -1;
    out[0] = static_cast<uint8_t>(s0 << 2 | s1 >> 4);
    out[1] = static_cast<uint8_t>(s1 << 4 | s2 >> 2);
    out[2] = static_cast<uint8_t>(s2 << 6 | s3);
    out[3] = 0;
    return 0;
}

// The whole line when all its groups lie within the string: every character is looked up without
// a branch, their values are or'ed together, and one test at the end tells whether any had none.
// Then the careful path runs again to fail at the right place. False when some value was missing.
// The default alphabet is a range: 0x20 to 0x60, value (character - 0x20) & 0x3F (the backquote
// and the space both 0). Four characters at a time by arithmetic, the same answers as the table.
bool DecodeDefaultGroupsUnchecked(const char* characters, int groups, uint8_t* out) {
    uint32_t seen = 0;
    for (int group = 0; group < groups; ++group, characters += 4, out += 3) {
        uint32_t word;
        std::memcpy(&word, characters, 4);
        // Per byte, bit 7 of word + 0x60 is set from 0x20 up, of word + 0x1F from 0x61 up; no byte
        // carries into the next unless its own bit 7 was set, which fails the line anyway.
        seen |= (word | ~(word + 0x60606060u) | (word + 0x1F1F1F1Fu)) & 0x80808080u;
        const uint32_t values = (word - 0x20202020u) & 0x3F3F3F3Fu;
        const uint32_t pairs = ((values & 0x003F003Fu) << 6) | ((values >> 8) & 0x003F003Fu);
        const uint32_t bits = ((pairs & 0xFFFFu) << 12) | (pairs >> 16);
        const uint32_t bytes = __builtin_bswap32(bits << 8);
        std::memcpy(out, &bytes, 4);
    }
    return seen == 0;
}

bool DecodeGroupsUnchecked(const uint8_t* decode, const char* characters, int groups, uint8_t* out) {
    if (g_state.alphabet.active == AlphabetKind::Default) return DecodeDefaultGroupsUnchecked(characters, groups, out);
    uint32_t seen = 0;
    for (int group = 0; group < groups; ++group, characters += 4, out += 3) {
        uint32_t word;
        std::memcpy(&word, characters, 4);
        seen |= word & 0x80808080u;  // 0x80 and up have no value
        const uint32_t s0 = decode[word & 0x7F];
        const uint32_t s1 = decode[(word >> 8) & 0x7F];
        const uint32_t s2 = decode[(word >> 16) & 0x7F];
        const uint32_t s3 = decode[(word >> 24) & 0x7F];
        seen |= (s0 | s1 | s2 | s3) & 0x40;  // the marker 127; values stop at 63
        const uint32_t bits = s0 << 18 | s1 << 12 | s2 << 6 | s3;
        // b0 b1 b2 and the zero byte after them, in memory order.
        const uint32_t bytes = __builtin_bswap32(bits << 8);
        std::memcpy(out, &bytes, 4);
    }
    return seen == 0;
}

}  // namespace

int EncodeGroup(const uint8_t* bytes, char* out) {
    EncodeGroupWith(ActiveAlphabet(), bytes, out);
    return 0;
}

int EncodeLine(const uint8_t* bytes, char* line, int count) {
    const char* alphabet = ActiveAlphabet();
    line[0] = alphabet[count & 0x3F];
    const int groups = (count + 2) / 3;
    if (g_state.alphabet.active == AlphabetKind::Default) {
        for (int group = 0; group < groups; ++group) EncodeDefaultGroup(bytes + 3 * group, line + 1 + 4 * group);
    } else {
        for (int group = 0; group < groups; ++group) EncodeGroupWith(alphabet, bytes + 3 * group, line + 1 + 4 * group);
    }
    line[1 + 4 * groups] = '\n';
    return 4 * groups + 2;
}

int DecodeGroup(const char* characters, uint8_t* out) {
    if (DecodeGroupWith(g_state.alphabet.decode, characters, out) == 0) return 0;
    SetStatus(kStatusBadFormat);
    return -1;
}

int DecodeLine(const char* line, uint8_t* out) {
    // A length character outside the alphabet gives the marker 127: the line is then read as 43
    // groups and fails at its first character without a value, at the latest at its terminator.
    const uint8_t* decode = g_state.alphabet.decode;
    const int count = CharValue(line[0]);
    if (count == 0) return 0;
    const int groups = (count + 2) / 3;
    const size_t needed = 1 + 4 * static_cast<size_t>(groups);
    if (strnlen(line, needed) == needed && DecodeGroupsUnchecked(decode, line + 1, groups, out)) return count;
    const char* group = line + 1;
    for (int decoded = 0; decoded < count; decoded += 3, group += 4, out += 3) {
        if (DecodeGroupWith(decode, group, out) != 0) {
            SetStatus(kStatusBadFormat);
            return -1;
        }
    }
    return count;
}

int ReadFirstDataLine(Stream& input, char* line) {
    if (StreamReadLine(input, line, kLineBufferSize) == 0) return -1;
    if (CharValue(line[0]) == AlphabetState::kNoValue && SwitchToXxAlphabet(line[0]) == AlphabetState::kNoValue) {
        return -1;
    }
    return 0;
}

int ReadNextDataLine(Stream& input, char* line) {
    if (StreamReadLine(input, line, kLineBufferSize) == 0) return -1;
    return std::strncmp(line, "end", 3) == 0 ? 1 : 0;
}

}  // namespace uuarc
