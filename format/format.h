// format.h - the facts of the encoded text format in one place: line and buffer sizes, the two
// size estimates, and the fixed text that creation writes around the data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/stored_names.h"  // kNameBufferSize, the size of a stored name's buffer

namespace uuarc {

// ---- Lines -------------------------------------------------------------------------------------
// A data line: the length character, (n + 2) / 3 groups of four characters, LF.
constexpr int kBytesPerLine = 45;
// Length character, 15 groups and the LF.
constexpr size_t kMaxEncodedLine = 1 + 4 * 15 + 1;
// DecodeLine may decode up to 43 groups (the marker length 127), 3 bytes each and a zero byte.
constexpr size_t kDecodeBufferSize = 256;
// Lines are read in pieces of at most 254 characters (the LF included) and a NUL.
constexpr size_t kLineBufferSize = 255;
// Room for the stored form of a name of up to 259 ANSI bytes that creation writes: one ANSI byte
// is at most three of UTF-8.
constexpr size_t kStoredNameSize = 3 * 260;

// ---- Estimates ---------------------------------------------------------------------------------
// The decoded size of an encoded file of `length` bytes, as the listing and the replace question
// give it: length * 10 / 14.
constexpr int64_t EstimateDecodedSize(int64_t length) { return length < 0 ? 0 : length * 10 / 14; }

// The two forms of begin line: "begin MODE NAME" before uuencoded lines, "begin-base64 MODE
// NAME" before base64 lines that end at "====".
enum class BeginForm : uint8_t { Uuencode, Base64 };

// The decoded size of an encoded file of `length` bytes in either form: base64 lines carry 57
// bytes in 76 characters and a line end, so length * 57 / 77 for them.
constexpr int64_t EstimateDecodedSize(BeginForm form, int64_t length) {
    if (form == BeginForm::Uuencode) return EstimateDecodedSize(length);
    return length < 0 ? 0 : length * 57 / 77;
}

// The encoded size of a source of `size` bytes, as the header and the replace question give it:
// size * 1424 / 1000.
constexpr int64_t EstimateEncodedSize(int64_t size) { return size * 1424 / 1000; }

// ---- What creation writes around the data -----------------------------------------------------
// The header: a decoded-size line, an encoded-size line and a section line ending in the banner,
// then the cut line; after the end the closing cut line. Lines end in LF (CR LF on disk).
constexpr char kBanner[] = "  Tarvel 4 UU Encoder/Decoder";
constexpr char kBeginCut[] = "BEGIN----------------------CUT HERE--------------------------\n";
constexpr char kEndCut[] = "END------------------------CUT HERE--------------------------\n";
// The mode of the begin line.
constexpr char kBeginMode[] = "644";

}  // namespace uuarc
