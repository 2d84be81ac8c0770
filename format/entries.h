// entries.h - a text that carries several encoded files one after the other (a mail with two
// attachments, a digest): where each file's data ends, for the reading of every file of a text
// (the module's own option UUARC_OPTION_EVERY_FILE).
//
// After a file's begin line the reader waits for what ends its data:
//   data lines   - any other line; passed over here, decoded by extraction
//   the end line - "end" after uuencoded lines, "====" after base64 lines: the file is whole
//   a begin line - of either form: the file has no end line (damaged); the line is carried over
//                  to the search for the next file, which it starts
//   the end      - of the text: the file has no end line
// Between files, the search for the next begin line passes over free text and takes in a table
// block, as for the first one.
#pragma once

#include <cstdint>
#include <string_view>

#include "format/alphabet.h"
#include "format/format.h"
#include "format/header.h"
#include "platform/platform.h"

namespace uuarc {

// What ended a file's data, so far.
enum class EntryEnd : uint8_t {
    None,       // not yet: the reading stopped inside the data (or never started it)
    EndLine,
    NextBegin,  // carried in EntryCursor::carried
    EndOfText,
};

// Where the reading of a text of several files stands.
struct EntryCursor {
    CarriedLine carried;
    EntryEnd end = EntryEnd::None;
    int64_t data_at = 0;  // file offset just after the current file's begin line
};

// Finds the next file's begin line (the carried one first): 0 with `found` filled in, the stream
// after the begin line, `cursor.end` None and `cursor.data_at` set; -1 when no begin line follows
// (FindBeginLine's -1: the end of the text, or a table block that repeats a character, after
// which the rest of the text is not read). Each file starts from the default alphabet, so a table block serves the
// begin line after it alone and a switch to xx the one file.
int FindNextEntry(AlphabetState& alphabet, Stream& input, EntryCursor& cursor, BeginLine& found);

// Passes over what is left of the current file's data, without decoding it, up to what ends it
// (returned and kept in `cursor.end`). `*data_end`, when not null, gets the file offset after the
// file's last line: after its end line, before the begin line that cut it, or the end of the text.
EntryEnd SkipEntryData(Stream& input, BeginForm form, EntryCursor& cursor, int64_t* data_end);

// For a decoding: what the data line just read (`line`, with the reader's answer `next`: 0 data,
// 1 the end line, -1 the end of the text or a line that cannot start the data) says of the file.
// A begin line is carried and read as the end of the text (-1); the answer is passed on otherwise.
int NoteDataLine(EntryCursor& cursor, int next, std::string_view line);

// The same for a base64 line as StreamNextLine gives it: empty for a begin line (carried), which
// the decoding then takes for the end of the text; the line itself otherwise.
std::string_view NoteBase64Line(EntryCursor& cursor, std::string_view line);

}  // namespace uuarc
