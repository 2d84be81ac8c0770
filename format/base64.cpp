// base64.cpp - the base64 decode table and the line decoder of "begin-base64" files: whole groups
// sixteen characters a step on the Ssse3 path of codec_path.h, a character at a time otherwise and
// for what it leaves.
#include "format/base64.h"

#include <array>

#include "format/codec_path.h"
#include "format/x86_vectors.h"

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

#if UUARC_CODEC_X86
// The vector steps look a character up by its two halves. Its high half falls in one of five
// classes: 0x2_ (where "+" and "/" have values), 0x3_ (the digits), 0x4_ and 0x6_ (letters from
// low half 1 up), 0x5_ and 0x7_ (letters up to low half 0xA), and the rest, where no character
// has one. kNoValueForLow gives for each low half the classes in which it gives no value: a
// character has a value exactly when its two entries share no bit. The value is then the
// character plus the offset of its high half; "/" takes the offset in place 1, which no other
// character with a value uses.
constexpr char kClassOfHigh[16] = {0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                                   0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
constexpr char kNoValueForLow[16] = {0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                     0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A};
constexpr char kOffsetOfHigh[16] = {0, '?' - '/', '>' - '+', 52 - '0', -'A', -'A', 26 - 'a', 26 - 'a',
                                    0, 0, 0, 0, 0, 0, 0, 0};

// Ssse3: sixteen characters (four groups) a step into twelve bytes and four zero bytes, the last
// step where the characters end, decoded again where it overlaps. `length` is a multiple of four,
// at least 16. False when a character has no value ("=" included).
UUARC_SSSE3_ROUTINE bool DecodeBase64Ssse3(const char* characters, size_t length, uint8_t* out) {
    const __m128i class_of_high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kClassOfHigh));
    const __m128i no_value_for_low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNoValueForLow));
    const __m128i offset_of_high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kOffsetOfHigh));
    const __m128i low_half = _mm_set1_epi8(0x0F);
    __m128i no_value = _mm_setzero_si128();
    for (size_t at = 0;; at += 16) {
        if (at + 16 > length) at = length - 16;
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(characters + at));
        const __m128i high = _mm_and_si128(_mm_srli_epi32(loaded, 4), low_half);
        no_value = _mm_or_si128(no_value, _mm_and_si128(_mm_shuffle_epi8(class_of_high, high),
                                                        _mm_shuffle_epi8(no_value_for_low, _mm_and_si128(loaded, low_half))));
        const __m128i row = _mm_add_epi8(high, _mm_cmpeq_epi8(loaded, _mm_set1_epi8('/')));
        const __m128i values = _mm_add_epi8(loaded, _mm_shuffle_epi8(offset_of_high, row));
        // As the uuencoded groups: values joined in pairs, the pairs into 24-bit lanes, and the
        // three bytes of each lane taken out high byte first.
        const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
        const __m128i lanes = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
        const __m128i bytes =
            _mm_shuffle_epi8(lanes, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at / 4 * 3), bytes);
        if (at + 16 == length) break;
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(no_value, _mm_setzero_si128())) == 0xFFFF;
}
#endif

// The characters before the last group of `line` (the whole line when that group holds no "="),
// all of them whole groups, decoded on the Ssse3 path's vectors into `out`. Returns how many it
// took: a multiple of four, 0 when the path has no vectors, the part is too short for them, or a
// character in it has no value (then the caller decodes the line from its start).
size_t DecodeBase64Groups(std::string_view line, uint8_t* out) {
#if UUARC_CODEC_X86
    if (line.size() < 16) return 0;  // the usual last line of a file, before the path is asked
    if (ActiveCodecPath() != CodecPath::Ssse3) return 0;
    size_t length = line.size() / 4 * 4;
    if (length > 0 && length == line.size() && line.back() == '=') length -= 4;
    if (length >= 16) return DecodeBase64Ssse3(line.data(), length, out) ? length : 0;
#else
    (void)line;
    (void)out;
#endif
    return 0;
}

}  // namespace

const std::array<uint8_t, 256> kBase64Decode = MakeBase64Table();

int DecodeBase64Line(Base64State& state, std::string_view line, uint8_t* out) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    // Whole groups without "=" decode alike wherever they are decoded: the vectors take those
    // at the start of a line that begins a group, and every character they leave comes here.
    size_t taken = 0;
    if (state.count == 0 && !state.padded) taken = DecodeBase64Groups(line, out);
    int written = static_cast<int>(taken / 4 * 3);
    const auto refuse = [&state](Base64Fault fault, char character) {
        state.fault = fault;
        state.fault_character = character;
        return -1;
    };
    for (const char character : line.substr(taken)) {
        const uint8_t value = kBase64Decode[static_cast<uint8_t>(character)];
        if (value == kBase64NoValue) return refuse(Base64Fault::NoValue, character);
        if (state.padded) return refuse(Base64Fault::AfterPad, character);
        // "=" may stand only for the third and fourth characters of a group: "xx==" holds one
        // byte, "xxx=" two.
        if (value == kBase64Pad && state.count < 2) return refuse(Base64Fault::MisplacedPad, character);
        state.group[state.count++] = value;
        if (state.count < 4) continue;
        state.count = 0;
        const uint8_t* g = state.group;
        if (g[2] == kBase64Pad && g[3] != kBase64Pad) return refuse(Base64Fault::AfterPad, character);
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
