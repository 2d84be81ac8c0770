// header.cpp - FindBeginLine, the two header scans built on it, and the stored-name rules.
#include "format/header.h"

#include <cstring>

#include "module/status.h"
#include "platform/utf8.h"

namespace uuarc {

namespace {

// White space as the formatted read "begin %o %s" knows it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// Finds the stored name after a begin line's keyword: after the mode and the white space
// that follows it, up to the first CR or LF (a lone CR, as a file with CR line ends has, ends it
// too), trailing spaces and tabs dropped. False when the mode is not a run of octal digits
// followed by white space, or nothing is left for a name.
bool FindStoredName(const char* rest, const char** name, size_t* length) {
    const char* p = SkipBlanks(rest);
    const char* mode = p;
    while (*p >= '0' && *p <= '7') ++p;
    if (p == mode || !IsBlank(*p)) return false;
    while (IsBlank(*p) && *p != '\r' && *p != '\n') ++p;
    size_t end = std::strcspn(p, "\r\n");
    while (end > 0 && (p[end - 1] == ' ' || p[end - 1] == '\t')) --end;
    *name = p;
    *length = end;
    return end > 0;
}

// Whether `line` is a begin line of either form ("begin " or "begin-base64 ", then the same mode
// and name), with `*form`, `*name` and `*length` set.
bool MatchBeginLine(const char* line, BeginForm* form, const char** name, size_t* length) {
    if (std::strncmp(line, "begin-base64 ", 13) == 0) {
        *form = BeginForm::Base64;
        return FindStoredName(line + 12, name, length);
    }
    *form = BeginForm::Uuencode;
    return std::strncmp(line, "begin ", 6) == 0 && FindStoredName(line + 5, name, length);
}

// Whether the `length` bytes at `text` begin a character that runs past them.
bool IsCutCharacter(const uint8_t* text, size_t length) {
    if (length >= Utf8SequenceLength(text[0])) return false;
    for (size_t i = 1; i < length; ++i) {
        if (!IsUtf8Continuation(text[i])) return false;
    }
    return true;
}

// Whether the name reads as UTF-8: well-formed, with a byte of 0x80 or more. A name that the line
// buffer cut may end inside a character; with `line_cut` that piece is dropped from `*length`.
bool ReadsAsUtf8(const char* name, size_t* length, bool line_cut) {
    const uint8_t* text = reinterpret_cast<const uint8_t*>(name);
    bool high = false;
    size_t at = 0;
    while (at < *length) {
        char32_t code_point = 0;
        const size_t size = DecodeUtf8(text + at, *length - at, &code_point);
        if (size == 0) {
            if (!line_cut || !IsCutCharacter(text + at, *length - at)) return false;
            break;
        }
        high |= code_point >= 0x80;
        at += size;
    }
    if (high) *length = at;
    return high;
}

// The `length` bytes at `name` as a string of their own in `stored` (kLineBufferSize bytes).
const char* TakeName(const char* name, size_t length, char* stored) {
    std::memcpy(stored, name, length);
    stored[length] = '\0';
    return stored;
}

}  // namespace

int FindBeginLine(AlphabetState& alphabet, char* buffer, Stream& input, bool* name_cut, BeginForm* form) {
    char line[kLineBufferSize];
    for (;;) {
        const size_t line_length = StreamReadLine(input, line, sizeof line);
        if (line_length == 0) return -1;
        if (std::strncmp(line, "table", 5) == 0) {
            if (ReadAlphabetTable(alphabet, input) != 0) return -1;
            continue;
        }
        const char* name = nullptr;
        size_t length = 0;
        BeginForm found_form = BeginForm::Uuencode;
        if (!MatchBeginLine(line, &found_form, &name, &length)) continue;
        if (form != nullptr) *form = found_form;

        // The line buffer holds the line only in part when it is full and no LF ends it.
        const bool line_cut = line_length == sizeof line - 1 && line[line_length - 1] != '\n';
        char stored[kLineBufferSize];
        Conversion converted = Conversion::NoForm;
        size_t utf8_length = length;
        if (ReadsAsUtf8(name, &utf8_length, line_cut)) {
            converted = Utf8ToAnsi(TakeName(name, utf8_length, stored), buffer, kNameBufferSize);
        }
        if (converted == Conversion::NoForm) converted = OemToAnsi(TakeName(name, length, stored), buffer, kNameBufferSize);
        if (name_cut != nullptr) *name_cut = converted == Conversion::Cut;
        return 0;
    }
}

Conversion MakeStoredName(const char* name, char* stored, size_t size) {
    const Conversion oem = AnsiToOem(name, stored, size);
    size_t length = std::strlen(stored);
    if (oem == Conversion::Cut || (oem == Conversion::Whole && !ReadsAsUtf8(stored, &length, false))) return oem;
    return AnsiToUtf8(name, stored, size);
}

uint16_t ScanArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path, char* name, int64_t* size,
                           bool* name_cut) {
    ResetDefaultAlphabet(alphabet);
    if (!StreamOpen(input, path, "rt")) return kStatusCannotOpen;
    uint16_t status = kStatusOk;
    char found[kNameBufferSize + 8];
    BeginForm form = BeginForm::Uuencode;
    if (FindBeginLine(alphabet, found, input, name_cut, &form) != 0) {
        status = kStatusBadFormat;
    } else {
        std::memcpy(name, found, std::strlen(found) + 1);
    }
    *size = EstimateDecodedSize(form, StreamLength(input));
    StreamClose(input);
    return status;
}

uint16_t ProbeArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path) {
    if (!StreamOpen(input, path, "rt")) return kStatusNoTarget;
    char found[kNameBufferSize + 4];
    const uint16_t status = FindBeginLine(alphabet, found, input) == 0 ? kStatusOk : kStatusBadFormat;
    StreamClose(input);
    return status;
}

}  // namespace uuarc
