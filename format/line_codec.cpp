// line_codec.cpp - encoding and decoding of data lines on the paths of codec_path.h. Any alphabet
// can go through its tables, one look-up per character. The default alphabet, which creation
// writes and most files carry, is a range of characters and is coded by arithmetic instead:
// sixteen characters a step where the processor has SSSE3, eight or four in a word otherwise.
#include "format/line_codec.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "format/alphabet.h"
#include "format/codec_path.h"
#include "format/header.h"
#include "format/x86_vectors.h"

namespace uuarc {

namespace {

CodecPath AskProcessor() {
#if UUARC_CODEC_X86
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_SSSE3) != 0) return CodecPath::Ssse3;
#endif
    return CodecPath::Words;
}

// What the processor runs, asked once while the module is loaded, before any export can be called.
const CodecPath g_processor_path = AskProcessor();

// The path the module takes: the processor's, unless a benchmark build pins another
// (UUARC_BENCH_CODEC_PATH, a path's name as CodecPathName gives it; bench/paths.sh), which it
// takes where the processor can run it. No shipped build is configured so.
CodecPath PathOfBuild() {
#if defined(UUARC_BENCH_CODEC_PATH)
    for (int index = 0; index < kCodecPathCount; ++index) {
        const auto path = static_cast<CodecPath>(index);
        if (std::string_view(CodecPathName(path)) == UUARC_BENCH_CODEC_PATH && CodecPathSupported(path)) return path;
    }
#endif
    return g_processor_path;
}

// Changed only by SetCodecPath: the line routines read it once a line.
const CodecPath g_best_path = PathOfBuild();
CodecPath g_codec_path = g_best_path;

// ---- Encoding ---------------------------------------------------------------------------------

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
constexpr uint64_t kEveryByte = 0x0101010101010101u;

// Of the same type as `values`: a 32-bit build codes one group in a 32-bit word.
template <typename Word>
inline Word DefaultCharacters(Word values) {
    constexpr Word kEvery = static_cast<Word>(kEveryByte);
    return ((values + 0x3F * kEvery) & 0x3F * kEvery) + 0x21 * kEvery;
}

// Words: the build's own word. A 64-bit build codes two groups in a 64-bit word; a 32-bit build,
// where every step on a 64-bit word costs two, one group in a 32-bit word. Extraction took at
// least a seventh longer with the other build's width (bench/floor.sh).
constexpr bool kTwoGroupsAWord = sizeof(void*) >= 8;

// One group, its four values in the four bytes of a 32-bit word; also the last group of an odd
// count in a 64-bit build.
inline void EncodeDefaultGroup(const uint8_t* bytes, char* out) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) << 16 | static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
    const uint32_t values = (bits >> 18) | ((bits >> 12) & 0x3F) << 8 | ((bits >> 6) & 0x3F) << 16 | (bits & 0x3F) << 24;
    const uint32_t characters = DefaultCharacters(values);
    std::memcpy(out, &characters, 4);
}

// Two groups at once, their 24 bits side by side in the two halves of a 64-bit word, so that one
// shift and mask takes a value out of both.
inline void EncodeDefaultGroupPair(const uint8_t* bytes, char* out) {
    // b0..b5 from the low end, exactly the six bytes, put together in registers: a six-byte
    // copy into memory read back as one word would stall on the store.
    uint32_t low;
    uint16_t high;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + 4, 2);
    const uint64_t loaded = low | static_cast<uint64_t>(high) << 32;
    const uint64_t reversed = __builtin_bswap64(loaded << 16);  // b0 b1 b2 b3 b4 b5 from bit 47 down
    const uint64_t bits = (reversed >> 24) | (reversed & 0xFFFFFF) << 32;
    constexpr uint64_t kValue = 0x0000003F0000003Fu;
    const uint64_t values = ((bits >> 18) & kValue) | ((bits >> 12) & kValue) << 8 |
                            ((bits >> 6) & kValue) << 16 | (bits & kValue) << 24;
    const uint64_t characters = DefaultCharacters(values);
    std::memcpy(out, &characters, 8);
}

