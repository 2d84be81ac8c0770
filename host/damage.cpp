// damage.cpp - the reasons of damage.h, found the way the module reads: lines end at LF, CR LF or
// a CR alone; text before the begin line is free; empty lines in the data are skipped; a line cut
// short is damage where the file shows how it writes 0.
#include "host/damage.h"

#include <cstdio>
#include <cstdlib>

#include "host/system.h"

namespace uuarc_host {

namespace {

// Archives are read for a message only up to this size; beyond it the message goes without.
constexpr int64_t kMaxDescribed = 64 * 1024 * 1024;

// The next line of `text` from `at` (without its end), moving `at` past it; false at the end.
bool NextLine(std::string_view text, size_t& at, std::string_view& line) {
    if (at >= text.size()) return false;
    const size_t end = text.find_first_of("\r\n", at);
    line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    at = end == std::string_view::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// "begin MODE NAME" (or, with `keyword` "begin-base64 ", its base64 form): the name, or empty
// when the line is none.
std::string_view BeginName(std::string_view line, std::string_view keyword = "begin ") {
    if (!line.starts_with(keyword)) return {};
    size_t at = keyword.size();
    const size_t digits = line.find_first_not_of("01234567", at);
    if (digits == at || digits == std::string_view::npos || (line[digits] != ' ' && line[digits] != '\t')) return {};
    return Trimmed(line.substr(digits));
}

bool Classic(char c) { return c >= 0x20 && c <= 0x60; }

bool Xx(char c) {
    return c == '+' || c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether the first data line is classic uuencode: its length character is one, and the line is
// not all xx characters (an xx file would be read as xx).
bool ClassicData(std::string_view line) {
    if (!Classic(line.front())) return false;
    for (char c : line) {
        if (!Xx(c)) return true;
    }
    return false;
}

int ClassicValue(char c) { return c == '`' ? 0 : c - 0x20; }

// The characters of a classic data line's groups that carry data bits: the length's groups but
// the one or two characters of a short last group that only fill bytes past the length.
size_t CarryingCharacters(int count) {
    return 4 * static_cast<size_t>((count + 2) / 3) - (count % 3 == 1 ? 2 : count % 3 == 2 ? 1 : 0);
}

// Whether the classic data lines from `at` to the end line show how the file writes 0, so that a
// line cut short there is damage and not stripped blanks: a backquote in a length character or
// a group, or a line that ends in a blank.
bool ShowsItsZero(std::string_view text, size_t at) {
    std::string_view line;
    while (NextLine(text, at, line)) {
        if (line.empty()) continue;
        if (line.starts_with("end")) return false;
        if (line.back() == ' ' || line.front() == '`') return true;
        if (!Classic(line.front())) continue;
        const size_t groups = 4 * static_cast<size_t>((ClassicValue(line.front()) + 2) / 3);
        if (line.substr(1, groups).find('`') != std::string_view::npos) return true;
    }
    return false;
}

bool IsBase64Begin(std::string_view line) { return !BeginName(line, "begin-base64 ").empty(); }

bool StartsFile(std::string_view line) { return !BeginName(line).empty() || IsBase64Begin(line); }

// Past the data of a file of a text of several, as the module passes over it: up to its end line,
// or up to the begin line of the next file, which is left to be read.
void SkipFileData(std::string_view text, size_t& at, size_t& number, bool base64) {
    std::string_view line;
    for (size_t line_at = at; NextLine(text, at, line); line_at = at) {
        if (StartsFile(line)) {
            at = line_at;
            return;
        }
        ++number;
        if (base64 ? line.starts_with("====") : line.starts_with("end")) return;
    }
}

}  // namespace

std::string DescribeDamageOf(std::string_view text, int64_t decoded, int file) {
    size_t at = 0;
    std::string_view line, previous_name;
    int64_t stated = -1;
    size_t number = 0;
    int files_before = 0;
    // Free text up to the begin line (of the file that failed, when every file of the text is
    // read); a header line "NAME:  decoded size: N" is remembered.
    for (;;) {
        if (!NextLine(text, at, line)) return "no begin line";
        ++number;
        const bool base64 = file >= 0 && IsBase64Begin(line);
        if (base64 || !BeginName(line).empty()) {
            if (file < 0 || files_before == file) {
                if (base64) return {};
                break;
            }
            ++files_before;
            previous_name = {};
            stated = -1;
            SkipFileData(text, at, number, base64);
            continue;
        }
        const size_t mark = line.find(":  decoded size: ");
        if (mark != std::string_view::npos) {
            previous_name = Trimmed(line.substr(0, mark));
            stated = std::strtoll(std::string(line.substr(mark + 17)).c_str(), nullptr, 10);
        }
    }
    const bool header_names_it = stated >= 0 && previous_name == BeginName(line);
    const bool shows_zero = ShowsItsZero(text, at);
    bool first = true, classic = false;
    while (NextLine(text, at, line)) {
        ++number;
        if (line.empty()) continue;
        // Every file of a text being read, a begin line among the data ends the file before it.
        if (file >= 0 && StartsFile(line)) return "the end line is missing";
        if (first) classic = ClassicData(line);
        first = false;
        if (line.starts_with("end")) {
            if (header_names_it && decoded >= 0 && decoded != stated) {
                return "it decodes to " + std::to_string(decoded) + " bytes where its header says " +
                       std::to_string(stated);
            }
            return {};
        }
        if (!classic) continue;
        for (char c : line) {
            if (!Classic(c)) {
                return "line " + std::to_string(number) + ": '" + std::string(1, c) + "' is not in the data's alphabet";
            }
        }
        const size_t wanted = CarryingCharacters(ClassicValue(line.front()));
        if (shows_zero && line.size() - 1 < wanted) {
            return "line " + std::to_string(number) + " is cut short: " + std::to_string(line.size() - 1) + " of the " +
                   std::to_string(wanted) + " characters its length asks for";
        }
    }
    return "the end line is missing";
}

std::string DescribeNoBeginLineOf(std::string_view text) {
    size_t at = 0, number = 0, table = 0;
    std::string_view line;
    while (NextLine(text, at, line)) {
        ++number;
        if (Trimmed(line) == "table" && line.starts_with("table")) table = number;
        const bool base64 = line.starts_with("begin-base64 ");
        if (BeginName(base64 ? "begin " + std::string(line.substr(13)) : std::string(line)).empty()) continue;
        if (table == 0) break;
        return "line " + std::to_string(table) + ": \"table\" is followed by no block of 64 different characters";
    }
    return "no begin line";
}

namespace {

// The text of a regular archive of at most kMaxDescribed bytes, up to a byte 0x1A as the module
// reads it; false when there is none to read.
bool ReadArchiveText(const std::string& path, std::string& text) {
    const PathInfo info = QueryPath(path);
    if (!info.is_regular || info.size > kMaxDescribed) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    text.assign(static_cast<size_t>(info.size), '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    const size_t end = text.find('\x1A');  // the end of the text, as the module reads it
    if (end != std::string::npos) text.resize(end);
    return true;
}

}  // namespace

std::string DescribeDamage(const std::string& path, int64_t decoded, int failed_file) {
    std::string text;
    return ReadArchiveText(path, text) ? DescribeDamageOf(text, decoded, failed_file) : std::string();
}

std::string DescribeNoBeginLine(const std::string& path) {
    std::string text;
    return ReadArchiveText(path, text) ? DescribeNoBeginLineOf(text) : std::string("no begin line");
}

}  // namespace uuarc_host
