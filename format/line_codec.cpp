// line_codec.cpp - encoding and decoding of data lines, one table look-up per character.
#include "format/line_codec.h"

#include <cstring>

#include "format/alphabet.h"
#include "format/header.h"
#include "module/module_state.h"
#include "module/status.h"

namespace uuarc {

int EncodeGroup(const uint8_t* bytes, char* out) {
    const char* alphabet = ActiveAlphabet();
    out[0] = alphabet[bytes[0] >> 2];
    out[1] = alphabet[((bytes[0] & 0x03) << 4) | (bytes[1] >> 4)];
    out[2] = alphabet[((bytes[1] & 0x0F) << 2) | (bytes[2] >> 6)];
    out[3] = alphabet[bytes[2] & 0x3F];
    return 0;
}

int EncodeLine(const uint8_t* bytes, char* line, int count) {
    const char* alphabet = ActiveAlphabet();
    line[0] = alphabet[count & 0x3F];
    const int groups = (count + 2) / 3;
    for (int group = 0; group < groups; ++group) EncodeGroup(bytes + 3 * group, line + 1 + 4 * group);
    line[1 + 4 * groups] = '\n';
    return 4 * groups + 2;
}

int DecodeGroup(const char* characters, uint8_t* out) {
    uint8_t values[4];
    for (int i = 0; i < 4; ++i) {
        // Stop at the first character without a value: it may be the line's terminator.
        values[i] = CharValue(characters[i]);
        if (values[i] > 64) {
            SetStatus(kStatusBadFormat);
            return -1;
        }
    }
    out[0] = static_cast<uint8_t>(values[0] << 2 | values[1] >> 4);
    out[1] = static_cast<uint8_t>(values[1] << 4 | values[2] >> 2);
    out[2] = static_cast<uint8_t>(values[2] << 6 | values[3]);
    out[3] = 0;
    return 0;
}

int DecodeLine(const char* line, uint8_t* out) {
    // A length character outside the alphabet gives the marker 127: the line is then read as 43
    // groups and fails at its first character without a value, at the latest at its terminator.
    const int count = CharValue(line[0]);
    if (count == 0) return 0;
    for (int decoded = 0, group = 0; decoded < count; decoded += 3, ++group) {
        if (DecodeGroup(line + 1 + 4 * group, out + 3 * group) != 0) return -1;
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
