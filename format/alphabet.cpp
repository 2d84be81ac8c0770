// alphabet.cpp - alphabet state and decode table: reset to the default alphabet, take a "table"
// block's alphabet, switch to XX on the first data line.
#include "format/alphabet.h"

#include <cstring>


namespace uuarc {

const char kXxAlphabet[65] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

const char* ActiveAlphabet(const AlphabetState& alphabet) {
    switch (alphabet.active) {
        case AlphabetKind::Xx: return kXxAlphabet;
        case AlphabetKind::Table: return alphabet.table_alphabet;
        case AlphabetKind::Default: break;
    }
    return alphabet.default_alphabet;
}

namespace {

// The default alphabet and its decode table, made once when the module is built: every archive
// starts from them.
constexpr AlphabetState MakeDefaultAlphabet() {
    AlphabetState alphabet;
    for (int value = 0; value < 64; ++value) alphabet.default_alphabet[value] = static_cast<char>(0x20 + value);
    alphabet.default_alphabet[0] = '`';
    for (uint8_t& entry : alphabet.decode) entry = AlphabetState::kNoValue;
    for (uint8_t value = 0; value < 64; ++value) alphabet.decode[0x20 + value] = value;
    alphabet.decode['`'] = 0;
    alphabet.decode[' '] = 0;  // the space rule of BuildDecodeTable
    return alphabet;
}

constexpr AlphabetState kDefaultAlphabet = MakeDefaultAlphabet();

}  // namespace

void ResetDefaultAlphabet(AlphabetState& alphabet) {
    std::memcpy(alphabet.default_alphabet, kDefaultAlphabet.default_alphabet, sizeof alphabet.default_alphabet);
    std::memcpy(alphabet.decode, kDefaultAlphabet.decode, sizeof alphabet.decode);
    alphabet.active = AlphabetKind::Default;
    alphabet.xx_mode = false;
}

int BuildDecodeTable(AlphabetState& alphabet) {
    const char* characters = ActiveAlphabet(alphabet);
    std::memset(alphabet.decode, AlphabetState::kNoValue, sizeof alphabet.decode);
    for (uint8_t value = 0; value < 64; ++value) {
        uint8_t& entry = alphabet.decode[static_cast<uint8_t>(characters[value]) & 0x7F];
        if (entry != AlphabetState::kNoValue) return -1;
        entry = value;
    }
    // Classic encoders write a space for 0; it keeps that meaning in any alphabet but XX.
    if (!alphabet.xx_mode) alphabet.decode[0x20] = 0;
    return 0;
}

int UseTableAlphabet(AlphabetState& alphabet, const char* characters) {
    std::memcpy(alphabet.table_alphabet, characters, sizeof alphabet.table_alphabet);
    alphabet.active = AlphabetKind::Table;
    return BuildDecodeTable(alphabet);
}

uint8_t SwitchToXxAlphabet(AlphabetState& alphabet, char character) {
    if (std::memchr(kXxAlphabet, character, 64) != nullptr) {  // never the terminator: 64 bytes only
        alphabet.xx_mode = true;
        alphabet.active = AlphabetKind::Xx;
        BuildDecodeTable(alphabet);  // the XX alphabet has no duplicate
    }
    return CharValue(alphabet, character);
}

}  // namespace uuarc
