// support.h - what every suite shares, written against the public header alone: a recorder of the
// host callbacks, a reference encoder written apart from the module's, and bytes to encode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "uuarc.h"

namespace uuarc::test {

// ---- Callback recorder ----------------------------------------------------------------------

enum class CallKind { kFileName, kProgress, kReplace, kSignal };

// One call of a host callback, as the recorder saw it.
struct HostCall {
    CallKind kind = CallKind::kFileName;
    UserData user = 0;
    std::string source;   // kFileName
    std::string target;   // kFileName
    int64_t first = 0;    // kProgress: percent; kSignal: length
    int64_t second = 0;   // kProgress: bytes since the last report; kSignal: code
    FindData existing{};  // kReplace
    FindData incoming{};  // kReplace
};

// Every call in order, and what the OkToReplaceProc recorder answers. Both live in the test
// program, so they outlast the module between tests; ClearCalls empties the one and zeroes the other.
extern std::vector<HostCall> g_calls;
extern int32_t g_replace_answer;
void ClearCalls();

int32_t UUARC_CALL RecordFileName(UserData user, const char* source, const char* target);
int32_t UUARC_CALL RecordProgress(UserData user, int32_t percent, int32_t bytes);
int32_t UUARC_CALL RecordReplace(UserData user, FindData* existing, FindData* incoming);
int32_t UUARC_CALL RecordSignal(UserData user, int64_t length, int32_t code);

std::vector<HostCall> CallsOf(CallKind kind);
std::vector<CallKind> CallKinds();
// (percent, bytes) of every progress call, in order.
std::vector<std::pair<int64_t, int64_t>> ProgressCalls();

// ---- Reference encoder and test bytes -------------------------------------------------------

// The 293 bytes that creation writes for the three bytes "abc" in abc.txt, byte for byte.
inline constexpr char kWorkedExample[] =
    "\r\n"
    "     abc.txt:  decoded size: 3\r\n"
    "               encoded size: 4 (~)\r\n"
    "\r\n"
    "abc.txt        section  1/1   Tarvel 4 UU Encoder/Decoder\r\n"
    "\r\n"
    "BEGIN----------------------CUT HERE--------------------------\r\n"
    "begin 644 abc.txt\r\n"
    "#86)C\r\n"
    "`\r\n"
    "end\r\n"
    "END------------------------CUT HERE--------------------------\r\n";

// `data` uuencoded as the classic tools write it: "begin 644 <name>", 45-byte lines, a
// zero-length line and "end". `zero` is the character for the value 0 ("`", or " " as the oldest
// encoders wrote it); `eol` ends every line.
std::string ClassicUuencode(const std::string& name, const std::string& data, char zero = '`',
                            const char* eol = "\r\n");

// `data` as "uuencode -m" writes it: "begin-base64 644 <name>", 76 characters (57 bytes) a line,
// "=" padding, "====". Each line ends in `eol`.
std::string Base64Uuencode(const std::string& name, const std::string& data, const char* eol = "\n");

// `length` bytes of free text in lines of at most 100 bytes, each ending in CR LF (length != 1).
std::string FreeText(size_t length);

// Bytes 0..255 twice over, then a stretch that is not, `size` bytes in all.
std::string PatternBytes(size_t size, uint32_t seed = 1);

// `size` bytes from a generator with a fixed seed.
std::string RandomBytes(size_t size, unsigned seed);

}  // namespace uuarc::test
