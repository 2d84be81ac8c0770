// mask_fuzz.cpp - fuzz target: masks and a name taken from the input, appended to a list and
// matched. Lines before the last one are masks (at most 16), the last line is the name.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "names/masks.h"
#include "uuarc.h"

namespace {

// Each piece goes to a heap block of exactly its length and a NUL, so that a read past the
// string runs into the sanitizer's red zone.
char* GuardedCopy(const uint8_t* data, size_t size) {
    char* copy = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(copy, data, size);
    copy[size] = '\0';
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char*> pieces;
    size_t start = 0;
    for (size_t at = 0; at <= size && pieces.size() < 17; ++at) {
        if (at == size || data[at] == '\n') {
            pieces.push_back(GuardedCopy(data + start, at - start));
            start = at + 1;
        }
    }
    char* name = pieces.back();

    FileMaskList list;
    InitFileMaskList(&list);
    size_t appended = 0;
    for (size_t i = 0; i + 1 < pieces.size(); ++i) appended += AppendFileMask(pieces[i], &list);
    size_t nodes = 0;
    for (const FileMask* mask = list.head; mask != nullptr; mask = mask->next) {
        ++nodes;
        if (std::memchr(mask->name, '\0', sizeof mask->name) == nullptr ||
            std::memchr(mask->extension, '\0', sizeof mask->extension) == nullptr) {
            std::abort();  // a node field without its terminator
        }
    }
    if (nodes != appended) std::abort();  // AppendFileMask said 1 without adding a node, or the reverse
    const bool matched = uuarc::MatchFileMaskList(name, &list);
    // Matching changes nothing: asking again gives the same answer.
    if (uuarc::MatchFileMaskList(name, &list) != matched) std::abort();
    DoneFileMaskList(&list);
    if (list.head != nullptr || list.tail != nullptr) std::abort();
    for (char* piece : pieces) std::free(piece);
    return 0;
}