void EncodeDefaultWords(const uint8_t* bytes, int groups, char* out) {
    int group = 0;
    if constexpr (kTwoGroupsAWord) {
        for (; group + 2 <= groups; group += 2) EncodeDefaultGroupPair(bytes + 3 * group, out + 4 * group);
    }
    for (; group < groups; ++group) EncodeDefaultGroup(bytes + 3 * group, out + 4 * group);
}

#if UUARC_CODEC_X86
// Four groups at once, twelve bytes into sixteen characters; reads sixteen bytes. Each group's
// bytes go into a 32-bit lane as b1 b0 b2 b1, so that its first two values lie in the low half
// (b0 b1) and the other two in the high half (b1 b2); one multiply moves each pair into place.
UUARC_SSSE3_ROUTINE inline void EncodeDefaultFourGroups(__m128i lanes, char* out) {
    // The bits of the four values, the rest cleared: v0 and v2 go down to the low byte of their
    // half (the bits below them fall off), v1 and v3 up to the high byte, where the two low bits of
    // v0 and v2 come to lie above them. The value to character step works modulo 64 and so never
    // sees those two.
    const __m128i bits = _mm_and_si128(lanes, _mm_set1_epi32(0x0FFFFFF0));
    const __m128i even = _mm_mulhi_epu16(bits, _mm_set1_epi32(0x04000040));
    const __m128i odd = _mm_mullo_epi16(bits, _mm_set1_epi32(0x01000010));
    const __m128i values = _mm_or_si128(even, odd);
    const __m128i sixty_three = _mm_set1_epi8(0x3F);
    const __m128i characters =
        _mm_add_epi8(_mm_and_si128(_mm_add_epi8(values, sixty_three), sixty_three), _mm_set1_epi8(0x21));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), characters);
}

// Ssse3: the groups of a line of at least six groups, four at a time. The last four are loaded
// from four bytes before them, so that no byte past the groups is read; a single group may come
// before them. A piece of the runs of full lines, and of the routine below for one line.
UUARC_SSSE3_PIECE void EncodeDefaultGroupsSsse3(const uint8_t* bytes, int groups, char* out) {
    const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    int group = 0;
    for (; 3 * group + 16 <= 3 * groups; group += 4) {
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 3 * group));
        EncodeDefaultFourGroups(_mm_shuffle_epi8(loaded, spread), out + 4 * group);
    }
    if (group + 5 == groups) {  // one group before the last four
        EncodeDefaultGroup(bytes + 3 * group, out + 4 * group);
        ++group;
    }
    if (group < groups) {
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 3 * groups - 16));
        const __m128i spread_late = _mm_add_epi8(spread, _mm_set1_epi8(4));
        EncodeDefaultFourGroups(_mm_shuffle_epi8(loaded, spread_late), out + 4 * (groups - 4));
    }
}

UUARC_SSSE3_ROUTINE void EncodeDefaultSsse3(const uint8_t* bytes, int groups, char* out) {
    EncodeDefaultGroupsSsse3(bytes, groups, out);
}
#endif

// ---- Decoding ---------------------------------------------------------------------------------

// A character's value, or a number above 63 when it has none: the table's marker 127, or the
// byte itself with its top bit for 0x80 and up, which never reach the table.
inline uint32_t ValueWith(const uint8_t* decode, char character) {
    const uint8_t byte = static_cast<uint8_t>(character);
    return decode[byte & 0x7F] | (byte & 0x80);
}

