// stream.cpp - the buffered streams of platform.h and their text mode, shared by both back ends.
// The system is reached only through g_system, so the failure hook sees every open, read, write
// and close.
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/platform.h"
#include "uuarc.h"

namespace uuarc {
namespace {

constexpr uint8_t kLf = '\n';
constexpr uint8_t kCr = '\r';
constexpr uint8_t kTextEnd = 0x1A;  // Ctrl-Z: text ends here as at the end of the file

// The line scan looks at a word of bytes at once and takes the first byte found from the lowest bit.
static_assert(std::endian::native == std::endian::little);

constexpr uint64_t kEveryByte = 0x0101010101010101u;
constexpr uint64_t kTopBits = 0x8080808080808080u;

// Offset of the first byte below 0x20 in p[0, count), or count. In (x - 0x20..) & ~x & 0x80.. the
// lowest set bit marks the first such byte exactly: a borrow runs only upward, and only out of a
// byte that is itself below 0x20.
#if defined(__SSE2__)
// One bit for each of the sixteen bytes at p that is below 0x20: a byte is when its unsigned
// minimum with 0x1F is the byte itself.
uint64_t ControlBits16(const uint8_t* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes)));
}
#endif

size_t FirstControl(const uint8_t* p, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    // Where the build has SSE2: 64 bytes a step, so that a data line of 61 characters and its line
    // end are looked at in one step with one branch, then sixteen at a time.
    for (; i + 64 <= count; i += 64) {
        const uint64_t below = ControlBits16(p + i) | ControlBits16(p + i + 16) << 16 |
                               ControlBits16(p + i + 32) << 32 | ControlBits16(p + i + 48) << 48;
        if (below != 0) return i + static_cast<size_t>(std::countr_zero(below));
    }
    for (; i + 16 <= count; i += 16) {
        const uint64_t below = ControlBits16(p + i);
        if (below != 0) return i + static_cast<size_t>(std::countr_zero(below));
    }
#endif
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        const uint64_t below = (word - 0x20 * kEveryByte) & ~word & kTopBits;
        if (below != 0) return i + static_cast<size_t>(std::countr_zero(below)) / 8;
    }
    while (i < count && p[i] >= 0x20) ++i;
    return i;
}

void ResetStream(Stream& stream) {
    stream.handle = kNoHandle;
    stream.text = false;
    stream.writing = false;
    stream.at_end = false;
    stream.failed = false;
    stream.buffer_offset = 0;
    stream.start = 0;
    stream.end = 0;
    stream.length = -1;
    stream.rewritten = false;
}

// ---- Read side ----------------------------------------------------------------------------
// Invariant: buffer[start, end) are the unread bytes, buffer[0] sits at file offset
// buffer_offset, so buffer_offset + start is the on-disk offset of the next unread byte.

// Moves the unread bytes (at most one CR when called from the text scan) to the front and reads
// more after them. False when nothing was added: end of file, 0x1A seen, or an error.
bool Refill(Stream& stream) {
    if (stream.at_end || stream.failed) return false;
    const size_t kept = stream.end - stream.start;
    if (kept > 0 && stream.start > 0) std::memmove(stream.buffer, stream.buffer + stream.start, kept);
    stream.buffer_offset += static_cast<int64_t>(stream.start);
    stream.start = 0;
    stream.end = kept;
    const int64_t got = g_system.read(stream.handle, stream.buffer + kept, kStreamBufferSize - kept);
    if (got < 0) {
        stream.failed = true;
        return false;
    }
    if (got == 0) {
        stream.at_end = true;
        return false;
    }
    stream.end += static_cast<size_t>(got);
    return true;
}

// Offset in p[0, count) of the first byte that the copy loop must look at: the LF when lines
// are read, CR and 0x1A in text mode; count when there is none. Each memchr only searches what
// lies before the earlier finds, so a plain line costs one pass per special byte, no per-byte call.
size_t FirstSpecial(const uint8_t* p, size_t count, bool text, bool stop_at_lf) {
    size_t limit = count;
    if (stop_at_lf) {
        if (const void* hit = std::memchr(p, kLf, limit)) limit = static_cast<const uint8_t*>(hit) - p;
    }
    if (text) {
        if (const void* hit = std::memchr(p, kCr, limit)) limit = static_cast<const uint8_t*>(hit) - p;
        if (const void* hit = std::memchr(p, kTextEnd, limit)) limit = static_cast<const uint8_t*>(hit) - p;
    }
    return limit;
}

