// codec_path.h - the ways the line codec (line_codec.h) can code a line, which one it takes, and
// the setting that forces one for tests and benchmarks. Every path gives the same answers.
#pragma once

#include <cstdint>

namespace uuarc {

// The default alphabet, which creation writes and most files carry, is a range of characters and
// is coded by arithmetic on the first two paths; any alphabet can go through its tables. Lines in
// the XX or a table alphabet take Table on every path but Careful. Base64 lines are decoded with
// vectors on Ssse3 and a character at a time on the others.
enum class CodecPath : uint8_t {
    Ssse3,    // sixteen characters a step (x86 with SSSE3), runs of full lines in one loop; short
              // lines as Words
    Words,    // the build's own word: two groups in a 64-bit word, one in a 32-bit word in a 32-bit build
    Table,    // a look-up per character, a whole line decoded without a branch per character
    Careful,  // decoding group by group up to the first character without a value; encoding as Table
};
constexpr int kCodecPathCount = 4;

// Ssse3 where the processor has SSSE3, Words otherwise. The module asks the processor once, when
// it is loaded, and the line routines take this path unless a test has forced another (or a
// benchmark build pinned one: bench/paths.sh).
CodecPath BestCodecPath();

// Whether this processor and build can run the path: Ssse3 only on x86 with SSSE3, the others
// everywhere.
bool CodecPathSupported(CodecPath path);

// The path the line routines take now.
CodecPath ActiveCodecPath();

// Makes the line routines take `path` from now on, for tests and benchmarks (never exported, and
// nothing in the module calls it). False, and nothing changed, when the path is not supported.
bool SetCodecPath(CodecPath path);

// The path's name in lower case ("ssse3", "words", ...), as tests and benchmarks print it.
const char* CodecPathName(CodecPath path);

}  // namespace uuarc