// Careful: in order, stopping at the first character without a value, which may be the
// terminator.
inline int DecodeGroupWith(const uint8_t* decode, const char* characters, uint8_t* out) {
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

// The other decoders take a whole line whose groups all lie within it: every character is looked
// at without a branch, and one test at the end tells whether any had no value. Then the careful
// path runs again to fail at the right place. They answer false when some value was missing.
// The default alphabet is a range: 0x20 to 0x60, value (character - 0x20) & 0x3F (the backquote
// and the space both 0).

constexpr uint64_t kTopBits = 0x80 * kEveryByte;

// Words: one group, three bytes and a zero byte at `out`; or'es into `seen` a top bit for each
// character outside 0x20..0x60. Per byte, bit 7 of word + 0x60 is set from 0x20 up, of
// word + 0x1F from 0x61 up; no byte carries into the next unless its own bit 7 was set, which
// fails the line anyway.
inline void DecodeDefaultGroup(const char* characters, uint8_t* out, uint64_t& seen) {
    uint32_t word;
    std::memcpy(&word, characters, 4);
    seen |= (word | ~(word + 0x60606060u) | (word + 0x1F1F1F1Fu)) & 0x80808080u;
    const uint32_t values = (word - 0x20202020u) & 0x3F3F3F3Fu;
    const uint32_t pairs = ((values & 0x003F003Fu) << 6) | ((values >> 8) & 0x003F003Fu);
    const uint32_t bits = ((pairs & 0xFFFFu) << 12) | (pairs >> 16);
    const uint32_t bytes = __builtin_bswap32(bits << 8);
    std::memcpy(out, &bytes, 4);
}

// Two groups in a 64-bit word, the range test as for one on eight bytes; six bytes and two zero
// bytes at `out`.
inline void DecodeDefaultGroupPair(const char* characters, uint8_t* out, uint64_t& seen) {
    constexpr uint64_t kValues = 0x3F * kEveryByte;
    uint64_t word;
    std::memcpy(&word, characters, 8);
    seen |= (word | ~(word + 0x60 * kEveryByte) | (word + 0x1F * kEveryByte)) & kTopBits;
    const uint64_t values = (word - 0x20 * kEveryByte) & kValues;
    // v0 v1 | v2 v3 as 12-bit pairs, then the 24 bits of each group in its half of the word.
    constexpr uint64_t kPair = 0x003F003F003F003Fu;
    const uint64_t pairs = ((values & kPair) << 6) | ((values >> 8) & kPair);
    constexpr uint64_t kHalf = 0x0000FFFF0000FFFFu;
    const uint64_t bits = ((pairs & kHalf) << 12) | ((pairs >> 16) & kHalf);
    // b0 b1 b2 b3 b4 b5 and two zero bytes, in memory order; the next pair overwrites them.
    const uint64_t bytes = __builtin_bswap64((bits & 0xFFFFFF) << 40 | (bits >> 32) << 16);
    std::memcpy(out, &bytes, 8);
}

bool DecodeDefaultWords(const char* characters, int groups, uint8_t* out) {
    uint64_t seen = 0;
    int group = 0;
    if constexpr (kTwoGroupsAWord) {
        for (; group + 2 <= groups; group += 2) DecodeDefaultGroupPair(characters + 4 * group, out + 3 * group, seen);
    }
    for (; group < groups; ++group) DecodeDefaultGroup(characters + 4 * group, out + 3 * group, seen);
    return seen == 0;
}

#if UUARC_CODEC_X86
// Ssse3: sixteen characters a step for a line of at least four groups. Each must lie in
// 0x20..0x60: less 0x20, that is 0..0x40 as an unsigned byte (a character below 0x20 wraps round
// to 0xE0 and up), so the largest of them all, kept as the line goes, tells. The values are joined
// in pairs, the pairs into 24-bit lanes, and the three bytes of each lane taken out high byte
// first; four zero bytes follow the twelve. The line ends with its last four groups, decoded again
// where they overlap.
UUARC_SSSE3_ROUTINE bool DecodeDefaultSsse3(const char* characters, int groups, uint8_t* out) {
    __m128i largest = _mm_setzero_si128();
    for (int step = 0;; step += 4) {
        if (step + 4 > groups) step = groups - 4;
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(characters + 4 * step));
        const __m128i offsets = _mm_sub_epi8(loaded, _mm_set1_epi8(0x20));
        largest = _mm_max_epu8(largest, offsets);
        const __m128i values = _mm_and_si128(offsets, _mm_set1_epi8(0x3F));
        const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
        const __m128i lanes = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
        const __m128i bytes =
            _mm_shuffle_epi8(lanes, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * step), bytes);
        if (step + 4 == groups) break;
    }
    const __m128i limit = _mm_set1_epi8(0x40);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(largest, limit), limit)) == 0xFFFF;
}
#endif

