// floor.cpp - the copy floor that bench/floor.sh holds uuarc against: reads a file in 1 MiB pieces
// and writes as many bytes as uuarc's output of it holds, a share of them after each piece read, to
// a file or to standard output. Nothing else: no line is looked at, no byte changed. Built
// natively with the system's read and write, and for Windows with ReadFile and WriteFile.
//
// Usage: floor INPUT OUTPUT BYTES   (OUTPUT "-" is standard output; BYTES: what to write in all)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr size_t kPiece = 1024 * 1024;

// Room for a piece and the share more that encoding writes (62 or 63 characters for 45 bytes).
uint8_t g_buffer[2 * kPiece];

#if defined(_WIN32)
using Handle = HANDLE;
const Handle kBad = INVALID_HANDLE_VALUE;

Handle OpenInput(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle OpenOutput(const char* path) {
    if (std::strcmp(path, "-") == 0) return GetStdHandle(STD_OUTPUT_HANDLE);
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
int64_t InputSize(Handle handle) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
}
int64_t ReadPiece(Handle handle, void* data, size_t count) {
    DWORD got = 0;
    if (!ReadFile(handle, data, static_cast<DWORD>(count), &got, nullptr)) return -1;
    return got;
}
int64_t WritePiece(Handle handle, const void* data, size_t count) {
    DWORD wrote = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(count), &wrote, nullptr)) return -1;
    return wrote;
}
bool CloseOutput(Handle handle) { return CloseHandle(handle) != 0; }
#else
using Handle = int;
const Handle kBad = -1;

Handle OpenInput(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }
Handle OpenOutput(const char* path) {
    if (std::strcmp(path, "-") == 0) return STDOUT_FILENO;
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
int64_t InputSize(Handle handle) {
    struct stat info;
    return fstat(handle, &info) == 0 ? info.st_size : -1;
}
int64_t ReadPiece(Handle handle, void* data, size_t count) { return read(handle, data, count); }
int64_t WritePiece(Handle handle, const void* data, size_t count) { return write(handle, data, count); }
bool CloseOutput(Handle handle) { return close(handle) == 0; }
#endif

// Writes all `count` bytes, retrying short writes (a pipe takes what it has room for).
bool WriteAll(Handle handle, const uint8_t* data, size_t count) {
    while (count > 0) {
        const int64_t wrote = WritePiece(handle, data, count);
        if (wrote <= 0) return false;
        data += wrote;
        count -= static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: floor INPUT OUTPUT BYTES\n");
        return 1;
    }
    const uint64_t bytes = std::strtoull(argv[3], nullptr, 10);
    const Handle input = OpenInput(argv[1]);
    const Handle output = OpenOutput(argv[2]);
    const int64_t input_size = input == kBad ? -1 : InputSize(input);
    if (input == kBad || output == kBad || input_size <= 0) {
        std::fprintf(stderr, "floor: cannot open %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    // The share is kept exact over the whole file, not rounded a piece at a time; the last piece
    // brings the count to BYTES.
    uint64_t read_total = 0;
    uint64_t written_total = 0;
    for (;;) {
        const int64_t got = ReadPiece(input, g_buffer, kPiece);
        if (got < 0) {
            std::fprintf(stderr, "floor: cannot read %s\n", argv[1]);
            return 1;
        }
        read_total += static_cast<uint64_t>(got);
        const double share = static_cast<double>(read_total) / static_cast<double>(input_size);
        uint64_t due = got == 0 ? bytes : static_cast<uint64_t>(share * static_cast<double>(bytes));
        due = (due < bytes ? due : bytes) - written_total;
        if (due > sizeof g_buffer) due = sizeof g_buffer;
        if (!WriteAll(output, g_buffer, static_cast<size_t>(due))) {
            std::fprintf(stderr, "floor: cannot write %s\n", argv[2]);
            return 1;
        }
        written_total += due;
        if (got == 0 && written_total == bytes) break;
    }
    if (std::strcmp(argv[2], "-") != 0 && !CloseOutput(output)) return 1;
    return 0;
}