// Copies up to `room` characters into out, applying the text mode, and stops after a LF when
// stop_at_lf. A CR LF pair is one character, so it fits when only one place is left; the byte
// after a CR is looked at even across a refill before the CR is decided on. A CR without a LF
// after it (the line end of old Mac files) reads as a LF too.
size_t CopyOut(Stream& stream, uint8_t* out, size_t room, bool stop_at_lf) {
    size_t stored = 0;
    while (stored < room) {
        if (stream.start == stream.end && !Refill(stream)) break;
        const uint8_t* p = stream.buffer + stream.start;
        const size_t window = (stream.end - stream.start < room - stored) ? stream.end - stream.start
                                                                          : room - stored;
        const size_t plain = FirstSpecial(p, window, stream.text, stop_at_lf);
        std::memcpy(out + stored, p, plain);
        stored += plain;
        stream.start += plain;
        if (plain == window) continue;

        const uint8_t special = p[plain];
        if (special == kLf) {  // only searched for when stop_at_lf
            out[stored++] = kLf;
            ++stream.start;
            break;
        }
        if (special == kTextEnd) {
            // Left unread, so every later read stops here too.
            stream.at_end = true;
            break;
        }
        // A CR: it needs the next byte, which may still be in the file.
        if (stream.start + 1 == stream.end) Refill(stream);
        const bool pair = stream.start + 1 < stream.end && stream.buffer[stream.start + 1] == kLf;
        out[stored++] = kLf;
        stream.start += pair ? 2 : 1;
        if (stop_at_lf) break;
    }
    return stored;
}

bool CanRead(const Stream& stream) {
    return stream.handle != kNoHandle && !stream.writing && !stream.failed;
}

// A line through CopyOut into the caller's buffer, with its NUL.
std::string_view CopyLine(Stream& stream, char* buffer, size_t size) {
    const size_t stored = CopyOut(stream, reinterpret_cast<uint8_t*>(buffer), size - 1, true);
    buffer[stored] = '\0';
    return {buffer, stored};
}

// ---- Write side ---------------------------------------------------------------------------
// buffer[0, end) are pending bytes that go to file offset buffer_offset.