// Table: any alphabet, four look-ups a group.
bool DecodeTableGroups(const uint8_t* decode, const char* characters, int groups, uint8_t* out) {
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

// The whole line on the active path; false when it must go the careful way.
bool DecodeGroupsUnchecked(const AlphabetState& alphabet, const char* characters, int groups, uint8_t* out) {
    const CodecPath path = g_codec_path;
    if (path == CodecPath::Careful) return false;
    if (alphabet.active != AlphabetKind::Default) return DecodeTableGroups(alphabet.decode, characters, groups, out);
    switch (path) {
        case CodecPath::Ssse3:
#if UUARC_CODEC_X86
            if (groups >= 4) return DecodeDefaultSsse3(characters, groups, out);
#endif
            [[fallthrough]];
        case CodecPath::Words: return DecodeDefaultWords(characters, groups, out);
        case CodecPath::Table: return DecodeTableGroups(alphabet.decode, characters, groups, out);
        case CodecPath::Careful: break;
    }
    return false;
}

// The most groups a line has: 21 for the length 63.
constexpr int kMaxGroups = 21;

// The characters of the groups for `count` bytes that carry data bits: all but the last two of a
// last group that holds one byte, and the last one of a group that holds two, whose bits only
// fill the bytes after the count.
constexpr size_t CarryingCharacters(int count) {
    return 4 * static_cast<size_t>((count + 2) / 3) - (count % 3 == 1 ? 2 : count % 3 == 2 ? 1 : 0);
}

// The characters of the groups that `line` holds before its LF (or its end), at most `wanted`.
std::string_view PresentCharacters(std::string_view line, size_t wanted) {
    const std::string_view groups = line.substr(1);
    return groups.substr(0, std::min(groups.find('\n'), wanted));
}

// The first character of `characters` that has no value in `decode`'s alphabet, as a byte; -1
// when every one has.
int FirstWithoutValue(const uint8_t* decode, std::string_view characters) {
    for (const char character : characters) {
        if (ValueWith(decode, character) > 63) return static_cast<uint8_t>(character);
    }
    return -1;
}

// Careful: the groups on a copy, every character that carries data looked at in order. The
// characters that carry none read as 0, and so, where `padding` allows it, do the characters of
// a line that ends before its groups do: mailers strip the trailing blanks that encoders write
// for 0. Kept out of DecodeLine, so that the whole-line paths need neither its buffer nor its
// stack frame.
[[gnu::noinline]] int DecodeLineCarefully(const AlphabetState& alphabet, std::string_view line, int count,
                                          uint8_t* out, Padding padding) {
    const size_t wanted = 4 * static_cast<size_t>((count + 2) / 3);
    const size_t carrying = CarryingCharacters(count);
    const std::string_view present = PresentCharacters(line, carrying);
    if (FirstWithoutValue(alphabet.decode, present) >= 0) return -1;
    if (present.size() < carrying && padding == Padding::Refused) return kShortLine;
    char groups[4 * kMaxGroups];
    std::memcpy(groups, present.data(), present.size());
    std::memset(groups + present.size(), ActiveAlphabet(alphabet)[0], wanted - present.size());
    for (size_t at = 0; at < wanted; at += 4, out += 3) DecodeGroupWith(alphabet.decode, groups + at, out);
    return count;
}

// Whether `line` holds its length character and, up to its groups' end, only characters with a
// value in `decode`'s alphabet; with `whole`, also every character of the groups that carries
// data (it is not short).
bool ReadsAsData(const uint8_t* decode, std::string_view line, bool whole) {
    const uint32_t count = ValueWith(decode, line[0]);
    if (count > 63) return false;
    const size_t carrying = CarryingCharacters(static_cast<int>(count));
    const std::string_view present = PresentCharacters(line, carrying);
    if (whole && present.size() < carrying) return false;
    for (const char character : present) {
        if (ValueWith(decode, character) > 63) return false;
    }
    return true;
}

// Whether the line holds nothing but its line end: mail systems insert such lines among the
// data, where they are neither data nor the end. Asked of every line, and a data line answers
// at its first character: a loop here, where find_first_not_of would call memchr for it.
bool IsEmptyLine(std::string_view line) {
    for (const char character : line) {
        if (character != '\n' && character != '\r') return false;
    }
    return true;
}

// The next line that is not empty, and whether empty lines came before it; empty at the end of
// the file. A data line is one line however long: a piece that fills the line buffer without its
// LF is kept in `buffer`, which then holds every group a length character can ask for, and the
// rest of the line is read past. `last` gets the line's last character before its end.
std::string_view NextDataLine(Stream& input, char* buffer, bool* after_empty, char* last) {
    std::string_view line;
    for (;;) {
        line = StreamNextLine(input, buffer, kLineBufferSize);
        if (line.empty()) return line;
        if (!IsEmptyLine(line)) break;
        *after_empty = true;
    }
    *last = line.back() == '\n' ? line[line.size() - 2] : line.back();
    if (line.back() == '\n' || line.size() < kLineBufferSize - 1) return line;
    // The next read may move the stream's buffer under the view.
    if (line.data() != buffer) std::memcpy(buffer, line.data(), line.size());
    char rest[kLineBufferSize];
    for (std::string_view piece = StreamNextLine(input, rest, sizeof rest); !piece.empty();
         piece = StreamNextLine(input, rest, sizeof rest)) {
        if (piece.back() != '\n') {
            *last = piece.back();
        } else {
            if (piece.size() > 1) *last = piece[piece.size() - 2];
            break;
        }
    }
    return {buffer, line.size()};
}

// After a line that begins with "end" and is a whole data line too: whether lines that read as
// data follow it, up to another line that begins with "end".
bool DataLinesFollowUpToEnd(const AlphabetState& alphabet, Stream& input, char* buffer) {
    int data_lines = 0;
    for (;;) {
        bool after_empty = false;
        char last = 0;
        const std::string_view line = NextDataLine(input, buffer, &after_empty, &last);
        if (line.empty()) return false;
        if (line.starts_with("end")) return data_lines > 0;
        if (!ReadsAsData(alphabet.decode, line, false)) return false;
        ++data_lines;
    }
}

}  // namespace

