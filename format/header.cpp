// header.cpp - FindBeginLine, the two header scans built on it, the size header that creation
// writes, and the stored-name rules.
#include "format/header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "shared/utf8.h"
#include "uuarc_status.h"

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
// followed by white space, or nothing is left for a name. `*mode` gets the mode's low twelve
// bits, as chmod takes them.
bool FindStoredName(const char* rest, const char** name, size_t* length, uint32_t* mode) {
    const char* p = SkipBlanks(rest);
    const char* digits = p;
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '7'; ++p) value = (value << 3 | static_cast<uint32_t>(*p - '0')) & 07777;
    if (p == digits || !IsBlank(*p)) return false;
    *mode = value;
    while (IsBlank(*p) && *p != '\r' && *p != '\n') ++p;
    size_t end = std::strcspn(p, "\r\n");
    while (end > 0 && (p[end - 1] == ' ' || p[end - 1] == '\t')) --end;
    *name = p;
    *length = end;
    return end > 0;
}

// Whether `line` is a begin line of either form ("begin " or "begin-base64 ", then the same mode
// and name), with `*form`, `*name`, `*length` and `*mode` set.
bool MatchBeginLine(const char* line, BeginForm* form, const char** name, size_t* length, uint32_t* mode) {
    if (std::strncmp(line, "begin-base64 ", 13) == 0) {
        *form = BeginForm::Base64;
        return FindStoredName(line + 12, name, length, mode);
    }
    *form = BeginForm::Uuencode;
    return std::strncmp(line, "begin ", 6) == 0 && FindStoredName(line + 5, name, length, mode);
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

// Whether the line buffer holds `line` only in part: it is full and no LF ends it.
bool IsCutLine(const char* line, size_t length) { return length == kLineBufferSize - 1 && line[length - 1] != '\n'; }

// The `length` bytes of a name at `name` as a stored name reads (FindBeginLine) into `out`
// (kNameBufferSize bytes); `line_cut` when the line buffer held its line only in part.
Conversion ReadStoredName(const char* name, size_t length, bool line_cut, char* out) {
    char stored[kLineBufferSize];
    Conversion converted = Conversion::NoForm;
    size_t utf8_length = length;
    if (ReadsAsUtf8(name, &utf8_length, line_cut)) {
        converted = Utf8ToAnsi(TakeName(name, utf8_length, stored), out, kNameBufferSize);
    }
#if defined(_WIN32)
    if (converted == Conversion::NoForm) converted = OemToAnsi(TakeName(name, length, stored), out, kNameBufferSize);
#else
    // Linux file names are bytes: a name that is not UTF-8 (Latin-1, or OEM from a DOS encoder)
    // is kept as the bytes it is, as other Linux decoders keep it, never converted. It always
    // fits: the line buffer is shorter than the name's.
    if (converted == Conversion::NoForm) {
        TakeName(name, length, out);
        converted = Conversion::Whole;
    }
#endif
    return converted;
}

// ---- Part markers ---------------------------------------------------------------------------
// See PartMarker (header.h). A word is matched at its start only, so "counterpart 1 of 2" marks
// nothing; the first marker of a line counts.

// Whether `text` starts with the lowercase ASCII `word`, in any case.
bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (size_t at = 0; at < word.size(); ++at) {
        if ((text[at] | 0x20) != word[at]) return false;
    }
    return true;
}

bool IsAsciiLetter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

void SkipSpaces(std::string_view text, size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
}

// The number of at most nine digits at `at`, which moves past it; -1 when none is there.
int32_t ReadPartNumber(std::string_view text, size_t& at) {
    const size_t start = at;
    int32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (at - start == 9) return -1;
        value = value * 10 + (text[at] - '0');
    }
    return at == start ? -1 : value;
}

// "N of M" (unless `slash_only`) or "N/M" from `at`, blanks around the numbers allowed, into
// `marker`; false, `marker` untouched, when they are not there or count no part of a split.
bool ReadPartNumbers(std::string_view text, size_t& at, bool slash_only, PartMarker& marker) {
    SkipSpaces(text, at);
    const int32_t number = ReadPartNumber(text, at);
    SkipSpaces(text, at);
    if (at < text.size() && text[at] == '/') {
        ++at;
    } else if (!slash_only && StartsWithWord(text.substr(at), "of")) {
        at += 2;
    } else {
        return false;
    }
    SkipSpaces(text, at);
    const int32_t total = ReadPartNumber(text, at);
    if (number < 1 || total < 2 || number > total) return false;
    marker.number = number;
    marker.total = total;
    return true;
}

