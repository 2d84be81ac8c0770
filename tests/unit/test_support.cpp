// test_support.cpp - a reference encoder for the suites, written independently of the module's.
#include "test_support.h"

#include <random>

namespace uuarc::test {

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

std::string EncodeClassic(const std::string& bytes, const std::string& name, bool crlf) {
    const std::string eol = crlf ? "\r\n" : "\n";
    auto character = [](unsigned value) { return static_cast<char>(value == 0 ? '`' : 0x20 + value); };
    std::string text = "begin 644 ";  // appended piece by piece: GCC 12 at -O3 warns on a + b + c
    text += name;
    text += eol;
    for (size_t at = 0; at < bytes.size(); at += 45) {
        const size_t count = std::min<size_t>(45, bytes.size() - at);
        text += character(static_cast<unsigned>(count));
        for (size_t group = 0; group < count; group += 3) {
            unsigned char b[3] = {};
            for (size_t i = 0; i < 3 && group + i < count; ++i) b[i] = static_cast<unsigned char>(bytes[at + group + i]);
            text += character(b[0] >> 2);
            text += character(((b[0] & 3) << 4) | (b[1] >> 4));
            text += character(((b[1] & 15) << 2) | (b[2] >> 6));
            text += character(b[2] & 63);
        }
        text += eol;
    }
    text += "`";
    text += eol;
    text += "end";
    text += eol;
    return text;
}

}  // namespace uuarc::test