// ---- Paths ------------------------------------------------------------------------------------

CodecPath BestCodecPath() { return g_best_path; }

bool CodecPathSupported(CodecPath path) {
    switch (path) {
        case CodecPath::Ssse3: return g_processor_path == CodecPath::Ssse3;
        case CodecPath::Words:
        case CodecPath::Table:
        case CodecPath::Careful: return true;
    }
    return false;
}

CodecPath ActiveCodecPath() { return g_codec_path; }

bool SetCodecPath(CodecPath path) {
    if (!CodecPathSupported(path)) return false;
    g_codec_path = path;
    return true;
}

const char* CodecPathName(CodecPath path) {
    switch (path) {
        case CodecPath::Ssse3: return "ssse3";
        case CodecPath::Words: return "words";
        case CodecPath::Table: return "table";
        case CodecPath::Careful: return "careful";
    }
    return "?";
}

// ---- Lines and groups -------------------------------------------------------------------------

int EncodeGroup(const AlphabetState& alphabet, const uint8_t* bytes, char* out) {
    EncodeGroupWith(ActiveAlphabet(alphabet), bytes, out);
    return 0;
}

int EncodeLine(const AlphabetState& alphabet, const uint8_t* bytes, char* line, int count) {
    const char* characters = ActiveAlphabet(alphabet);
    line[0] = characters[count & 0x3F];
    const int groups = (count + 2) / 3;
    char* out = line + 1;
    const CodecPath path = alphabet.active == AlphabetKind::Default ? g_codec_path : CodecPath::Table;
    switch (path) {
        case CodecPath::Ssse3:
#if UUARC_CODEC_X86
            if (groups >= 6) {
                EncodeDefaultSsse3(bytes, groups, out);
                break;
            }
#endif
            [[fallthrough]];
        case CodecPath::Words: EncodeDefaultWords(bytes, groups, out); break;
        case CodecPath::Table:
        case CodecPath::Careful:
            for (int group = 0; group < groups; ++group) EncodeGroupWith(characters, bytes + 3 * group, out + 4 * group);
            break;
    }
    line[1 + 4 * groups] = '\n';
    return 4 * groups + 2;
}