// The first part marker in the line of free text `line` (`length` bytes as read) into `marker`,
// with the name that " of file NAME" after it gives (up to the line end, trailing blanks dropped).
void FindPartMarker(const char* line, size_t length, PartMarker& marker) {
    const std::string_view text(line, std::strcspn(line, "\r\n"));
    for (size_t at = 0; at < text.size(); ++at) {
        size_t next = at + 1;
        const bool bracket = text[at] == '[';
        if (!bracket) {
            if (at > 0 && IsAsciiLetter(text[at - 1])) continue;
            const std::string_view rest = text.substr(at);
            if (StartsWithWord(rest, "part")) {
                next = at + 4;
            } else if (StartsWithWord(rest, "section")) {
                next = at + 7;
            } else {
                continue;
            }
        }
        PartMarker found;
        if (!ReadPartNumbers(text, next, bracket, found)) continue;
        if (bracket) {
            SkipSpaces(text, next);
            if (next == text.size() || text[next] != ']') continue;
            ++next;
        }
        SkipSpaces(text, next);
        if (StartsWithWord(text.substr(next), "of")) {
            next += 2;
            SkipSpaces(text, next);
            const std::string_view rest = text.substr(next);
            if (StartsWithWord(rest, "file") && rest.size() > 4 && (rest[4] == ' ' || rest[4] == '\t')) {
                next += 4;
                SkipSpaces(text, next);
                size_t end = text.size();
                while (end > next && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
                if (end > next) ReadStoredName(text.data() + next, end - next, IsCutLine(line, length), found.name);
            }
        }
        marker = found;
        return;
    }
}

// A line that was meant to start a table block: "table" alone, blanks and the line end after it
// allowed. Prose that starts with the word ("tables follow below") starts one only when a block
// follows it.
bool IsTableLine(const char* line, size_t length) {
    if (length < 5 || std::strncmp(line, "table", 5) != 0) return false;
    for (size_t at = 5; at < length; ++at) {
        if (line[at] != ' ' && line[at] != '\t' && line[at] != '\r' && line[at] != '\n') return false;
    }
    return true;
}

// ---- Table blocks -----------------------------------------------------------------------------
// A line whose first five characters are "table" starts a block when the lines after it give 64
// characters, none repeated, within kTableLookAhead lines. Those lines are read ahead and kept, so
// that the scan can take them again as ordinary lines when they give no block.
constexpr size_t kTableLookAhead = 16;

struct LookAhead {
    char lines[kTableLookAhead][kLineBufferSize];
    size_t lengths[kTableLookAhead] = {};
    int64_t offsets[kTableLookAhead] = {};  // where each line starts in the file
    size_t first = 0;  // the oldest line kept
    size_t count = 0;
};

// The scan's next line into `line` (kLineBufferSize bytes), as StreamReadLine gives it, and where
// it starts into `offset`: the oldest line read ahead, else the stream's next.
size_t NextScanLine(LookAhead& ahead, Stream& input, char* line, int64_t* offset) {
    if (ahead.count == 0) {
        *offset = StreamPosition(input);
        return StreamReadLine(input, line, kLineBufferSize);
    }
    *offset = ahead.offsets[ahead.first];
    const size_t length = ahead.lengths[ahead.first];
    std::memcpy(line, ahead.lines[ahead.first], length + 1);
    ahead.first = (ahead.first + 1) % kTableLookAhead;
    --ahead.count;
    return length;
}

// The block after a line that begins with "table", read as a block is read: every character
// from 0x01 to 0x7F but the LF up to the 64th, bytes from 0x80 up skipped; the end of the file, a
// line that starts with NUL or with "begin " ends it short. 0: the block's alphabet is active and
// its lines are taken. -1: no block of 64 distinct characters within kTableLookAhead lines; the
// alphabet is as it was and every line read ahead is left to be scanned again.
int ReadAlphabetTable(AlphabetState& alphabet, LookAhead& ahead, Stream& input) {
    char gathered[64];
    size_t count = 0;
    for (size_t used = 0; used < kTableLookAhead; ++used) {
        const size_t slot = (ahead.first + used) % kTableLookAhead;
        if (used == ahead.count) {
            ahead.offsets[slot] = StreamPosition(input);
            ahead.lengths[slot] = StreamReadLine(input, ahead.lines[slot], kLineBufferSize);
            if (ahead.lengths[slot] == 0) return -1;
            ++ahead.count;
        }
        const char* line = ahead.lines[slot];
        if (line[0] == '\0' || std::strncmp(line, "begin ", 6) == 0) return -1;
        // Spaces and tabs are table characters like any other; only the line end (a CR reads as
        // one), the NUL that ends the string and bytes from 0x80 up are not.
        for (const char* p = line; *p != '\0' && *p != '\n' && count < sizeof gathered; ++p) {
            if (static_cast<uint8_t>(*p) < 0x80) gathered[count++] = *p;
        }
        if (count < sizeof gathered) continue;
        AlphabetState trial = alphabet;
        if (UseTableAlphabet(trial, gathered) != 0) return -1;
        alphabet = trial;
        ahead.first = (slot + 1) % kTableLookAhead;
        ahead.count -= used + 1;
        return 0;
    }
    return -1;
}

// ---- The size header ------------------------------------------------------------------------
// Creation writes six lines before the begin line (operations/create.cpp, WriteEncodedText):
//   "%12s:  decoded size: N"       the name, right-aligned in 12 columns (whole when longer)
//   "%12s   encoded size: M (~)"   with " ": 15 spaces, then the estimate
//   ""
//   "%-12s   section  1/1 "        the name, left-aligned, then the banner
//   ""
//   the BEGIN cut line
// When the begin line follows them at once and names the same file, the file says its decoded
// size, and an extraction that ends with another count has lost or gained lines. The same lines
// before a begin line of another name (a digest quoting a header) say nothing of it.
struct SizeHeader {
    int lines = 0;  // how many of the six have come, in order, up to the line just read
    char name[kLineBufferSize] = {};
    size_t name_length = 0;
    int64_t size = 0;
};
constexpr int kSizeHeaderLines = 6;

// Decimal digits alone, at most 18 so that the number fits; -1 for anything else.
int64_t ParseDecimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 18) return -1;
    int64_t value = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9') return -1;
        value = value * 10 + (digit - '0');
    }
    return value;
}

