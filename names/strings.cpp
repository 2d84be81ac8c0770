// strings.cpp - the byte-string and path primitives. Each routine bounds its reads and writes by
// its 8-bit or 16-bit arguments, so no input pushes a copy past the sizes strings.h promises.
#include "names/strings.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace uuarc {

namespace {

// Longest string the 8-bit routines work on, and the size of a buffer that holds one.
constexpr size_t kShortBufferSize = kMaxHostPath + 1;

// Length of `text`, but reading no further than `limit` bytes: the answer is at most `limit`.
size_t BoundedLength(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') ++length;
    return length;
}

bool IsSeparator(char byte) { return byte == '\\' || byte == '/'; }

// Copies the `length` bytes at `start` into `destination` (256 bytes) and terminates it. More
// than 255 bytes are cut to 255, backing off one byte if the cut would split a double-byte
// character. `start` is always a character boundary, so walking from it finds the boundaries.
void CopyPart(const char* start, size_t length, char* destination) {
    if (destination == nullptr) return;
    size_t kept = length;
    if (length > kMaxHostPath) {
        kept = 0;
        while (kept < length) {
            size_t step = (IsLeadByte(static_cast<uint8_t>(start[kept])) && kept + 1 < length) ? 2 : 1;
            if (kept + step > kMaxHostPath) break;
            kept += step;
        }
    }
    std::memcpy(destination, start, kept);
    destination[kept] = '\0';
}

}  // namespace

void MoveBytes(const void* source, void* destination, uint16_t count) {
    if (count == 0) return;
    std::memmove(destination, source, count);
}

uint8_t UpCaseChar(uint8_t byte) {
    if (byte >= 'a' && byte <= 'z') return static_cast<uint8_t>(byte - 0x20);
    // The two ANSI umlauts that upper-case; 0xFC and the rest of the upper half stay as they are.
    if (byte == 0xE4) return 0xC4;
    if (byte == 0xF6) return 0xD6;
    return byte;
}

uint8_t UpCaseUtf8UmlautTrail(uint8_t trail) {
    // After 0xC3: 0xA4 is "ä" and 0x84 "Ä", 0xB6 "ö" and 0x96 "Ö".
    if (trail == 0xA4 || trail == 0xB6) return static_cast<uint8_t>(trail - 0x20);
    return trail;
}

char* StrUpper(const char* source, char* destination) {
    size_t index = 0;
    for (;;) {
        uint8_t byte = static_cast<uint8_t>(source[index]);
#if defined(_WIN32)
        destination[index] = static_cast<char>(UpCaseChar(byte));
#else
        // Names are UTF-8 here: the umlauts are two-byte characters, 0xE4 is the lead byte of
        // some other character that must stay as it is ("䀀" is no "Ā" plus a byte), and 0xF6
        // starts none.
        if (byte == kUtf8UmlautLead) {
            const uint8_t next = static_cast<uint8_t>(source[index + 1]);
            destination[index] = static_cast<char>(byte);
            destination[index + 1] = static_cast<char>(UpCaseUtf8UmlautTrail(next));
            if (next == 0) break;
            index += 2;
            continue;
        }
        destination[index] = static_cast<char>(byte < 0x80 ? UpCaseChar(byte) : byte);
#endif
        if (byte == 0) break;
        ++index;
    }
    return destination;
}

char* StrInsert(const char* source, char* destination, uint8_t position) {
    size_t source_length = std::strlen(source);
    if (source_length == 0) return destination;
    // A destination is never taken longer than 256 bytes; reading stops at 257 to decide the cut.
    size_t destination_length = BoundedLength(destination, kShortBufferSize + 1);
    if (destination_length > kShortBufferSize) {
        destination[kShortBufferSize] = '\0';
        destination_length = kShortBufferSize;
    }
    size_t at = position > destination_length ? destination_length : position;
    // The tail and its terminator move right first, then the source fills the gap; memmove
    // because the tail overlaps its own new place.
    std::memmove(destination + at + source_length, destination + at, destination_length - at + 1);
    std::memcpy(destination + at, source, source_length);
    return destination;
}

