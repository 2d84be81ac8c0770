// line_codec.h - data lines: three bytes to four characters and back, with the active alphabet
// of the caller's alphabet state and its decode table, and the reading of data lines up to the
// line that begins with "end". Nothing here sets a status: failures are returned.
//
// A data line is the length character (the alphabet's character for n, 0..63), (n + 2) / 3 groups
// of four characters, then LF. Characters after the groups are never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/alphabet.h"
#include "format/format.h"
#include "platform/platform.h"

namespace uuarc {

// Writes the four characters of the group b0 b1 b2 to `out`. Returns 0.
int EncodeGroup(const AlphabetState& alphabet, const uint8_t* bytes, char* out);

// Writes the line for `count` bytes (0..45) to `line` (kMaxEncodedLine bytes, no NUL added) and
// returns its length with the LF: 4 * ((count + 2) / 3) + 2.
int EncodeLine(const AlphabetState& alphabet, const uint8_t* bytes, char* line, int count);

// Decodes four characters into three bytes and a zero byte at `out`. -1 when a character has no
// value (the caller's status 9964).
int DecodeGroup(const AlphabetState& alphabet, const char* characters, uint8_t* out);

// Decodes a data line as read (its characters through the LF) into `out` (kDecodeBufferSize
// bytes); past its end there are no values. Returns n, the value of the length character; 0 at
// once for a zero-length line; -1 when a group fails.
int DecodeLine(const AlphabetState& alphabet, std::string_view line, uint8_t* out);

// Reads the first data line and settles the alphabet by its length character, switching to XX
// when it fits only that alphabet. 0, or -1 at the end of the file or for a character in neither
// alphabet. `line` views the line: in `buffer` (kLineBufferSize bytes) or, not copied, in the
// stream's own buffer (see StreamNextLine), valid until the next read.
int ReadFirstDataLine(AlphabetState& alphabet, Stream& input, char* buffer, std::string_view& line);

// Reads the next line, as above: 0 for a data line, 1 when it begins with "end", -1 at the end
// of the file.
int ReadNextDataLine(Stream& input, char* buffer, std::string_view& line);

}  // namespace uuarc
