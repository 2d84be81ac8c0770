// support.cpp - the recorder, the reference encoder and the test bytes of support.h.
#include "support.h"

#include <random>

namespace uuarc::test {

// ---- Callback recorder ----------------------------------------------------------------------

std::vector<HostCall> g_calls;
int32_t g_replace_answer = 0;

void ClearCalls() {
    g_calls.clear();
    g_replace_answer = 0;
}

int32_t UUARC_CALL RecordFileName(UserData user, const char* source, const char* target) {
    HostCall call;
    call.kind = CallKind::kFileName;
    call.user = user;
    call.source = source;
    call.target = target;
    g_calls.push_back(call);
    return 0;
}

int32_t UUARC_CALL RecordProgress(UserData user, int32_t percent, int32_t bytes) {
    HostCall call;
    call.kind = CallKind::kProgress;
    call.user = user;
    call.first = percent;
    call.second = bytes;
    g_calls.push_back(call);
    return 0;
}

int32_t UUARC_CALL RecordReplace(UserData user, FindData* existing, FindData* incoming) {
    HostCall call;
    call.kind = CallKind::kReplace;
    call.user = user;
    call.existing = *existing;
    call.incoming = *incoming;
    g_calls.push_back(call);
    return g_replace_answer;
}

int32_t UUARC_CALL RecordSignal(UserData user, int64_t length, int32_t code) {
    HostCall call;
    call.kind = CallKind::kSignal;
    call.user = user;
    call.first = length;
    call.second = code;
    g_calls.push_back(call);
    return 0;
}

std::vector<HostCall> CallsOf(CallKind kind) {
    std::vector<HostCall> found;
    for (const HostCall& call : g_calls) {
        if (call.kind == kind) found.push_back(call);
    }
    return found;
}

std::vector<CallKind> CallKinds() {
    std::vector<CallKind> kinds;
    for (const HostCall& call : g_calls) kinds.push_back(call.kind);
    return kinds;
}

std::vector<std::pair<int64_t, int64_t>> ProgressCalls() {
    std::vector<std::pair<int64_t, int64_t>> found;
    for (const HostCall& call : CallsOf(CallKind::kProgress)) found.emplace_back(call.first, call.second);
    return found;
}

// ---- Reference encoder and test bytes -------------------------------------------------------

std::string ClassicUuencode(const std::string& name, const std::string& data, char zero, const char* eol) {
    auto character = [zero](unsigned value) { return value == 0 ? zero : static_cast<char>(0x20 + value); };
    std::string text = "begin 644 ";  // appended piece by piece: GCC 12 at -O3 warns on a + b + c
    text += name;
    text += eol;
    for (size_t start = 0; start < data.size(); start += 45) {
        const size_t count = data.size() - start < 45 ? data.size() - start : 45;
        text += character(static_cast<unsigned>(count));
        for (size_t i = 0; i < count; i += 3) {
            uint8_t group[3] = {};
            for (size_t k = 0; k < 3 && i + k < count; ++k) group[k] = static_cast<uint8_t>(data[start + i + k]);
            text += character(group[0] >> 2);
            text += character(((group[0] & 3) << 4) | (group[1] >> 4));
            text += character(((group[1] & 15) << 2) | (group[2] >> 6));
            text += character(group[2] & 63);
        }
        text += eol;
    }
    text += zero;
    text += eol;
    text += "end";
    text += eol;
    return text;
}

std::string Base64Uuencode(const std::string& name, const std::string& data, const char* eol) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = "begin-base64 644 ";
    text += name;
    text += eol;
    for (size_t start = 0; start < data.size(); start += 57) {
        const size_t end = data.size() - start < 57 ? data.size() : start + 57;
        for (size_t i = start; i < end; i += 3) {
            const size_t left = end - i;
            uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(data[i])) << 16;
            if (left > 1) group |= static_cast<uint32_t>(static_cast<uint8_t>(data[i + 1])) << 8;
            if (left > 2) group |= static_cast<uint8_t>(data[i + 2]);
            text += kDigits[group >> 18];
            text += kDigits[group >> 12 & 63];
            text += left > 1 ? kDigits[group >> 6 & 63] : '=';
            text += left > 2 ? kDigits[group & 63] : '=';
        }
        text += eol;
    }
    text += "====";
    text += eol;
    return text;
}

std::string FreeText(size_t length) {
    std::string text;
    while (text.size() < length) {
        size_t line = length - text.size();
        if (line > 100) line = line - 100 >= 2 ? 100 : 98;  // never leave a single byte over
        text += std::string(line - 2, 'x') + "\r\n";
    }
    return text;
}

std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(i < 512 ? i : state >> 16);
    }
    return bytes;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

}  // namespace uuarc::test
