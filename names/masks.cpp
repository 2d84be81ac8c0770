// masks.cpp - building, matching and releasing file-name mask lists. Nodes keep the mask in the
// host's case; matching upper-cases copies, so it never changes a stored mask.
#include "names/masks.h"

#include <cstring>

#include "names/strings.h"

namespace uuarc {

namespace {

// A directory part (up to 255 bytes) with the two drive bytes put in front, and its terminator.
constexpr size_t kDirectoryBufferSize = 259;

// Copies `text` into a 256-byte buffer with "\" for every "/"; false (nothing copied) when it
// is longer than 255 bytes.
bool CopyWithBackslashes(const char* text, char (&copy)[kMaxHostPath + 1]) {
    size_t length = 0;
    while (text[length] != '\0') {
        if (length == kMaxHostPath) return false;
        copy[length] = text[length] == '/' ? '\\' : text[length];
        ++length;
    }
    copy[length] = '\0';
    return true;
}

// A path split as a node keeps it: drive in front of the directory, extension without its dot.
struct PathParts {
    char directory[kDirectoryBufferSize];
    char name[256];
    char extension[256];
};

void SplitForMask(const char* path, PathParts& parts) {
    char drive[3];
    SplitPathParts(path, drive, parts.directory, parts.name, parts.extension);
    StrInsert(drive, parts.directory, 0);
    // Removes the dot; an empty extension stays empty.
    StrDelete(parts.extension, 0, 1);
}

// One name part or extension against the mask's: "*" as the first byte passes everything, "?"
// stands for exactly one byte, any other byte (a later "*" too) only for itself.
bool PartMatches(const char* mask, const char* part) {
    if (mask[0] == '*') return true;
    size_t index = 0;
    for (; mask[index] != '\0'; ++index) {
        if (part[index] == '\0') return false;
        if (mask[index] != '?' && mask[index] != part[index]) return false;
    }
    return part[index] == '\0';
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

bool MatchFileMaskList(const char* name, const FileMaskList* list) {
    if (list == nullptr || list->head == nullptr) return true;
    // A name longer than any stored name can be is selected by no mask.
    char upper[kMaxHostPath + 1];
    if (!CopyWithBackslashes(name, upper)) return false;
    StrUpper(upper, upper);
    for (const FileMask* mask = list->head; mask != nullptr; mask = mask->next) {
        if (MatchFileMask(upper, mask)) return true;
    }
    return false;
}

bool MatchFileMask(const char* name, const FileMask* mask) {
    PathParts wanted;
    SplitForMask(name, wanted);
    StrUpper(wanted.directory, wanted.directory);
    StrUpper(wanted.name, wanted.name);
    StrUpper(wanted.extension, wanted.extension);

    // The node's fields are copied with a bound, so a node the host scribbled on cannot make
    // this read or write past the buffers.
    PathParts given;
    StrCopy(mask->directory != nullptr ? mask->directory : "", 0, 255, given.directory);
    StrCopy(mask->name, 0, 255, given.name);
    StrCopy(mask->extension, 0, 255, given.extension);
    StrUpper(given.directory, given.directory);
    StrUpper(given.name, given.name);
    StrUpper(given.extension, given.extension);

    if (given.name[0] == '*' && given.extension[0] == '*') {
        // A wild mask selects its directory and everything below it; a directory that merely
        // contains the mask's somewhere further in (OTHER\DOCS\ for DOCS\) is not below it.
        return given.directory[0] == '\0' || StartsWith(wanted.directory, given.directory);
    }
    return std::strcmp(wanted.directory, given.directory) == 0 &&
           PartMatches(given.name, wanted.name) && PartMatches(given.extension, wanted.extension);
}

MaskAppended AppendMask(const char* mask, FileMaskList* list) {
    if (mask == nullptr || list == nullptr) return MaskAppended::Refused;
    char copy[kMaxHostPath + 1];
    if (!CopyWithBackslashes(mask, copy)) return MaskAppended::Refused;
    PathParts parts;
    SplitForMask(copy, parts);

    char* directory = StrDup(parts.directory);
    if (directory == nullptr) return MaskAppended::NoMemory;
    void* block = nullptr;
    if (!AllocBlock(&block, sizeof(FileMask))) {
        void* directory_block = directory;
        FreeBlock(&directory_block);
        return MaskAppended::NoMemory;
    }
    FileMask* node = static_cast<FileMask*>(block);
    node->directory = directory;
    StrCopy(parts.name, 0, 255, node->name);
    StrCopy(parts.extension, 0, 255, node->extension);
    node->next = nullptr;

    if (list->head == nullptr) list->head = node;
    else list->tail->next = node;
    list->tail = node;
    return MaskAppended::Yes;
}

void FreeMaskList(FileMaskList* list) {
    if (list == nullptr) return;
    FileMask* node = list->head;
    while (node != nullptr) {
        FileMask* next = node->next;
        void* directory = node->directory;
        FreeBlock(&directory);
        node->directory = nullptr;
        void* block = node;
        FreeBlock(&block);
        node = next;
    }
    list->head = nullptr;
    list->tail = nullptr;
}

}  // namespace uuarc