int DecodeGroup(const AlphabetState& alphabet, const char* characters, uint8_t* out) {
    return DecodeGroupWith(alphabet.decode, characters, out) == 0 ? 0 : -1;
}

int DecodeLine(const AlphabetState& alphabet, std::string_view line, uint8_t* out, Padding padding) {
    // A length character outside the alphabet fails the line like any other character there.
    if (line.empty()) return -1;
    const int count = CharValue(alphabet, line[0]);
    if (count > 63) return -1;
    if (count == 0) return 0;
    const int groups = (count + 2) / 3;
    const size_t needed = 1 + 4 * static_cast<size_t>(groups);
    if (line.size() >= needed && DecodeGroupsUnchecked(alphabet, line.data() + 1, groups, out)) return count;
    return DecodeLineCarefully(alphabet, line, count, out, padding);
}

namespace {

// The characters of a full line before its end: the length character and fifteen groups.
constexpr size_t kFullLineCharacters = 1 + 4 * (kBytesPerLine / 3);

// The length of the full line at `line`, its end included, when it starts with
// `length_character`, does not begin with "end" or "begin", and ends after its groups in LF, CR LF
// or a CR alone whose next byte is in view; 0 otherwise.
inline size_t FullLineLength(const char* line, size_t left, char length_character) {
    if (left <= kFullLineCharacters || line[0] != length_character) return 0;
    // "end" ends the data, whatever else the line could be, and a begin line may start the next
    // file of a text (the line routines decide).
    if (length_character == 'e' && line[1] == 'n' && line[2] == 'd') return 0;
    if (length_character == 'b' && std::string_view(line, 5) == "begin") return 0;
    const char end = line[kFullLineCharacters];
    if (end == '\n') return kFullLineCharacters + 1;
    if (end != '\r' || left == kFullLineCharacters + 1) return 0;
    return line[kFullLineCharacters + 1] == '\n' ? kFullLineCharacters + 2 : kFullLineCharacters + 1;
}

#if UUARC_CODEC_X86
// The default alphabet's length character for 45 bytes: 'M'.
constexpr char kDefaultFullLength = static_cast<char>(0x20 + kBytesPerLine);

// Ssse3: the run of full lines in the default alphabet, each line's groups as DecodeDefaultSsse3
// takes them, compiled into this loop: a call and a choice of path a line cost about a tenth of an
// extraction's time (bench/floor.sh, against a build without the loop), which the loop saves. The
// last step's four zero bytes fall where the next line's bytes go. A run keeps the line end of its
// first line (a file keeps to one), so the next line's place is known before this line's end is
// read: worked out from each line's own end, it waited for that byte, a line at a time (a third
// longer on CR LF lines).
UUARC_SSSE3_ROUTINE size_t DecodeFullLinesSsse3(const char* line, size_t left, uint8_t* out, size_t most,
                                               const char** end) {
    const size_t stride = FullLineLength(line, left, kDefaultFullLength);
    size_t lines = 0;
    for (; stride != 0 && lines < most; ++lines) {
        if (FullLineLength(line, left, kDefaultFullLength) != stride ||
            !DecodeDefaultSsse3(line + 1, kBytesPerLine / 3, out))
            break;
        line += stride;
        left -= stride;
        out += kBytesPerLine;
    }
    *end = line;
    return lines;
}

// Ssse3: the run of full lines in the default alphabet, each line's groups as EncodeDefaultSsse3
// writes them, compiled into this loop as above with its constants kept in registers, and the line
// end written as one or two stores rather than copied (a fifth of a creation's processor time).
template <bool kCrLf>
UUARC_SSSE3_ROUTINE char* EncodeFullLinesSsse3(const uint8_t* bytes, size_t lines, char* out) {
    for (size_t line = 0; line < lines; ++line, bytes += kBytesPerLine) {
        out[0] = kDefaultFullLength;
        EncodeDefaultGroupsSsse3(bytes, kBytesPerLine / 3, out + 1);
        out += kFullLineCharacters;
        if constexpr (kCrLf) *out++ = '\r';
        *out++ = '\n';
    }
    return out;
}
#endif

}  // namespace

