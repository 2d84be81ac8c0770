// line_codec.h - data lines: three bytes to four characters and back, with the active alphabet
// of the caller's alphabet state and its decode table, and the reading of data lines up to the
// line that begins with "end". Nothing here sets a status: failures are returned.
//
// A data line is the length character (the alphabet's character for n, 0..63), (n + 2) / 3 groups
// of four characters, then LF. Characters after the groups are never looked at, however long the
// line is, and neither are the one or two characters of a short last group that carry no data
// bits. A line that ends before a character that does carry data is short: it reads as if the
// missing characters were the alphabet's character for 0 only where the caller allows it (blanks
// that a mailer stripped; see PaddingAllowed). Empty lines among the data lines are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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

// How DecodeLine reads a line that ends before a character that carries data bits.
enum class Padding : uint8_t {
    Refused,  // the line is short: kShortLine
    Allowed,  // the missing characters read as the alphabet's character for 0
};
constexpr int kShortLine = -2;

// Decodes a data line as read (its characters through the LF) into `out` (kDecodeBufferSize
// bytes). Returns n, the value of the length character; 0 at once for a zero-length line; -1
// when the length character or a character of the groups that carries data has no value;
// kShortLine when the line (its LF, or the end of the view, which is never read past) ends
// before a character that carries data and `padding` refuses to read it as 0. The characters of
// a short last group that carry no data read as 0, present or not.
int DecodeLine(const AlphabetState& alphabet, std::string_view line, uint8_t* out, Padding padding);

// Why DecodeLine refuses `line` when no padding is allowed: `character` is the first character
// without a value (the length character, or one of the groups' characters that carry data), as
// a byte, or -1 when there is none; then the line is short when `present`, the characters of its
// groups before its end that carry data, are fewer than `wanted`, those its length asks for.
struct LineFault {
    int character = -1;
    size_t present = 0;
    size_t wanted = 0;
};
LineFault FindLineFault(const AlphabetState& alphabet, std::string_view line);

// Most encoded files are runs of full lines: the length character for 45 bytes, its fifteen
// groups, then LF, CR LF or a CR alone. DecodeFullLines takes such lines from `text`, the file's
// bytes as they lie in the input's buffer (text mode not applied), for as long as they come, at
// most `most` of them, and decodes them into `out`, 45 bytes a line (the room must hold
// kFullLineSlack bytes more). It stops before the first line of another form, one whose line end
// is not as long as the first line's (a run keeps to one kind), one that begins with "end" or
// "begin" (where a table makes "e" or "b" the length character for 45: the line routines see the
// end of the data, or the next file of a text), one with a character that has no value, a CR
// whose next byte is not there yet, and anything at the end of `text` that is not a whole line:
// the line routines take those, and they give for the lines taken here what this gives.
// `consumed` gets the bytes of `text` taken; returns the lines.
constexpr size_t kFullLineSlack = 32;
// The most full lines that a caller takes at once: 45 KiB decoded.
constexpr size_t kFullLinesAtOnce = 1024;
size_t DecodeFullLines(const AlphabetState& alphabet, std::span<const uint8_t> text, uint8_t* out, size_t most,
                       size_t* consumed);

// Full lines in a run, as creation writes them: `lines` blocks of 45 bytes from `bytes`, each
// written as EncodeLine writes it but ended with `line_end` (LF, or CR LF for a text file), one
// after the other into `out`. Returns the characters written: lines * (61 + line_end's length).
size_t EncodeFullLines(const AlphabetState& alphabet, const uint8_t* bytes, size_t lines, char* out,
                       std::string_view line_end);

// Reads the first data line, skipping empty lines, and settles the alphabet before any character
// is read as missing: the active alphabet when the line reads whole in it (every character that
// carries data there and with a value), else XX when it reads whole in that, else the alphabet
// of its length character, the active one first (switching to XX when only that has it). The
// line is data even when it begins with "end" (the caller reads such a line whole or not at
// all). 0 with the line to decode; 1 when the line after one or more empty lines begins with
// "end" (the zero-length line of an empty file, its blank stripped), nothing to decode; -1 at
// the end of the file or for a length character in neither alphabet. `line` views the line: in
// `buffer` (kLineBufferSize bytes) or, not copied, in the stream's own buffer (see
// StreamNextLine), valid until the next read. A line longer than the buffer is one line: its
// first kLineBufferSize - 1 characters hold every group a length character can ask for, and
// the rest of it is read past.
int ReadFirstDataLine(AlphabetState& alphabet, Stream& input, char* buffer, std::string_view& line);

// Reads the next line that is not empty, as above: 0 for a data line; 1 when it begins with
// "end"; kAmbiguousEnd when that line is a whole data line of the active alphabet too and data
// lines follow it up to another line that begins with "end", so that where the data ends cannot
// be told; -1 at the end of the file.
constexpr int kAmbiguousEnd = 2;
int ReadNextDataLine(const AlphabetState& alphabet, Stream& input, char* buffer, std::string_view& line);

// Whether a short data line may read padded: only where blanks can have been stripped from the
// file's data lines. The active alphabet must read a blank as 0 (the default alphabet, or a table
// whose character for 0 is the blank; never XX); no data line from `input`'s next line (the first
// after the begin line) to the end line may use the alphabet's other form of 0 (the backquote)
// in its length character or groups; and none may end in a blank that a mailer would have
// stripped. Reads `input` up to the end line or the end of the file.
bool PaddingAllowed(const AlphabetState& alphabet, Stream& input);

// The number of a line, 1 for the first, for a message: reads `input` from its start (freshly
// opened in text mode, so that lines end at LF, CR LF or a CR alone) to the line that holds the
// byte at `offset`, or to the first that is not empty after it when that line is empty. -1 when
// the text ends before. A line longer than the line buffer counts once.
int64_t LineNumberAt(Stream& input, int64_t offset);

}  // namespace uuarc
