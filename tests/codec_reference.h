// codec_reference.h - a plain line coder that the codec suite and the differential fuzz target
// hold every path of the module's against: one group at a time, each character found by a search
// of the alphabet, written from the format's rules and not from line_codec.cpp.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace uuarc::test {

// An alphabet as the reference reads it: its 64 characters, value 0 first, and whether a space
// counts as 0 besides (everywhere but in XX mode).
struct ReferenceAlphabet {
    const char* characters;
    bool space_is_zero;
};

// The value of a character, or -1 when it has none.
inline int ReferenceValue(const ReferenceAlphabet& alphabet, char character) {
    if (character == ' ' && alphabet.space_is_zero) return 0;
    if (static_cast<uint8_t>(character) >= 0x80 || character == '\0') return -1;
    const void* found = std::memchr(alphabet.characters, character, 64);
    return found != nullptr ? static_cast<int>(static_cast<const char*>(found) - alphabet.characters) : -1;
}

// The line for bytes[0, 3 * groups): the length character, the groups, the LF.
inline std::string ReferenceEncodeLine(const ReferenceAlphabet& alphabet, const uint8_t* bytes, int count) {
    std::string line(1, alphabet.characters[count & 0x3F]);
    line.reserve(2 + 4 * static_cast<size_t>((count + 2) / 3));
    for (int at = 0; at < count; at += 3) {
        const uint32_t bits = static_cast<uint32_t>(bytes[at]) << 16 | static_cast<uint32_t>(bytes[at + 1]) << 8 | bytes[at + 2];
        for (int shift = 18; shift >= 0; shift -= 6) line += alphabet.characters[(bits >> shift) & 0x3F];
    }
    return line + "\n";
}

// What decoding a line gives: the count (-1 for a line that fails, -2 for one cut short) and the
// bytes of a good one.
struct ReferenceDecoded {
    int count = -1;
    std::vector<uint8_t> bytes;
};

// A line fails at the first character without a value that carries data bits, its length
// character included; a character carries data when one of the bytes it has bits of is one of
// the count (the third and fourth of a group hold bits of its second and third byte). The others
// read as 0, whatever they are. A line ends at its LF or where it stops: one that ends before a
// character that carries data is cut short, and reads that character as 0 only when `padded`.
inline ReferenceDecoded ReferenceDecodeLine(const ReferenceAlphabet& alphabet, std::string_view line, bool padded) {
    ReferenceDecoded decoded;
    if (line.empty()) return decoded;
    const int count = ReferenceValue(alphabet, line[0]);
    if (count < 0) return decoded;
    const std::string_view present = line.substr(1, line.find('\n', 1) - 1);
    decoded.bytes.reserve(static_cast<size_t>(count) + 2);
    bool short_line = false;
    for (int at = 0; at < count; at += 3) {
        uint32_t bits = 0;
        for (size_t i = 0; i < 4; ++i) {
            const size_t place = 4 * static_cast<size_t>(at / 3) + i;
            const int last_byte = at + static_cast<int>(i == 0 ? 0 : i - 1);  // the first byte it has bits of
            int value = 0;
            if (last_byte < count && place < present.size()) {
                value = ReferenceValue(alphabet, present[place]);
                if (value < 0) return decoded;
            } else if (last_byte < count) {
                short_line = true;
            }
            bits = bits << 6 | static_cast<uint32_t>(value);
        }
        for (int shift = 16; shift >= 0; shift -= 8) decoded.bytes.push_back(static_cast<uint8_t>(bits >> shift));
    }
    if (short_line && !padded) {
        decoded.count = -2;
        decoded.bytes.clear();
        return decoded;
    }
    decoded.bytes.resize(static_cast<size_t>(count));
    decoded.count = count;
    return decoded;
}

}  // namespace uuarc::test