char* StrCopy(const char* source, uint8_t start, uint8_t count, char* destination) {
    // start + count is at most 510, so the source is never read past that, however long it is.
    size_t wanted_end = static_cast<size_t>(start) + count;
    size_t length = BoundedLength(source, wanted_end);
    if (count == 0 || start >= length) {
        destination[0] = '\0';
        return destination;
    }
    size_t copied = wanted_end > length ? length - start : count;
    // copied <= 255, so with the terminator at most 256 bytes are written.
    std::memmove(destination, source + start, copied);
    destination[copied] = '\0';
    return destination;
}

char* StrDelete(char* text, uint8_t position, uint8_t count) {
    if (count == 0) return text;
    size_t length = std::strlen(text);
    if (position >= length) return text;
    if (static_cast<size_t>(position) + count > length) {
        text[position] = '\0';
        return text;
    }
    std::memmove(text + position, text + position + count, length - position - count + 1);
    return text;
}

uint8_t StrPos(char byte, const char* text) {
    // Only indexes 0..254 can be answered: 255 is the "not found" value itself.
    for (size_t index = 0; index < kMaxHostPath && text[index] != '\0'; ++index) {
        if (text[index] == byte) return static_cast<uint8_t>(index);
    }
    return 255;
}

char* AddTrailingBackslash(const char* source, char* destination) {
    // The private copy lets destination be source, and takes at most 255 bytes of it.
    char path[kShortBufferSize];
    size_t length = BoundedLength(source, kMaxHostPath);
    std::memcpy(path, source, length);
    path[length] = '\0';
    std::memcpy(destination, path, length + 1);
    if (length > 0 && path[length - 1] != '\\' && !(kDrivesAndStreams && path[length - 1] == ':')) {
        destination[length] = '\\';
        destination[length + 1] = '\0';
    }
    return destination;
}

void SplitPathParts(const char* path, char* drive, char* directory, char* name, char* extension) {
    const char* rest = path;
    // A lead byte in front would make the second byte the tail of a character, not a colon.
    if (kDrivesAndStreams && path[0] != '\0' && path[1] == ':' && !IsLeadByte(static_cast<uint8_t>(path[0]))) {
        if (drive != nullptr) {
            drive[0] = path[0];
            drive[1] = ':';
            drive[2] = '\0';
        }
        rest = path + 2;
    } else if (drive != nullptr) {
        drive[0] = '\0';
    }

    // One pass: name_start is just past the last separator, last_dot the last "." (or npos).
    // A lead byte carries its trail byte, which is never a separator or a dot.
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t name_start = 0;
    size_t last_dot = kNone;
    size_t end = 0;
    while (rest[end] != '\0') {
        char byte = rest[end];
        if (IsLeadByte(static_cast<uint8_t>(byte)) && rest[end + 1] != '\0') {
            end += 2;
            continue;
        }
        if (IsSeparator(byte)) name_start = end + 1;
        else if (byte == '.') last_dot = end;
        ++end;
    }

    CopyPart(rest, name_start, directory);
    if (last_dot != kNone && last_dot >= name_start) {
        CopyPart(rest + name_start, last_dot - name_start, name);
        CopyPart(rest + last_dot, end - last_dot, extension);
    } else {
        CopyPart(rest + name_start, end - name_start, name);
        CopyPart(rest + end, 0, extension);
    }
}

bool AllocBlock(void** slot, uint16_t size) {
    // A zero size still gets a distinct block, so success never depends on how malloc(0) answers.
    *slot = std::malloc(size == 0 ? 1 : size);
    return *slot != nullptr;
}

void FreeBlock(void** slot) {
    if (*slot == nullptr) return;
    std::free(*slot);
    *slot = nullptr;
}

char* StrDup(const char* text) {
    // The block size is 16-bit: a string of 65535 bytes or more is refused rather than cut.
    constexpr size_t kMaxDupLength = 65534;
    size_t length = BoundedLength(text, kMaxDupLength + 1);
    if (length > kMaxDupLength) return nullptr;
    void* block = nullptr;
    if (!AllocBlock(&block, static_cast<uint16_t>(length + 1))) return nullptr;
    std::memcpy(block, text, length + 1);
    return static_cast<char*>(block);
}

bool FileExists(const char* path) {
    if (path[0] == '\0') return false;
    return PathExists(path);
}

}  // namespace uuarc