size_t EncodeFullLines(const AlphabetState& alphabet, const uint8_t* bytes, size_t lines, char* out,
                       std::string_view line_end) {
    char* const start = out;
#if UUARC_CODEC_X86
    if (g_codec_path == CodecPath::Ssse3 && alphabet.active == AlphabetKind::Default) {
        const auto encode = line_end.size() == 2 ? EncodeFullLinesSsse3<true> : EncodeFullLinesSsse3<false>;
        return static_cast<size_t>(encode(bytes, lines, out) - start);
    }
#endif
    for (size_t line = 0; line < lines; ++line, bytes += kBytesPerLine) {
        EncodeLine(alphabet, bytes, out, kBytesPerLine);  // its LF is overwritten by the line end
        std::memcpy(out + kFullLineCharacters, line_end.data(), line_end.size());
        out += kFullLineCharacters + line_end.size();
    }
    return static_cast<size_t>(out - start);
}

size_t DecodeFullLines(const AlphabetState& alphabet, std::span<const uint8_t> text, uint8_t* out, size_t most,
                       size_t* consumed) {
    const char* line = reinterpret_cast<const char*>(text.data());
    size_t lines = 0;
#if UUARC_CODEC_X86
    if (g_codec_path == CodecPath::Ssse3 && alphabet.active == AlphabetKind::Default) {
        lines = DecodeFullLinesSsse3(line, text.size(), out, most, &line);
        *consumed = static_cast<size_t>(line - reinterpret_cast<const char*>(text.data()));
        return lines;
    }
#endif
    const char length_character = ActiveAlphabet(alphabet)[kBytesPerLine];
    size_t left = text.size();
    const size_t stride = FullLineLength(line, left, length_character);  // as the SSSE3 loop keeps it
    for (; stride != 0 && lines < most; ++lines) {
        if (FullLineLength(line, left, length_character) != stride ||
            !DecodeGroupsUnchecked(alphabet, line + 1, kBytesPerLine / 3, out))
            break;
        line += stride;
        left -= stride;
        out += kBytesPerLine;
    }
    *consumed = text.size() - left;
    return lines;
}

LineFault FindLineFault(const AlphabetState& alphabet, std::string_view line) {
    LineFault fault;
    if (line.empty()) return fault;
    const int count = CharValue(alphabet, line[0]);
    if (count > 63) {
        fault.character = static_cast<uint8_t>(line[0]);
        return fault;
    }
    fault.wanted = CarryingCharacters(count);
    const std::string_view present = PresentCharacters(line, fault.wanted);
    fault.character = FirstWithoutValue(alphabet.decode, present);
    fault.present = present.size();
    return fault;
}

