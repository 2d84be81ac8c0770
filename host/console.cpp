// console.cpp - messages, escaping, the replace question and byte counts of console.h.
#include "host/console.h"

#include <cstdio>

#include "shared/utf8.h"

namespace uuarc_host {

ConsoleSettings g_console;

namespace {

void AppendHex(std::string& out, const char* prefix, uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%0*X", prefix, digits, static_cast<unsigned>(value));
    out += text;
}

void AppendEscapedByte(std::string& out, uint8_t byte) {
    switch (byte) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: AppendHex(out, "\\x", byte, 2);
    }
}

#if !defined(_WIN32)
// Characters that show nothing or turn the text around: a name must not hide behind them.
bool IsInvisible(char32_t c) {
    return (c >= 0x80 && c < 0xA0) || c == 0xAD || (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}
#endif

}  // namespace

std::string Shown(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const uint8_t byte = static_cast<uint8_t>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {  // printable ASCII, as most names are, passes at once
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscapedByte(out, byte);
            ++i;
            continue;
        }
#if defined(_WIN32)
        // The five bytes that code page 1252 leaves undefined.
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D) {
            AppendEscapedByte(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
        ++i;
#else
        // Linux names are UTF-8: a byte that starts no well-formed character is escaped alone.
        char32_t code_point = 0;
        const size_t length =
            uuarc::DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data()) + i, text.size() - i, &code_point);
        if (length == 0) {
            AppendEscapedByte(out, byte);
            ++i;
        } else if (IsInvisible(code_point)) {
            AppendHex(out, "\\u", code_point, 4);
            i += length;
        } else {
            out.append(text, i, length);
            i += length;
        }
#endif
    }
    return out;
}

void Report(const std::string& file, const std::string& what, const std::string& reason, int status) {
    ProgressHide();
    std::string line = "uuarc: " + Shown(file) + ": " + what;
    if (!reason.empty()) line += ": " + reason;
    if (status >= 0) line += " (status " + std::to_string(status) + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void Complain(const std::string& text) {
    ProgressHide();
    std::fprintf(stderr, "uuarc: %s\n", text.c_str());
    std::fflush(stderr);
}

void Say(const std::string& text) {
    if (g_console.quiet) return;
    std::FILE* stream = g_console.data_on_stdout ? stderr : stdout;
    std::fprintf(stream, "%s\n", text.c_str());
}

bool AskYesNo(const std::string& question) {
    ProgressHide();
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    char answer[64];
    if (std::fgets(answer, sizeof answer, stdin) == nullptr) {
        std::fputc('\n', stderr);
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace uuarc_host
