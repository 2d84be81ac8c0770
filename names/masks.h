// masks.h - file-name mask lists: the host builds a FileMaskList through the exports
// InitFileMaskList, AppendFileMask and DoneFileMaskList (declared in module/uuarc.h); extraction
// matches the stored name against it.
#pragma once

#include "module/uuarc.h"

namespace uuarc {

// True when the list is empty or one of its masks selects `name`. Changes no state.
bool MatchFileMaskList(const char* name, const FileMaskList* list);

// True when one mask selects `name`, which has "\" for "/" and is upper-cased already.
bool MatchFileMask(const char* name, const FileMask* mask);

}  // namespace uuarc
