// alphabet.cpp - alphabet state and decode table: reset to the default alphabet, read a "table"
// block, switch to XX on the first data line.
#include "format/alphabet.h"

#include <cstring>

#include "format/header.h"

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

void ResetDefaultAlphabet(AlphabetState& alphabet) {
    for (int value = 0; value < 64; ++value) alphabet.default_alphabet[value] = static_cast<char>(0x20 + value);
    alphabet.default_alphabet[0] = '`';
    alphabet.active = AlphabetKind::Default;
    alphabet.xx_mode = false;
    BuildDecodeTable(alphabet);  // the default alphabet has no duplicate
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

int ReadAlphabetTable(AlphabetState& alphabet, Stream& input, char* line, size_t* length) {
    // Gathered apart, so that a block cut short leaves the alphabet that was active before it.
    char gathered[64];
    int count = 0;
    while (count < 64) {
        *length = StreamReadLine(input, line, kLineBufferSize);
        if (*length == 0 || line[0] == '\0' || std::strncmp(line, "begin ", 6) == 0) return 1;
        // Spaces and tabs are table characters like any other; only the line end (a CR reads as
        // one), the NUL that ends the string and bytes from 0x80 up are not.
        for (const char* p = line; *p != '\0' && *p != '\n'; ++p) {
            if (static_cast<uint8_t>(*p) >= 0x80) continue;
            if (count < 64) gathered[count++] = *p;
        }
    }
    std::memcpy(alphabet.table_alphabet, gathered, sizeof gathered);
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
