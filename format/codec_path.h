// codec_path.h - the ways the line codec (line_codec.h) can code a line, which one it takes, and
// the setting that forces one for tests and benchmarks. Every path gives the same answers.
#pragma once

#include <cstdint>

namespace uuarc {

// The default alphabet, which creation writes and most files carry, is a range of characters and
// is coded by arithmetic on the first four paths; any alphabet can go through its tables. Lines
// in the XX or a table alphabet take Table on every path but Careful. Base64 lines are decoded
// with vectors on Avx2 and Ssse3 and a character at a time on the others.
enum class CodecPath : uint8_t {
    Avx2,     // 32 characters a step (x86 with AVX2 that the system saves); shorter lines as Ssse3
    Ssse3,    // sixteen characters a step (x86 with SSSE3); lines shorter than that as Words64
    Words64,  // two groups in a 64-bit word, an odd last group as Words32
    Words32,  // one group in a 32-bit word
    Table,    // a look-up per character, a whole line decoded without a branch per character
    Careful,  // decoding group by group up to the first character without a value; encoding as Table
};
constexpr int kCodecPathCount = 6;

// Avx2 where the processor has AVX2 and the system saves its registers (cpuid's OSXSAVE bit, and
// XGETBV's XMM and YMM state bits), else Ssse3 where the processor has that, Words64 otherwise.
// The module asks the processor once, when it is loaded, and the line routines take this path
// unless a test has forced another.
CodecPath BestCodecPath();

// Whether this processor and build can run the path: Avx2 only where it is the best path, Ssse3
// only on x86 with SSSE3, the others everywhere.
bool CodecPathSupported(CodecPath path);

// The path the line routines take now.
CodecPath ActiveCodecPath();

// Makes the line routines take `path` from now on, for tests and benchmarks (never exported, and
// nothing in the module calls it). False, and nothing changed, when the path is not supported.
bool SetCodecPath(CodecPath path);

// The path's name in lower case ("avx2", "ssse3", "words64", ...), as tests and benchmarks print it.
const char* CodecPathName(CodecPath path);

}  // namespace uuarc
