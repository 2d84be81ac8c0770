// masks.h - file-name mask lists: the host builds a FileMaskList through the exports
// InitFileMaskList, AppendFileMask and DoneFileMaskList (include/uuarc.h), which come here;
// extraction matches the stored name against it.
#pragma once

#include <cstdint>

#include "uuarc.h"

namespace uuarc {

enum class MaskAppended : uint8_t {
    Yes,
    Refused,   // a null argument or a mask over 255 bytes
    NoMemory,  // a node or its directory could not be allocated (the caller's status 8)
};

// Splits `mask` into directory, name and extension and appends a node for it, allocated from the
// module's heap. The list is unchanged unless the answer is Yes.
MaskAppended AppendMask(const char* mask, FileMaskList* list);

// Releases every node of the list and leaves it empty. A null list is ignored.
void FreeMaskList(FileMaskList* list);

// True when the list is empty or one of its masks selects `name`. Changes no state.
bool MatchFileMaskList(const char* name, const FileMaskList* list);

// True when one mask selects `name`, which has "\" for "/" and is upper-cased already.
bool MatchFileMask(const char* name, const FileMask* mask);

}  // namespace uuarc
