// codec_fuzz.cpp - differential fuzz target: DecodeLine and EncodeLine on every path the processor
// has, each against the plain reference coder on the same input: same result and bytes, padded
// and not; runs of full lines (DecodeFullLines) on every path against the line routines, lines
// that begin with "end" among them; and DecodeBase64Line on the path that decodes base64 with
// vectors against the careful one, which decodes a character at a time as every other path does.
//
// Input: byte 0 picks the alphabet (low two bits: default, XX, table, default; the table runs up
// from 0x20 + (bits 2..6), backwards when bit 7 is set: from 0x38 up, "e" is the length of a full
// line), byte 1 modulo 46 is the count to encode, the rest is the line to decode (as uuencoded
// and as base64), the text that runs of full lines are taken from and, zero-padded, the bytes to
// encode.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "format/alphabet.h"
#include "format/base64.h"
#include "format/codec_path.h"
#include "format/line_codec.h"
#include "tests/codec_reference.h"

using namespace uuarc;

namespace {

// The codec's alphabet state, fresh for every input.
AlphabetState g_alphabet;

void Fail(const char* what, CodecPath path) {
    std::fprintf(stderr, "codec_fuzz: %s on the %s path\n", what, CodecPathName(path));
    std::abort();
}

void UseAlphabet(uint8_t choice) {
    ResetDefaultAlphabet(g_alphabet);
    if ((choice & 3) == 1) SwitchToXxAlphabet(g_alphabet, 'h');
    if ((choice & 3) == 2) {
        const int start = 0x20 + ((choice >> 2) & 31);
        for (int value = 0; value < 64; ++value) {
            const int at = (choice & 0x80) != 0 ? 63 - value : value;
            g_alphabet.table_alphabet[at] = static_cast<char>(start + value);
        }
        g_alphabet.active = AlphabetKind::Table;
        if (BuildDecodeTable(g_alphabet) != 0) std::abort();  // 64 distinct characters
    }
}

// The runs of full lines that DecodeFullLines takes from `text`: each one a full line that does not
// begin with "end", ended by LF, CR LF or a CR, and decoded as DecodeLine decodes it. Returns how
// many it took.
size_t ExpectRunsAsLines(std::string_view text, CodecPath path) {
    const std::vector<uint8_t> exact(text.begin(), text.end());
    std::vector<uint8_t> run(8 * kBytesPerLine + kFullLineSlack);
    size_t consumed = 0;
    const size_t taken = DecodeFullLines(g_alphabet, exact, run.data(), 8, &consumed);
    if (consumed > text.size()) Fail("a run takes more than the text", path);
    size_t at = 0;
    for (size_t index = 0; index < taken; ++index) {
        const std::string_view line = text.substr(at, 61);
        if (line.size() < 61 || line.starts_with("end")) Fail("a run takes a line that is not a full one", path);
        at += 61;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n' && text[at - 1] != '\n') ++at;
        if (at > consumed || (text[at - 1] != '\n' && text[at - 1] != '\r')) Fail("a run's line has no line end", path);
        uint8_t one[kDecodeBufferSize];
        if (DecodeLine(g_alphabet, line, one, Padding::Refused) != kBytesPerLine ||
            std::memcmp(one, run.data() + index * kBytesPerLine, kBytesPerLine) != 0) {
            Fail("a run decodes a line otherwise than DecodeLine", path);
        }
    }
    if (at != consumed) Fail("a run's lines do not make what it consumed", path);
    return taken;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    g_alphabet = AlphabetState{};
    UseAlphabet(data[0]);
    const test::ReferenceAlphabet alphabet = {ActiveAlphabet(g_alphabet), !g_alphabet.xx_mode};

    // Both inputs in blocks of exactly their size, so that a read past them hits a red zone.
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::vector<char> line(rest.begin(), rest.end());
    const test::ReferenceDecoded decoded = test::ReferenceDecodeLine(alphabet, rest, false);
    const test::ReferenceDecoded padded = test::ReferenceDecodeLine(alphabet, rest, true);
    const int count = data[1] % (kBytesPerLine + 1);
    std::vector<uint8_t> bytes(static_cast<size_t>(3 * ((count + 2) / 3)));
    for (size_t i = 0; i < bytes.size() && i < rest.size(); ++i) bytes[i] = static_cast<uint8_t>(rest[i]);
    const std::string encoded = test::ReferenceEncodeLine(alphabet, bytes.data(), count);

    // The outputs too in blocks of exactly their size, the same ones for every path.
    std::vector<uint8_t> out(kDecodeBufferSize);
    std::vector<char> written(kMaxEncodedLine);
    const CodecPath before = ActiveCodecPath();
    SetCodecPath(CodecPath::Careful);
    Base64State base64_careful;
    const int base64_count = DecodeBase64Line(base64_careful, std::string_view(line.data(), line.size()), out.data());
    uint8_t base64_bytes[kDecodeBufferSize];
    std::memcpy(base64_bytes, out.data(), static_cast<size_t>(std::max(base64_count, 0)));
    size_t run_taken = ~size_t{0};
    for (int index = 0; index < kCodecPathCount; ++index) {
        const auto path = static_cast<CodecPath>(index);
        if (!SetCodecPath(path)) continue;

        for (const Padding padding : {Padding::Refused, Padding::Allowed}) {
            const test::ReferenceDecoded& expected = padding == Padding::Allowed ? padded : decoded;
            const int got = DecodeLine(g_alphabet, std::string_view(line.data(), line.size()), out.data(), padding);
            if (got != expected.count) Fail("DecodeLine's count differs", path);
            if (got > 0 && std::memcmp(out.data(), expected.bytes.data(), expected.bytes.size()) != 0) {
                Fail("DecodeLine's bytes differ", path);
            }
        }
        // Every path but the careful one, which takes every line on its own, takes the same run.
        const size_t taken = ExpectRunsAsLines(rest, path);
        if (path != CodecPath::Careful && run_taken != ~size_t{0} && taken != run_taken) Fail("runs differ", path);
        if (path != CodecPath::Careful) run_taken = taken;

        const int length = EncodeLine(g_alphabet, bytes.data(), written.data(), count);
        if (std::string_view(written.data(), static_cast<size_t>(length)) != encoded) Fail("EncodeLine's line differs", path);

        if (path != CodecPath::Ssse3) continue;
        Base64State base64;
        const int base64_got = DecodeBase64Line(base64, std::string_view(line.data(), line.size()), out.data());
        if (base64_got != base64_count || base64.count != base64_careful.count ||
            base64.padded != base64_careful.padded) {
            Fail("DecodeBase64Line's answer differs", path);
        }
        if (base64_got > 0 && std::memcmp(out.data(), base64_bytes, static_cast<size_t>(base64_got)) != 0) {
            Fail("DecodeBase64Line's bytes differ", path);
        }
    }
    SetCodecPath(before);
    return 0;
}