// The decoded-size line: the name and the size into `header`; false, `header` untouched, for
// any other line.
bool StartsSizeHeader(std::string_view text, SizeHeader& header) {
    constexpr std::string_view kLabel = ":  decoded size: ";
    const size_t label = text.rfind(kLabel);
    if (label == std::string_view::npos) return false;
    const int64_t size = ParseDecimal(text.substr(label + kLabel.size()));
    const std::string_view padded = text.substr(0, label);
    const size_t name_at = padded.find_first_not_of(' ');
    if (size < 0 || name_at == std::string_view::npos) return false;
    const std::string_view name = padded.substr(name_at);
    if (padded.size() != std::max<size_t>(12, name.size())) return false;
    std::memcpy(header.name, name.data(), name.size());
    header.name_length = name.size();
    header.size = size;
    return true;
}

// Whether `text` is the header's next line after the decoded-size line.
bool IsNextHeaderLine(const SizeHeader& header, std::string_view text) {
    switch (header.lines) {
        case 1: {
            constexpr std::string_view kLabel = "               encoded size: ";
            constexpr std::string_view kMark = " (~)";
            return text.starts_with(kLabel) && text.ends_with(kMark) && text.size() > kLabel.size() + kMark.size() &&
                   ParseDecimal(text.substr(kLabel.size(), text.size() - kLabel.size() - kMark.size())) >= 0;
        }
        case 2:
        case 4: return text.empty();
        case 3: {
            char expected[kLineBufferSize + 64];
            const int length = std::snprintf(expected, sizeof expected, "%-12.*s   section %2d/%-2d%s",
                                             static_cast<int>(header.name_length), header.name, 1, 1, kBanner);
            return length > 0 && text == std::string_view(expected, static_cast<size_t>(length));
        }
        case 5: return text == std::string_view(kBeginCut, sizeof kBeginCut - 2);  // without its LF
        default: return false;
    }
}

// Follows the header through one more line that is not the begin line.
void FollowSizeHeader(SizeHeader& header, const char* line, size_t length) {
    // Only whole lines count: a piece of a longer line, or a last line without its LF, is none.
    const bool whole = length > 0 && line[length - 1] == '\n';
    const std::string_view text(line, whole ? length - 1 : 0);
    if (whole && header.lines > 0 && header.lines < kSizeHeaderLines && IsNextHeaderLine(header, text)) {
        ++header.lines;
        return;
    }
    header.lines = whole && StartsSizeHeader(text, header) ? 1 : 0;
}

// The carried line into `line` (kLineBufferSize bytes) as StreamReadLine would have stored it;
// returns its length.
size_t TakeCarriedLine(const CarriedLine& carried, char* line) {
    std::memcpy(line, carried.text, carried.length + 1);
    return carried.length;
}

}  // namespace

