// header.h - the scan of an encoded file up to its begin line: free text is passed over, a
// "table" block is taken in, and the begin line gives the stored name; and the rules by which a
// stored name is read (OEM code page 437 or UTF-8) and written.
//
// The scan waits for one of three things, line by line:
//   free text  - any line; passed over, and followed in case it is creation's size header; the
//                first part marker ("Part 2 of 3", see FindBeginLine) is kept
//   "table"    - a line whose first five characters are "table", when the next 16 lines at most
//                hold a block: 64 distinct characters, not cut short by the end of the file, a
//                line starting with NUL or a begin line. Without one, a line that is "table"
//                alone (blanks after it allowed) fails the scan: a block was meant and is
//                damaged; any other is free text, and the lines read ahead are scanned again
//   "begin "   - "begin", one space, an octal mode and a name: the begin line; the scan stops
//   "begin-base64 " - the same, for base64 lines: the begin line too; the first of the two decides
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/alphabet.h"
#include "format/format.h"
#include "platform/platform.h"

namespace uuarc {

// The part of a posting split over several texts that a text says it is: "Part N of M", "part
// N/M", "section N of M", "section N/M" or "[N/M]" anywhere in a line of free text, in any case,
// leading zeros allowed, with 1 <= N <= M and M >= 2 (so the "section  1/1" of creation's header
// is none). uuenview writes "_=_ Part 001 of 003 of file bin.dat": " of file NAME" after the
// marker names the file, read as a stored name is.
struct PartMarker {
    int32_t number = 0;
    int32_t total = 0;                // 0: the text says no part
    char name[kNameBufferSize] = {};  // "" when the marker names no file
};

// What a begin line says, and what the lines just before it say of the file.
struct BeginLine {
    char name[kNameBufferSize] = {};  // the stored name in the ANSI code page (Linux: its bytes)
    bool name_cut = false;            // its ANSI form did not fit: cut after its last whole character
    BeginForm form = BeginForm::Uuencode;
    uint32_t mode = 0;                // the octal mode, its low twelve bits
    // The decoded size stated by the header that creation writes, when its six lines come just
    // before the begin line and name the same file byte for byte; -1 otherwise.
    int64_t declared_size = -1;
    // When the scan fails for a line that is "table" alone with no block after it: where that
    // line starts in the file; -1 otherwise.
    int64_t table_at = -1;
    // The first part marker in the free text before the begin line (in the whole text when the
    // scan finds none).
    PartMarker part;
};

// A line already read from the stream that the next FindBeginLine takes as its first line: the
// begin line that ended the data of the file before it, in a text of several files.
struct CarriedLine {
    char text[kLineBufferSize] = {};  // as StreamReadLine stores it, NUL after it
    size_t length = 0;                // 0: nothing carried
};

// Reads `input` up to and including the begin line ("begin" or "begin-base64") into `found`. 0
// with the stream at the line after the begin line; -1 at the end of the file or when a line
// that is "table" alone is followed by no block (`found.table_at` then says where that line
// starts). Sets no status. A line that starts with
// "begin " without an octal mode and a name after it is not a begin line (prose in a mail often
// starts so) and is passed over. A carried line (`first`, when it holds one) is looked at before
// the stream. `found.part` gets the first part marker of the free text read (PartMarker).
//
// The name is the rest of the begin line after the mode and the white space that follows it, up
// to the first CR or LF, without trailing spaces and tabs. It is read as UTF-8 when it is
// well-formed UTF-8 with a byte of 0x80 or more (Unix encoders write names so; an OEM name reads
// so only when a box-drawing character is followed by accented letters) and the ANSI code page
// has every one of its characters; otherwise as OEM code page 437, as OemToCharA converts it.
// Outside Windows a file name is bytes, UTF-8 or not, and so is a stored name: it is taken as it
// is, without the OEM conversion.
int FindBeginLine(AlphabetState& alphabet, Stream& input, BeginLine& found, const CarriedLine* first = nullptr);

// Whether `line` (as read, its LF included or not) is a begin line of either form, as
// FindBeginLine takes one.
bool IsBeginLine(std::string_view line);

// The name that a begin line stores for `name` (ANSI code page), into `stored` (`size` bytes):
// the OEM form when every character has an exact one and the OEM bytes would not be read back as
// UTF-8 (see FindBeginLine); the UTF-8 form otherwise, so that no character becomes a
// look-alike. Cut only when `size` is too small. Outside Windows the name is stored as its bytes,
// UTF-8 or not, as FindBeginLine reads it back.
Conversion MakeStoredName(const char* name, char* stored, size_t size);


// Resets the alphabet, opens `path` in text mode into `input` (closed again at the end; an
// `input` open already, on that file, is read again from its start) and finds the begin line.
// Returns the status for the caller to store: 0 with `name` (kNameBufferSize bytes) and `size`
// filled in; 5 when the file cannot be opened (nothing filled in); 9964 without a begin line (only
// `size` filled in). `size` is the decoded size estimated for the form of the begin line
// (uuencode's without one); without it the file's length is not asked. `name_cut` as for
// FindBeginLine; `scanned`, when given, gets all that the scan found (after 9964, its `table_at`
// and `part`).
uint16_t ScanArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path, char* name, int64_t* size,
                           bool* name_cut = nullptr, BeginLine* scanned = nullptr);

// ScanArchiveHeader, but at 0 `input` stays open at the line after the begin line, for the caller
// to read on or to read again from the start (StreamRewind) without opening the file twice; it is
// closed at any other status.
uint16_t OpenAndScanArchive(AlphabetState& alphabet, Stream& input, const char* path, char* name, int64_t* size,
                            bool* name_cut = nullptr, BeginLine* scanned = nullptr);

// For creation: does the target already hold a begin line of either form? Returns the status
// for the caller: 0 when it does, 2 when it cannot be opened, 9964 when it holds none. Does not
// reset the alphabet; a table block in the probed file makes its alphabet active.
uint16_t ProbeArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path);

}  // namespace uuarc
