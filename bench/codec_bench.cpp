// codec_bench.cpp - throughput of DecodeLine and EncodeLine in MB/s of decoded bytes on each path
// of the codec that the processor has, for full 45-byte lines in the default and the XX alphabet
// and for a short last line, of the runs of full lines (DecodeFullLines, EncodeFullLines), and of
// DecodeBase64Line for lines of 57 bytes (76 characters) and of 6. Names read
// Decode/PATH/bytes:45/xx:0, DecodeRuns/PATH and Base64/PATH/bytes:57.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/alphabet.h"
#include "format/base64.h"
#include "format/codec_path.h"
#include "format/line_codec.h"

namespace {

using uuarc::kBytesPerLine;

// Enough lines that the input does not sit in L1 the way a single line would: 64 KiB of data.
constexpr int kLines = 1456;
// The bytes of a full base64 line.
constexpr int kBase64Bytes = 57;
// Each encoded line in its own slot, with room for the NUL that the line reader adds.
constexpr size_t kSlot = uuarc::kMaxEncodedLine + 1;

uuarc::AlphabetState g_alphabet;

std::vector<uint8_t> RandomBytes(size_t count) {
    std::mt19937 generator(12345);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
    return bytes;
}

void UseAlphabet(bool xx) {
    uuarc::ResetDefaultAlphabet(g_alphabet);
    if (xx) uuarc::SwitchToXxAlphabet(g_alphabet, 'h');
}

void EncodeLines(benchmark::State& state, uuarc::CodecPath path) {
    uuarc::SetCodecPath(path);
    UseAlphabet(state.range(1) != 0);
    const int count = static_cast<int>(state.range(0));
    const std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(kLines) * kBytesPerLine);
    char line[uuarc::kMaxEncodedLine];
    for (auto _ : state) {
        for (int i = 0; i < kLines; ++i) {
            uuarc::EncodeLine(g_alphabet, data.data() + static_cast<size_t>(i) * kBytesPerLine, line, count);
            benchmark::DoNotOptimize(line);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kLines * count);
}

void DecodeLines(benchmark::State& state, uuarc::CodecPath path) {
    uuarc::SetCodecPath(path);
    UseAlphabet(state.range(1) != 0);
    const int count = static_cast<int>(state.range(0));
    const std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(kLines) * kBytesPerLine);
    // The lines as the reader hands them over: the groups, then the LF.
    std::vector<char> lines(static_cast<size_t>(kLines) * kSlot);
    size_t length = 0;
    for (int i = 0; i < kLines; ++i) {
        char* line = lines.data() + static_cast<size_t>(i) * kSlot;
        length = static_cast<size_t>(uuarc::EncodeLine(g_alphabet, data.data() + static_cast<size_t>(i) * kBytesPerLine, line, count));
    }
    uint8_t out[uuarc::kDecodeBufferSize];
    for (auto _ : state) {
        for (int i = 0; i < kLines; ++i) {
            const std::string_view line(lines.data() + static_cast<size_t>(i) * kSlot, length);
            const int decoded = uuarc::DecodeLine(g_alphabet, line, out, uuarc::Padding::Refused);
            if (decoded != count) {
                state.SkipWithError("a line failed to decode");
                return;
            }
            benchmark::DoNotOptimize(out);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kLines * count);
}

// Runs of full lines, as extraction and creation take them from and put them into a stream's
// buffer: kLines lines with LF ends, encoded in one run, or decoded in runs of the most a caller
// takes at once.
void Runs(benchmark::State& state, uuarc::CodecPath path, bool decoding) {
    uuarc::SetCodecPath(path);
    UseAlphabet(false);
    const std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(kLines) * kBytesPerLine);
    std::vector<char> text(static_cast<size_t>(kLines) * kSlot);
    const size_t length = uuarc::EncodeFullLines(g_alphabet, data.data(), kLines, text.data(), "\n");
    const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(text.data()), length);
    std::vector<uint8_t> out(data.size() + uuarc::kDecodeBufferSize);
    // Every line of the text, in as many runs as it takes; false when a run stops short.
    const auto decode_all = [&] {
        for (size_t offset = 0, lines = 0; lines < kLines;) {
            size_t consumed = 0;
            const size_t most = std::min<size_t>(kLines - lines, uuarc::kFullLinesAtOnce);
            const size_t taken =
                uuarc::DecodeFullLines(g_alphabet, span.subspan(offset), out.data() + lines * kBytesPerLine, most, &consumed);
            if (taken == 0) return false;
            lines += taken;
            offset += consumed;
        }
        return true;
    };
    for (auto _ : state) {
        if (!decoding) {
            benchmark::DoNotOptimize(uuarc::EncodeFullLines(g_alphabet, data.data(), kLines, text.data(), "\n"));
        } else if (!decode_all()) {
            state.SkipWithError("a run stopped");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kLines * kBytesPerLine);
}