bool IsBeginLine(std::string_view line) {
    if (!line.starts_with("begin")) return false;
    // The matching reads a NUL-terminated line.
    char text[kLineBufferSize];
    const size_t length = std::min(line.size(), sizeof text - 1);
    std::memcpy(text, line.data(), length);
    text[length] = '\0';
    BeginForm form = BeginForm::Uuencode;
    const char* name = nullptr;
    size_t name_length = 0;
    uint32_t mode = 0;
    return MatchBeginLine(text, &form, &name, &name_length, &mode);
}

int FindBeginLine(AlphabetState& alphabet, Stream& input, BeginLine& found, const CarriedLine* first) {
    char line[kLineBufferSize];
    LookAhead ahead;
    int64_t offset = 0;  // where the line starts; a carried line is a begin line, never "table"
    size_t line_length = first != nullptr && first->length > 0 ? TakeCarriedLine(*first, line)
                                                                : NextScanLine(ahead, input, line, &offset);
    SizeHeader header;
    found.part = PartMarker{};
    for (;;) {
        if (line_length == 0) return -1;
        if (std::strncmp(line, "table", 5) == 0) {
            if (ReadAlphabetTable(alphabet, ahead, input) == 0) {
                header.lines = 0;
                line_length = NextScanLine(ahead, input, line, &offset);
                continue;
            }
            // "table" alone was meant as a block, and the file is damaged; prose is free text,
            // and the lines read for the block are looked at again.
            if (IsTableLine(line, line_length)) {
                found.table_at = offset;
                return -1;
            }
        }
        const char* name = nullptr;
        size_t length = 0;
        BeginForm form = BeginForm::Uuencode;
        uint32_t mode = 0;
        if (!MatchBeginLine(line, &form, &name, &length, &mode)) {
            FollowSizeHeader(header, line, line_length);
            if (found.part.total == 0) FindPartMarker(line, line_length, found.part);
            line_length = NextScanLine(ahead, input, line, &offset);
            continue;
        }
        found.form = form;
        found.mode = mode;
        const bool named = header.lines == kSizeHeaderLines && header.name_length == length &&
                           std::memcmp(header.name, name, length) == 0;
        found.declared_size = named ? header.size : -1;

        found.name_cut = ReadStoredName(name, length, IsCutLine(line, line_length), found.name) == Conversion::Cut;
        return 0;
    }
}

Conversion MakeStoredName(const char* name, char* stored, size_t size) {
#if !defined(_WIN32)
    // Linux tools read a begin line's name as the bytes of a file name, so it is stored as it is.
    return AnsiToUtf8(name, stored, size);
#else
    const Conversion oem = AnsiToOem(name, stored, size);
    size_t length = std::strlen(stored);
    if (oem == Conversion::Cut || (oem == Conversion::Whole && !ReadsAsUtf8(stored, &length, false))) return oem;
    return AnsiToUtf8(name, stored, size);
#endif
}

uint16_t OpenAndScanArchive(AlphabetState& alphabet, Stream& input, const char* path, char* name, int64_t* size,
                            bool* name_cut, BeginLine* scanned) {
    ResetDefaultAlphabet(alphabet);
    if (!StreamOpenOrRewind(input, path, "rt")) return kStatusCannotOpen;
    uint16_t status = kStatusOk;
    BeginLine found;
    if (FindBeginLine(alphabet, input, found) != 0) {
        status = kStatusBadFormat;
    } else {
        std::memcpy(name, found.name, std::strlen(found.name) + 1);
        if (name_cut != nullptr) *name_cut = found.name_cut;
    }
    if (size != nullptr) *size = EstimateDecodedSize(found.form, StreamLength(input));
    if (scanned != nullptr) *scanned = found;
    if (status != kStatusOk) StreamClose(input);
    return status;
}

uint16_t ScanArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path, char* name, int64_t* size,
                           bool* name_cut, BeginLine* scanned) {
    const uint16_t status = OpenAndScanArchive(alphabet, input, path, name, size, name_cut, scanned);
    StreamClose(input);
    return status;
}

uint16_t ProbeArchiveHeader(AlphabetState& alphabet, Stream& input, const char* path) {
    if (!StreamOpen(input, path, "rt")) return kStatusNoTarget;
    BeginLine found;
    const uint16_t status = FindBeginLine(alphabet, input, found) == 0 ? kStatusOk : kStatusBadFormat;
    StreamClose(input);
    return status;
}

}  // namespace uuarc
