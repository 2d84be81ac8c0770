// header.cpp - FindBeginLine and the two header scans built on it.
#include "format/header.h"

#include <cstring>

#include "format/alphabet.h"
#include "module/module_state.h"
#include "module/status.h"

namespace uuarc {

namespace {

// White space as the formatted read "begin %o %s" knows it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// Finds the stored name in a line that starts with "begin ": after the mode and the white space
// that follows it, up to the first CR or LF (a lone CR, as a file with CR line ends has, ends it
// too), trailing spaces and tabs dropped. False when the mode is not a run of octal digits
// followed by white space, or nothing is left for a name.
bool FindStoredName(const char* line, const char** name, size_t* length) {
    const char* p = SkipBlanks(line + 5);
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

}  // namespace

int FindBeginLine(char* buffer, Stream& input, bool* name_cut) {
    char line[kLineBufferSize];
    for (;;) {
        if (StreamReadLine(input, line, sizeof line) == 0) return -1;
        if (std::strncmp(line, "table", 5) == 0) {
            if (ReadAlphabetTable(input) != 0) return -1;
            continue;
        }
        const char* name = nullptr;
        size_t length = 0;
        if (std::strncmp(line, "begin ", 6) != 0 || !FindStoredName(line, &name, &length)) continue;
        line[name - line + length] = '\0';
        const Conversion converted = OemToAnsi(name, buffer, kNameBufferSize);
        if (name_cut != nullptr) *name_cut = converted == Conversion::Cut;
        return 0;
    }
}

uint16_t ScanArchiveHeader(const char* path, char* name, int64_t* size, bool* name_cut) {
    SetStatus(kStatusOk);
    ResetDefaultAlphabet();
    BuildDecodeTable();
    Stream& input = g_state.input;
    if (!StreamOpen(input, path, "rt")) return SetStatus(kStatusCannotOpen);
    char found[kNameBufferSize + 8];
    if (FindBeginLine(found, input, name_cut) != 0) {
        SetStatus(kStatusBadFormat);
    } else {
        std::memcpy(name, found, std::strlen(found) + 1);
    }
    *size = EstimateDecodedSize(StreamLength(input));
    StreamClose(input);
    return g_state.status;
}

uint16_t ProbeArchiveHeader(const char* path) {
    SetStatus(kStatusOk);
    Stream& input = g_state.input;
    if (!StreamOpen(input, path, "rt")) return SetStatus(kStatusNoTarget);
    char found[kNameBufferSize + 4];
    if (FindBeginLine(found, input) != 0) SetStatus(kStatusBadFormat);
    StreamClose(input);
    return g_state.status;
}

}  // namespace uuarc
