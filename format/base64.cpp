// base64.cpp - the base64 decode table and the line decoder of "begin-base64" files.
#include "format/base64.h"

#include <array>

namespace uuarc {

namespace {

// The alphabet as RFC 4648 (section 4, table 1) lists it, value 0 first; GNU "uuencode -m"
// writes it so.
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The decode table, built from the alphabet above.
constexpr std::array<uint8_t, 256> MakeBase64Table() {
    std::array<uint8_t, 256> table{};
    for (uint8_t& value : table) value = kBase64NoValue;
    for (uint8_t value = 0; value < 64; ++value) table[static_cast<uint8_t>(kBase64Alphabet[value])] = value;
    table['='] = kBase64Pad;
    return table;
}

}  // namespace

const std::array<uint8_t, 256> kBase64Decode = MakeBase64Table();

int DecodeBase64Line(Base64State& state, std::string_view line, uint8_t* out) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    int written = 0;
    for (const char character : line) {
        const uint8_t value = kBase64Decode[static_cast<uint8_t>(character)];
        if (value == kBase64NoValue || state.padded) return -1;
        // "=" may stand only for the third and fourth characters of a group: "xx==" holds one
        // byte, "xxx=" two.
        if (value == kBase64Pad && state.count < 2) return -1;
        state.group[state.count++] = value;
        if (state.count < 4) continue;
        state.count = 0;
        const uint8_t* g = state.group;
        if (g[2] == kBase64Pad && g[3] != kBase64Pad) return -1;
        out[written++] = static_cast<uint8_t>(g[0] << 2 | g[1] >> 4);
        if (g[2] == kBase64Pad) {
            state.padded = true;
            continue;
        }
        out[written++] = static_cast<uint8_t>(g[1] << 4 | g[2] >> 2);
        if (g[3] == kBase64Pad) {
            state.padded = true;
            continue;
        }
        out[written++] = static_cast<uint8_t>(g[2] << 6 | g[3]);
    }
    return written;
}

}  // namespace uuarc
