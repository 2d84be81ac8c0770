// base64.h - the data lines of a "begin-base64" file: the standard base64 alphabet (A-Z, a-z,
// 0-9, "+", "/") with "=" padding, decoded a line at a time, and the "====" line that ends them.
// Nothing here sets a status: failures are returned.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace uuarc {

// kBase64Decode[c] is the value (0..63) of byte c in the base64 alphabet, kBase64Pad for "=" and
// kBase64NoValue for every other byte, 0x80 and up included.
constexpr uint8_t kBase64Pad = 64;
constexpr uint8_t kBase64NoValue = 0xFF;
extern const std::array<uint8_t, 256> kBase64Decode;

// Why DecodeBase64Line refused a line: a byte outside the alphabet, "=" in the first or second
// place of a group, or a character after the padding that ended the data (a group "xx=y" too).
enum class Base64Fault : uint8_t { None, NoValue, MisplacedPad, AfterPad };

// What a base64 decoding carries from one line to the next: the characters of a group that a
// line ended inside (a line longer than the line buffer arrives in pieces), and whether "="
// padding has ended the data; after a refused line, why and at which character.
struct Base64State {
    uint8_t group[4] = {};
    int count = 0;       // characters of the group taken so far, 0..3
    bool padded = false;
    Base64Fault fault = Base64Fault::None;
    char fault_character = 0;
};

// Decodes the characters of one data line as read (a CR or LF at its end is not data) into `out`
// (kDecodeBufferSize bytes: a line of the line buffer and a carried group make at most 192
// bytes, and the Ssse3 path of codec_path.h writes up to four more after them). Returns the
// number of bytes; 0 for an empty line; -1 for a byte outside the alphabet, "=" anywhere but the
// last one or two places of a group, or any character after the padding, with the state's fault
// and fault character set. Every path gives the same answers and state.
int DecodeBase64Line(Base64State& state, std::string_view line, uint8_t* out);

// Whether `line` is the line that ends the data: it begins with "====".
inline bool IsBase64EndLine(std::string_view line) { return line.starts_with("===="); }

}  // namespace uuarc