// Writes everything pending, retrying short writes. False (stream failed) when a write fails or
// makes no progress.
bool Flush(Stream& stream) {
    size_t done = 0;
    while (done < stream.end) {
        const int64_t wrote = g_system.write(stream.handle, stream.buffer + done, stream.end - done);
        if (wrote <= 0) {
            // What went out still counts, so that the position says how much the file took;
            // the rest never will.
            stream.failed = true;
            stream.buffer_offset += static_cast<int64_t>(done);
            stream.end = 0;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    stream.buffer_offset += static_cast<int64_t>(stream.end);
    stream.end = 0;
    return true;
}

}  // namespace

bool StreamOpen(Stream& stream, const char* path, const char* mode) {
    ResetStream(stream);
    if (path == nullptr || mode == nullptr) return false;
    if ((mode[0] != 'r' && mode[0] != 'w') || (mode[1] != 't' && mode[1] != 'b') || mode[2] != '\0')
        return false;
    char native[kNativePathSize];
    if (!NativePath(path, native, sizeof native)) return false;
    const bool writing = mode[0] == 'w';
    const FileHandle handle = g_system.open(kNoHandle, native, writing ? OpenHow::WriteTruncate : OpenHow::Read, nullptr);
    if (handle == kNoHandle) return false;
    stream.handle = handle;
    stream.writing = writing;
    stream.text = mode[1] == 't';
    return true;
}

bool StreamOpenAgain(Stream& again, const Stream* first, const char* path, const char* mode) {
    const bool open = first != nullptr && StreamIsOpen(*first) && !first->writing;
    const FileHandle handle = open ? g_system.reopen(first->handle) : kNoHandle;
    if (handle != kNoHandle) {
        ResetStream(again);
        again.handle = handle;
        again.text = mode != nullptr && mode[1] == 't';
        return true;
    }
    if (!StreamOpen(again, path, mode)) return false;
    FileInfo read, named;
    if (!open || (g_system.query_handle(first->handle, &read) && g_system.query_handle(again.handle, &named) &&
                  read.volume == named.volume && read.index == named.index))
        return true;
    StreamClose(again);
    return false;
}

bool StreamOpenOrRewind(Stream& stream, const char* path, const char* mode) {
    if (!StreamIsOpen(stream)) return StreamOpen(stream, path, mode);
    if (StreamRewind(stream)) return true;
    StreamClose(stream);
    return false;
}

bool StreamCreate(Stream& stream, const char* path, const char* mode, OpenHow how, const FileInfo* like,
                  FileHandle folder) {
    ResetStream(stream);
    if (path == nullptr || mode == nullptr || mode[0] != 'w' || (mode[1] != 't' && mode[1] != 'b') ||
        mode[2] != '\0' || how == OpenHow::Read || how == OpenHow::WriteProbe)
        return false;
    char native[kNativePathSize];
    if (!NativePath(path, native, sizeof native)) return false;
    const FileHandle handle = g_system.open(folder, native, how, like);
    if (handle == kNoHandle) return false;
    stream.handle = handle;
    stream.writing = true;
    stream.text = mode[1] == 't';
    return true;
}

bool StreamOpenSink(Stream& stream, OpenHow how, const char* mode) {
    ResetStream(stream);
    if (how != OpenHow::StandardOutput && how != OpenHow::NullDevice) return false;
    if (mode == nullptr || mode[0] != 'w' || (mode[1] != 't' && mode[1] != 'b') || mode[2] != '\0') return false;
    const FileHandle handle = g_system.open(kNoHandle, "", how, nullptr);
    if (handle == kNoHandle) return false;
    stream.handle = handle;
    stream.writing = true;
    stream.text = mode[1] == 't';
    return true;
}

bool StreamClose(Stream& stream) {
    if (stream.handle == kNoHandle) return true;
    bool ok = !stream.failed;
    if (stream.writing && ok) ok = Flush(stream);
    if (!g_system.close(stream.handle)) ok = false;
    ResetStream(stream);
    return ok;
}

bool StreamFlush(Stream& stream) {
    if (stream.handle == kNoHandle || !stream.writing || stream.failed) return false;
    return Flush(stream);
}

bool StreamCopyOver(Stream& stream, const char* path, const FileInfo& like, FileHandle folder) {
    char native[kNativePathSize];
    if (!StreamFlush(stream) || path == nullptr || !NativePath(path, native, sizeof native) ||
        !g_system.seek_start(stream.handle))
        return false;
    HoldTerminatingSignals();
    const FileHandle target = g_system.open(folder, native, OpenHow::Overwrite, &like);
    // From the open on, the old content is gone: it was cut to nothing.
    bool whole = target != kNoHandle;
    while (whole) {
        const int64_t got = g_system.read(stream.handle, stream.buffer, kStreamBufferSize);
        if (got <= 0) {
            whole = got == 0;
            break;
        }
        for (int64_t done = 0; whole && done < got;) {
            const int64_t wrote = g_system.write(target, stream.buffer + done, static_cast<size_t>(got - done));
            whole = wrote > 0;
            done += wrote;
        }
    }
    if (target != kNoHandle && !g_system.close(target)) whole = false;
    ReleaseTerminatingSignals();
    return whole;
}

namespace {

// StreamNextLine, and with `in_place` false StreamReadLine's line: a line with a CR then goes
// through the copy, which leaves the buffer as the file has it.
std::string_view NextLine(Stream& stream, char* buffer, size_t size, bool in_place) {
    if (buffer == nullptr || size == 0) return {};
    buffer[0] = '\0';
    if (size < 2 || !CanRead(stream)) return {buffer, 0};

    // The usual line lies wholly in the buffer: it is handed out where it is. Its LF, a CR or
    // 0x1A in text mode, or the buffer's end are found among the control characters; the others
    // (a NUL, a tab) are plain characters.
    uint8_t* p = stream.buffer + stream.start;
    const size_t buffered = stream.end - stream.start;
    const size_t window = buffered < size - 1 ? buffered : size - 1;
    for (size_t i = FirstControl(p, window); i < window; i += 1 + FirstControl(p + i + 1, window - i - 1)) {
        if (p[i] == kLf) {
            stream.start += i + 1;
            return {reinterpret_cast<const char*>(p), i + 1};
        }
        if (!stream.text) continue;
        if (p[i] == kTextEnd || i + 1 == buffered) return CopyLine(stream, buffer, size);
        if (p[i] == kCr) {
            if (!in_place) return CopyLine(stream, buffer, size);
            // CR LF, and a CR alone, read as one LF (even in the last place of the room): the LF
            // is put where the CR was, among bytes that are consumed with it and read again only
            // after a rewind, which then reads the file afresh.
            p[i] = kLf;
            stream.rewritten = true;
            stream.start += i + (p[i + 1] == kLf ? 2 : 1);
            return {reinterpret_cast<const char*>(p), i + 1};
        }
    }
    if (window == size - 1) {  // no LF within the room: its first size - 1 characters, as fgets
        stream.start += window;
        return {reinterpret_cast<const char*>(p), window};
    }
    return CopyLine(stream, buffer, size);  // the line goes on past the buffer
}

}  // namespace

std::string_view StreamNextLine(Stream& stream, char* buffer, size_t size) {
    return NextLine(stream, buffer, size, true);
}

size_t StreamReadLine(Stream& stream, char* buffer, size_t size) {
    const std::string_view line = NextLine(stream, buffer, size, false);
    if (line.data() != buffer) {
        std::memcpy(buffer, line.data(), line.size());
        buffer[line.size()] = '\0';
    }
    return line.size();
}

size_t StreamRead(Stream& stream, void* data, size_t count) {
    if (data == nullptr || !CanRead(stream)) return 0;
    uint8_t* out = static_cast<uint8_t*>(data);
    if (stream.text) return CopyOut(stream, out, count, false);

    // Binary: what is buffered first; a remainder of a buffer or more goes straight into the
    // caller's memory, a smaller one through the buffer.
    size_t stored = 0;
    while (stored < count) {
        const size_t want = count - stored;
        const size_t buffered = stream.end - stream.start;
        if (buffered == 0 && want >= kStreamBufferSize) {
            if (stream.at_end || stream.failed) break;
            stream.buffer_offset += static_cast<int64_t>(stream.end);
            stream.start = stream.end = 0;
            const int64_t got = g_system.read(stream.handle, out + stored, want);
            if (got < 0) stream.failed = true;
            if (got == 0) stream.at_end = true;
            if (got <= 0) break;
            stream.buffer_offset += got;
            stored += static_cast<size_t>(got);
            continue;
        }
        const size_t room = buffered > 0 && buffered < want ? buffered : want;
        const size_t got = CopyOut(stream, out + stored, room, false);
        if (got == 0) break;
        stored += got;
    }
    return stored;
}

bool StreamBufferAll(Stream& stream) {
    if (!CanRead(stream)) return false;
    while (stream.end - stream.start < kStreamBufferSize && Refill(stream)) {
    }
    return stream.at_end && !stream.failed;
}

size_t StreamWrite(Stream& stream, const void* data, size_t count) {
    if (stream.handle == kNoHandle || !stream.writing || stream.failed || data == nullptr) return 0;
    const uint8_t* in = static_cast<const uint8_t*>(data);
    // Caller bytes count as accepted once a flush has carried them to the file or the call
    // ends with them buffered; when a flush fails, only those of earlier flushes are.
    size_t consumed = 0;
    size_t accepted = 0;
    while (consumed < count) {
        const bool full = stream.end == kStreamBufferSize ||
                          (stream.text && in[consumed] == kLf && stream.end + 2 > kStreamBufferSize);
        if (full) {
            if (!Flush(stream)) return accepted;
            accepted = consumed;
        }
        const size_t space = kStreamBufferSize - stream.end;
        size_t run = count - consumed < space ? count - consumed : space;
        if (stream.text) {
            if (const void* lf = std::memchr(in + consumed, kLf, run)) {
                run = static_cast<const uint8_t*>(lf) - (in + consumed);
                if (run == 0) {
                    stream.buffer[stream.end++] = kCr;
                    stream.buffer[stream.end++] = kLf;
                    ++consumed;
                    continue;
                }
            }
        }
        std::memcpy(stream.buffer + stream.end, in + consumed, run);
        stream.end += run;
        consumed += run;
    }
    return count;
}

uint8_t* StreamSpaceAfterFlush(Stream& stream, size_t count) {
    if (stream.handle == kNoHandle || !stream.writing) return nullptr;
    const size_t room = stream.text ? count + 1 : count;
    if (room > kStreamBufferSize) return nullptr;
    if (!stream.failed && room > kStreamBufferSize - stream.end) Flush(stream);
    if (stream.failed) stream.end = 0;  // nothing pending reaches the file any more
    return stream.buffer + stream.end;
}

bool StreamFileInfo(Stream& stream, FileInfo* info) {
    if (!CanRead(stream) || !g_system.query_handle(stream.handle, info)) return false;
    stream.length = info->size;
    return true;
}

int64_t StreamLength(Stream& stream) {
    if (stream.handle == kNoHandle) return -1;
    if (!stream.writing) {
        if (stream.length < 0) stream.length = g_system.length(stream.handle);
        return stream.length;
    }
    const int64_t on_disk = g_system.length(stream.handle);
    const int64_t with_pending = stream.buffer_offset + static_cast<int64_t>(stream.end);
    return on_disk > with_pending ? on_disk : with_pending;
}

// buffer[0] is the file's first byte for as long as buffer_offset is 0: a refill moves the unread
// bytes to the front only after some were read, and then counts them into buffer_offset. What
// ended the reading there (the end of the file, a 0x1A) ends it again at the same byte.
bool StreamRewind(Stream& stream) {
    if (!CanRead(stream)) return false;
    if (stream.buffer_offset == 0 && !stream.rewritten) {
        stream.start = 0;
        return true;
    }
    stream.buffer_offset = 0;
    stream.start = 0;
    stream.end = 0;
    stream.at_end = false;
    stream.rewritten = false;
    if (!g_system.seek_start(stream.handle)) stream.failed = true;
    return !stream.failed;
}

}  // namespace uuarc
