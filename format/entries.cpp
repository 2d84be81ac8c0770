// entries.cpp - the files of a text one after the other: finding each begin line and the end of
// each file's data (entries.h).
#include "format/entries.h"

#include <algorithm>
#include <cstring>

#include "format/base64.h"

namespace uuarc {

namespace {

void Carry(EntryCursor& cursor, std::string_view line) {
    CarriedLine& carried = cursor.carried;
    carried.length = std::min(line.size(), sizeof carried.text - 1);
    std::memcpy(carried.text, line.data(), carried.length);
    carried.text[carried.length] = '\0';
    cursor.end = EntryEnd::NextBegin;
}

bool IsEndLine(BeginForm form, std::string_view line) {
    return form == BeginForm::Base64 ? IsBase64EndLine(line) : line.starts_with("end");
}

}  // namespace

int FindNextEntry(AlphabetState& alphabet, Stream& input, EntryCursor& cursor, BeginLine& found) {
    ResetDefaultAlphabet(alphabet);
    const int result = FindBeginLine(alphabet, input, found, &cursor.carried);
    cursor.carried.length = 0;
    cursor.end = EntryEnd::None;
    cursor.data_at = StreamPosition(input);
    return result;
}

EntryEnd SkipEntryData(Stream& input, BeginForm form, EntryCursor& cursor, int64_t* data_end) {
    char buffer[kLineBufferSize];
    for (;;) {
        const int64_t line_at = StreamPosition(input);
        const std::string_view line = StreamNextLine(input, buffer, sizeof buffer);
        if (line.empty()) {
            cursor.end = EntryEnd::EndOfText;
        } else if (IsBeginLine(line)) {
            Carry(cursor, line);
        } else if (IsEndLine(form, line)) {
            cursor.end = EntryEnd::EndLine;
        } else {
            continue;
        }
        if (data_end != nullptr) *data_end = cursor.end == EntryEnd::EndLine ? StreamPosition(input) : line_at;
        return cursor.end;
    }
}

int NoteDataLine(EntryCursor& cursor, int next, std::string_view line) {
    if (!line.empty() && IsBeginLine(line)) {
        Carry(cursor, line);
        return -1;
    }
    if (next == 1) cursor.end = EntryEnd::EndLine;
    if (next == -1 && line.empty()) cursor.end = EntryEnd::EndOfText;
    return next;
}

std::string_view NoteBase64Line(EntryCursor& cursor, std::string_view line) {
    if (line.empty()) {
        cursor.end = EntryEnd::EndOfText;
    } else if (IsBase64EndLine(line)) {
        cursor.end = EntryEnd::EndLine;
    } else if (IsBeginLine(line)) {
        Carry(cursor, line);
        return {};
    }
    return line;
}

}  // namespace uuarc