int64_t LineNumberAt(Stream& input, int64_t offset) {
    char buffer[kLineBufferSize];
    int64_t number = 0;
    bool line_start = true;
    for (;;) {
        const std::string_view piece = StreamNextLine(input, buffer, sizeof buffer);
        if (piece.empty()) return -1;
        if (line_start) ++number;
        line_start = piece.back() == '\n';
        if (StreamPosition(input) > offset && !IsEmptyLine(piece)) return number;
    }
}

int ReadFirstDataLine(AlphabetState& alphabet, Stream& input, char* buffer, std::string_view& line) {
    bool after_empty = false;
    char last = 0;
    line = NextDataLine(input, buffer, &after_empty, &last);
    if (line.empty()) return -1;
    // An empty line is what is left of a zero-length line whose blank was stripped: "end" after
    // it ends a file without data. Right after the begin line, "end" is read as data.
    if (after_empty && line.starts_with("end")) return 1;
    // The alphabet is settled before any character is read as missing: a line that reads whole
    // in the active alphabet keeps it, one that reads whole only in XX switches (an xxencoded
    // file of fewer than 38 bytes has a length character that is a classic one too).
    if (ReadsAsData(alphabet.decode, line, true)) return 0;
    AlphabetState xx = alphabet;
    SwitchToXxAlphabet(xx, kXxAlphabet[0]);
    if (ReadsAsData(xx.decode, line, true)) {
        alphabet = xx;
        return 0;
    }
    // Whole in neither: the length character decides, and the line may be short.
    if (CharValue(alphabet, line[0]) == AlphabetState::kNoValue &&
        SwitchToXxAlphabet(alphabet, line[0]) == AlphabetState::kNoValue) {
        return -1;
    }
    return 0;
}

int ReadNextDataLine(const AlphabetState& alphabet, Stream& input, char* buffer, std::string_view& line) {
    bool after_empty = false;
    char last = 0;
    line = NextDataLine(input, buffer, &after_empty, &last);
    if (line.empty()) return -1;
    if (!line.starts_with("end")) return 0;
    // Where "e" has a value, "end..." may be a data line as well as the end: it ends the data
    // unless more data follows it up to another end line, and then nothing can tell which.
    if (!ReadsAsData(alphabet.decode, line, true)) return 1;
    return DataLinesFollowUpToEnd(alphabet, input, buffer) ? kAmbiguousEnd : 1;
}

bool PaddingAllowed(const AlphabetState& alphabet, Stream& input) {
    // A blank reads as 0 in the default alphabet and in a table that lists it for 0; the default
    // alphabet writes 0 as the backquote too, and a file that does so strips nothing.
    const char* characters = ActiveAlphabet(alphabet);
    const bool default_alphabet = alphabet.active == AlphabetKind::Default;
    if (!default_alphabet && (alphabet.xx_mode || characters[0] != ' ')) return false;
    const char other_zero = default_alphabet ? characters[0] : '\0';
    char buffer[kLineBufferSize];
    bool first = true;
    for (;;) {
        bool after_empty = false;
        char last = 0;
        const std::string_view line = NextDataLine(input, buffer, &after_empty, &last);
        if (line.empty() || (line.starts_with("end") && (after_empty || !first))) return true;
        first = false;
        if (last == ' ') return false;
        if (other_zero == '\0') continue;
        const uint8_t count = CharValue(alphabet, line[0]);
        if (line[0] == other_zero) return false;
        if (count > 63) continue;
        const std::string_view groups = PresentCharacters(line, 4 * static_cast<size_t>((count + 2) / 3));
        if (groups.find(other_zero) != std::string_view::npos) return false;
    }
}

}  // namespace uuarc