// Base64 lines as "uuencode -m" writes them: 57 bytes in 76 characters, "=" padding for a short
// last line, LF.
void DecodeBase64Lines(benchmark::State& state, uuarc::CodecPath path) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    uuarc::SetCodecPath(path);
    const int count = static_cast<int>(state.range(0));
    const std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(kLines) * kBase64Bytes);
    std::vector<std::string> lines(kLines);
    for (int i = 0; i < kLines; ++i) {
        const uint8_t* bytes = data.data() + static_cast<size_t>(i) * kBase64Bytes;
        for (int at = 0; at < count; at += 3) {
            const int left = count - at;
            const uint32_t bits = static_cast<uint32_t>(bytes[at]) << 16 |
                                  (left > 1 ? static_cast<uint32_t>(bytes[at + 1]) << 8 : 0) | (left > 2 ? bytes[at + 2] : 0);
            for (int place = 0; place < 4; ++place) {
                lines[i] += place <= left ? kAlphabet[(bits >> (18 - 6 * place)) & 0x3F] : '=';
            }
        }
        lines[i] += '\n';
    }
    uint8_t out[uuarc::kDecodeBufferSize];
    for (auto _ : state) {
        for (const std::string& line : lines) {
            uuarc::Base64State base64;
            if (uuarc::DecodeBase64Line(base64, line, out) != count) {
                state.SkipWithError("a line failed to decode");
                return;
            }
            benchmark::DoNotOptimize(out);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kLines * count);
}

// Arguments: bytes per line, alphabet (0 default, 1 XX). XX lines take the table on every path
// but the careful one, so they are measured on those two alone.
void RegisterPaths() {
    for (int index = 0; index < uuarc::kCodecPathCount; ++index) {
        const auto path = static_cast<uuarc::CodecPath>(index);
        if (!uuarc::CodecPathSupported(path)) continue;
        const bool takes_xx = path == uuarc::CodecPath::Table || path == uuarc::CodecPath::Careful;
        const std::string name = uuarc::CodecPathName(path);
        for (auto* run : {benchmark::RegisterBenchmark(("Encode/" + name).c_str(), EncodeLines, path),
                          benchmark::RegisterBenchmark(("Decode/" + name).c_str(), DecodeLines, path)}) {
            run->ArgNames({"bytes", "xx"})->Args({45, 0})->Args({7, 0});
            if (takes_xx) run->Args({45, 1});
        }
        // The careful path reads every line through the line routines: it has no runs.
        if (path != uuarc::CodecPath::Careful) {
            benchmark::RegisterBenchmark(("EncodeRuns/" + name).c_str(), Runs, path, false);
            benchmark::RegisterBenchmark(("DecodeRuns/" + name).c_str(), Runs, path, true);
        }
        benchmark::RegisterBenchmark(("Base64/" + name).c_str(), DecodeBase64Lines, path)
            ->ArgNames({"bytes"})
            ->Args({kBase64Bytes})
            ->Args({6});
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterPaths();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
