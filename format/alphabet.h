// alphabet.h - the three alphabets (default, XX, table), which one is active, and the decode
// table built from it. The caller owns the state and hands it to every routine here: what a scan
// or a decoding made active stays active until the next ResetDefaultAlphabet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace uuarc {

// Which of the three alphabets is active.
enum class AlphabetKind : uint8_t { Default, Xx, Table };

// The alphabets and the decode table derived from the active one. decode[c] is the value (0..63)
// of character c, or kNoValue; bytes 0x80 and up never reach the table.
struct AlphabetState {
    static constexpr uint8_t kNoValue = 127;
    char default_alphabet[64] = {};
    char table_alphabet[64] = {};
    AlphabetKind active = AlphabetKind::Default;
    bool xx_mode = false;        // set by SwitchToXxAlphabet; the space rule is off while set
    uint8_t decode[128] = {};
};

// Value 0 first: "+", "-", the digits, the upper and then the lower case letters.
extern const char kXxAlphabet[65];

// Fills the default alphabet (value 0 is the backquote, v > 0 is 0x20 + v), makes it active,
// clears the XX-mode flag and builds its decode table.
void ResetDefaultAlphabet(AlphabetState& alphabet);

// Rebuilds the decode table from the active alphabet: 0, or -1 when a character occurs twice
// (the table then holds the entries before the duplicate). Unless the XX-mode flag is set, the
// space decodes as 0 whatever the alphabet says.
int BuildDecodeTable(AlphabetState& alphabet);

// Makes the 64 characters of a "table" block (`characters`, value 0 first) the table alphabet,
// makes it active and builds its decode table: 0, or -1 when two characters are equal (the
// decode table then holds the entries before the repeat). The block itself is read by the header
// scan (header.h).
int UseTableAlphabet(AlphabetState& alphabet, const char* characters);

// Makes the XX alphabet active (XX-mode on) when `character` belongs to it. Returns the
// character's value in the decode table as it then stands: its XX value, or the marker 127.
uint8_t SwitchToXxAlphabet(AlphabetState& alphabet, char character);

// The characters of the active alphabet, value 0 first.
const char* ActiveAlphabet(const AlphabetState& alphabet);

// The value of a character in the active alphabet, or 127. Bytes 0x80 and up never have one.
inline uint8_t CharValue(const AlphabetState& alphabet, char character) {
    const uint8_t byte = static_cast<uint8_t>(character);
    return byte < 0x80 ? alphabet.decode[byte] : AlphabetState::kNoValue;
}

}  // namespace uuarc
